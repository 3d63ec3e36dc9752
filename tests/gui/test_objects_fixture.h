// A window, its host and an interpreter state that run script texts: the first text
// as the program (labels and all), later ones as fragments in the same run.
#pragma once
#include <deque>
#include <memory>
#include <string>

#include "core/codec.h"
#include "core/hash.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "interp/interp.h"

inline std::string S(const char* utf8)
{
    return Utf8ToSjis(utf8);
}
inline std::string S(const std::string& utf8)
{
    return Utf8ToSjis(utf8);
}

struct TObjFixture {
    TPoruBase st;
    TMainWindow window;
    std::unique_ptr<TGuiHost> host;
    std::deque<std::string> fragments;
    bool started = false;

    TObjFixture()
    {
        host = std::make_unique<TGuiHost>(&window, st);
        st.Host = host.get();
    }
    ~TObjFixture()
    {
        window.hide();
        host.reset();
    }

    // Runs a text (UTF-8); true when no error was raised.
    bool Run(const std::string& utf8)
    {
        st.Stopping = false;
        st.StoppedByError = false;
        const size_t before = st.ErrorText.size();
        if (!started) {
            started = true;
            st.Source = S(utf8);
            st.FileName = "t.prk";
            st.RunProgram();
        } else {
            std::string text = S(utf8);
            try {
                st.NormaliseOrRaise(text);
                fragments.push_back(std::move(text));
                st.RunNested(fragments.back().c_str());
            } catch (const EPoru&) {
            }
        }
        return ErrorsSince(before).find(S("[エラー]")) == std::string::npos;
    }
    std::string ErrorsSince(size_t from) const { return st.ErrorText.substr(std::min(from, st.ErrorText.size())); }
    std::string Errors() const { return SjisToUtf8(st.ErrorText); }
    // The message of the last error, without its "[エラー] file(N行目): " prefix.
    std::string LastError() const
    {
        const std::string text = SjisToUtf8(st.ErrorText);
        const size_t at = text.rfind("[エラー]");
        if (at == std::string::npos)
            return std::string();
        size_t msg = text.find("): ", at);
        msg = msg == std::string::npos ? at : msg + 3;
        std::string m = text.substr(msg);
        const size_t detail = m.find("\r\n    ");   // the indented detail line under it
        if (detail != std::string::npos)
            m.resize(detail);
        while (m.size() >= 2 && m.compare(m.size() - 2, 2, "\r\n") == 0)
            m.resize(m.size() - 2);
        return m;
    }
    std::string Var(const char* name)
    {
        THashNode* n = st.Words.FindExact(S(name));
        return n ? SjisToUtf8(n->Value) : std::string("<none>");
    }
    TObjNode* Record(const char* name) { return st.Objects.Find(S(name)); }
};
