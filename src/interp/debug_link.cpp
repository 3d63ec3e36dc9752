#include "interp/debug_link.h"

#include <memory>

#include "core/hash.h"
#include "core/paths.h"
#include "core/text.h"
#include "interp/channel_service.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/services.h"

namespace {

// How long the editor may take to acknowledge a line report.
constexpr int kEditorTimeoutMs = 1000;

struct TDebugLinkState {
    bool DialogUp = false;
    std::unique_ptr<IChannelServer> CommandServer;
};

TDebugLinkState& Link(TPoruBase& st)
{
    return st.Ext<TDebugLinkState>();
}

bool ProgramLoaded(const TPoruBase& st)
{
    return !st.FileName.empty();
}

// "break": the main window closes the normal way; a close label that keeps it open
// does not keep the program alive.
void EndProgram(TPoruBase& st)
{
    st.Host->RequestClose(st);
    if (st.Stopping)
        return;
    st.Stopping = true;
    st.Cursor = nullptr;
    if (IChannelService* svc = FindService<IChannelService>(st))
        svc->EndApplication(st.StoppedByError ? 1 : 0);
}

}   // namespace

bool ShowDebugger(TPoruBase& st, const std::string& word)
{
    if (!st.Host)
        return false;
    TDebugLinkState& link = Link(st);
    if (link.DialogUp)
        return false;
    link.DialogUp = true;
    DebugChoice choice = DebugChoice::Closed;
    try {
        choice = st.Host->ShowDebugDialog(st, word);
    } catch (...) {
        link.DialogUp = false;
        throw;
    }
    link.DialogUp = false;
    switch (choice) {
    case DebugChoice::Continue:
        st.LineStop = false;
        break;
    case DebugChoice::Step:
        st.LineStop = true;
        break;
    case DebugChoice::Stop:
        // The close label runs through without stopping at its lines.
        st.LineStop = false;
        st.Host->RequestClose(st);
        return true;
    case DebugChoice::Closed:
        break;
    }
    return false;
}

void StopAfterLine(TPoruBase& st)
{
    if (!st.Stopping)
        ShowDebugger(st);
}

std::string OwnServiceName(const TPoruBase& st)
{
    std::string name = PathNamePart(st.ExePath.empty() && !st.Params.empty() ? st.Params[0] : st.ExePath);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? std::string("porukana") : name;
}

void StartCommandChannel(TPoruBase& st)
{
    IChannelService* svc = FindService<IChannelService>(st);
    if (!svc)
        return;
    TPoruBase* sp = &st;
    std::string reason;
    Link(st).CommandServer = svc->Listen(
        OwnServiceName(st), "command", true,
        [sp](const std::string& text) {
            HandleCommandRequest(*sp, text);
            return true;
        },
        reason);
}

void HandleCommandRequest(TPoruBase& st, const std::string& request)
{
    if (!st.Host || st.Stopping)
        return;
    const std::string text = Trim(request);
    const size_t space = text.find(' ');
    const std::string action = Trim(std::string_view(text).substr(0, space));
    const std::string rest = space == std::string::npos ? std::string() : Trim(std::string_view(text).substr(space));
    if (action == "line") {
        if (rest.empty())
            st.Host->MessageBox("実行ライン:" + std::to_string(st.CurrentLineNo()));
        else if (rest == "porupad")
            SendLineToEditor(st);
    } else if (action == "pause") {
        if (ProgramLoaded(st))
            ShowDebugger(st);
    } else if (action == "break") {
        if (!ProgramLoaded(st))
            return;
        if (rest == "porupad")
            SendLineToEditor(st);
        EndProgram(st);
    }
}

bool SendLineToEditor(TPoruBase& st)
{
    IChannelService* svc = FindService<IChannelService>(st);
    if (!svc)
        return false;
    const std::string row = "row " + std::to_string(st.CurrentLineNo());
    return svc->Send("porupad", "command", row, kEditorTimeoutMs) == TChannelSend::Sent;
}
