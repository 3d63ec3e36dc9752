#include "cli_session.h"

#include <cstdio>
#include <iostream>
#include <list>
#include <memory>

#include "app/cli_doc.h"
#include "console/console_host.h"
#include "core/codec.h"
#include "core/error.h"
#include "core/text.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/script_encoding.h"

namespace {

bool IsOption(const std::string& a)
{
    return !a.empty() && a[0] == '-' && a != "-" && a != "-e";
}

// The run-time options that take a value.
bool TakesValue(const std::string& a)
{
    return a == "-security" || a == "-resource" || a == "-runtime";
}

void Prompt(bool continued)
{
    std::fputs(SjisToUtf8(continued ? "　　…> " : "ぽるかな> ").c_str(), stderr);
    std::fflush(stderr);
}

// One entered piece of program, run (or only scanned for its labels) in the state.
// The text stays alive for the session: labels and blocks point into it.
void RunPiece(TPoruBase& st, std::list<std::string>& texts, const std::string& utf8, bool definitionsOnly)
{
    TScriptText decoded = DecodeScriptBytes(utf8, TScriptEncoding::Utf8);
    std::string text = JoinScriptLines(decoded.Ok ? decoded.Text : Utf8ToSjis(utf8));
    try {
        st.NormaliseOrRaise(text);
        // The scanner reads a text slot; the slot's buffer is handed over to the
        // session's list by swapping, which keeps the label positions in it valid.
        const int slot = st.TextCount < TPoruBase::kMaxTexts ? st.TextCount : TPoruBase::kMaxTexts - 1;
        std::string& held = texts.emplace_back();
        held.reserve(std::max<size_t>(64, text.size() + 1));
        held.assign(text);
        st.Texts[slot].swap(held);
        try {
            st.ScanDefinitions(slot, st.FileName);
        } catch (...) {
            st.Texts[slot].swap(held);
            throw;
        }
        st.Texts[slot].swap(held);
        if (definitionsOnly)
            return;
        st.EnterNesting();
        st.RunControl.EnterLevel();
        st.Cursor = held.c_str();
        struct Leave {
            TPoruBase& st;
            ~Leave()
            {
                st.RunControl.LeaveLevel();
                st.LeaveNesting();
            }
        } leave{st};
        st.RunLoop();
    } catch (const EPoru& e) {   // a fault of the text itself (an unclosed 「, a label twice)
        const std::string mark = SeverityMark(TSeverity::Error);
        TConsoleHost::WriteErr(e.Message.rfind(mark, 0) == 0 ? e.Message : st.FormatError(e.Message));
        st.ErrorText.clear();
    }
}

}   // namespace

bool FindInlineProgram(const std::vector<char*>& args, bool haveTerminal, TInlineProgram& out)
{
    out = TInlineProgram{};
    size_t i = 1;
    bool interactiveFlag = false;
    for (; i < args.size(); ++i) {
        const std::string a = args[i];
        if (a == "--interactive") {
            interactiveFlag = true;
            continue;
        }
        if (!IsOption(a))
            break;
        out.options.push_back(args[i]);
        if (TakesValue(a) && i + 1 < args.size())
            out.options.push_back(args[++i]);
    }
    if (i < args.size()) {
        const std::string a = args[i];
        if (a == "-e" && i + 1 < args.size()) {
            out.kind = TInlineProgram::Text;
            out.text = args[++i];
        } else if (a == "-") {
            out.kind = TInlineProgram::Stdin;
        } else {
            return false;
        }
        out.parameters.assign(args.begin() + static_cast<long>(i) + 1, args.end());
        return true;
    }
    for (char* option : out.options)
        if (std::string(option) == "-runtime")
            return false;
    if (interactiveFlag || haveTerminal) {
        out.kind = TInlineProgram::Interactive;
        return true;
    }
    return false;
}

bool LoadInlineProgram(TPoruBase& st, TInlineProgram& program, std::string& sjisMessage)
{
    std::string bytes;
    if (program.kind == TInlineProgram::Text) {
        bytes = program.text;
        st.FileName = "コマンドライン";
    } else if (program.kind == TInlineProgram::Stdin) {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        st.FileName = "標準入力";
    } else {
        st.FileName = "対話";
    }
    TScriptEncoding encoding = RunScriptEncoding(st);
    if (program.kind == TInlineProgram::Text && encoding == TScriptEncoding::Auto)
        encoding = TScriptEncoding::Utf8;   // the command line is UTF-8
    TScriptText decoded = DecodeScriptBytes(std::move(bytes), encoding);
    if (!decoded.Ok) {
        sjisMessage = ScriptTextFailure(st.FileName, decoded);
        return false;
    }
    if (decoded.Text.find('\0') != std::string::npos) {
        sjisMessage = st.FileName + "のプログラムは、テキストではありません（NUL文字を含んでいます）。";
        return false;
    }
    st.Source = JoinScriptLines(decoded.Text);
    // The parameters: the executable, the options, the program's place, the rest.
    st.Params.resize(std::min<size_t>(st.Params.size(), 1 + program.options.size()));
    st.ScriptParam = static_cast<int>(st.Params.size());
    st.Params.push_back(program.kind == TInlineProgram::Text ? "-e" : "-");
    for (char* p : program.parameters)
        st.Params.push_back(Utf8ToSjis(p));
    return true;
}

void RunInteractive(TPoruBase& st, TConsoleHost& host)
{
    std::fputs(
        SjisToUtf8(
            "ぽるかなの対話モードです。一行ずつ実行します（変数とラベルは残ります）。\n"
            "?単語 でリファレンスを引けます（?だけで索引）。*ラベル で始めると空行までをラベルの定義として読みます\n"
            "（関数はラベルを定義してから関数定義します）。\n"
            "終わり または Ctrl+D で終わります。\n")
            .c_str(),
        stderr);
    std::list<std::string> texts;
    std::string line, block;
    bool inBlock = false;
    while (!st.Stopping) {
        Prompt(inBlock);
        if (!std::getline(std::cin, line))
            break;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string trimmed = Trim(line);
        if (inBlock) {
            if (!trimmed.empty()) {
                block += line + "\n";
                continue;
            }
            inBlock = false;
            RunPiece(st, texts, block, true);
        } else if (trimmed.empty()) {
            continue;
        } else if (trimmed[0] == '?' || trimmed.rfind("--doc", 0) == 0) {
            const std::string word = Trim(trimmed.substr(trimmed[0] == '?' ? 1 : 5));
            PrintReferenceEntry(word.c_str());
            continue;
        } else if (trimmed[0] == '*' || trimmed.rfind("\xef\xbc\x8a", 0) == 0) {   // * or ＊ (UTF-8)
            inBlock = true;
            block = line + "\n";
            continue;
        } else {
            RunPiece(st, texts, line, false);
        }
        std::fflush(stdout);
        if (st.StoppedByError) {   // reported; the session goes on
            st.StoppedByError = false;
            st.Stopping = false;
            st.ErrorText.clear();
            st.Cursor = nullptr;
        }
    }
    if (inBlock)
        RunPiece(st, texts, block, true);
    host.RunFinished(st);
}
