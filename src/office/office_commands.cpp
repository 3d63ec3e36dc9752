// The spreadsheet (エクセル...) and word-processor (ワード...) commands, over LibreOffice
// Calc and Writer driven by the office helper process.
//
// Seven object slots live in the run's state: the spreadsheet application (twice:
// the object got at start and its Application), the current workbook and sheet,
// the word-processor application (twice) and the current document. A slot holds
// the helper's number for the object; it is filled by the calls that succeed and
// never cleared, so a failure leaves what earlier calls filled. The commands make
// the application's calls in the application's order, one request each.
//
// Every failure is raised as "Excelのエラー。REASON" or "Wordのエラー。REASON"; no
// command but ワード本文を得る changes それ.
//
// Environment: PORUKANA_OFFICE_HELPER (the helper script), PORUKANA_OFFICE_PYTHON
// (its interpreter, default /usr/bin/python3, which carries the UNO bridge) and
// PORUKANA_OFFICE_TIMEOUT (seconds per call, default 60; starting the office may
// take twice that).
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "office/office_link.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelperName = "office_helper.py";
constexpr const char* kDefaultPython = "/usr/bin/python3";
constexpr int kDefaultTimeoutSeconds = 60;

struct TOfficeSlot {
    uint64_t Link = 0;   // which helper process the object belongs to
    std::string Id;      // its number there; empty while the slot is empty
};

struct TOfficeState {
    TOfficeSlot ExcelApp, ExcelApplication, ExcelWorkbook, ExcelSheet;
    TOfficeSlot WordApp, WordApplication, WordDocument;
    TOfficeLink Link;
    uint64_t LinkNo = 0;   // counts the helpers started in this run
};

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

int TimeoutSeconds()
{
    const int s = std::atoi(Env("PORUKANA_OFFICE_TIMEOUT").c_str());
    return s > 0 ? s : kDefaultTimeoutSeconds;
}

// The helper script: named by the environment, else in the run-time's data folder
// (<prefix>/share/porukana/, also the build tree's), beside the executable, or in
// the system's data folders.
std::string HelperScript(TPoruBase& st)
{
    const std::string named = Env("PORUKANA_OFFICE_HELPER");
    if (!named.empty())
        return named;
    std::vector<fs::path> candidates{fs::path(ToNativePath(RuntimeDataFolder(st))) / kHelperName};
    if (!st.ExePath.empty())
        candidates.push_back(fs::path(ToNativePath(st.ExePath)).parent_path() / kHelperName);
    candidates.push_back(fs::path("/usr/local/share/porukana") / kHelperName);
    candidates.push_back(fs::path("/usr/share/porukana") / kHelperName);
    std::error_code ec;
    for (const fs::path& p : candidates)
        if (fs::is_regular_file(p, ec))
            return p.string();
    return candidates.front().string();
}

// A script's file name as the absolute native path the office needs (the helper
// does not follow the run's current folder).
std::string AbsoluteNative(const std::string& sjisPath)
{
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(ToNativePath(sjisPath)), ec);
    return (ec ? fs::path(ToNativePath(sjisPath)) : p.lexically_normal()).string();
}

// One command's calls: each request is checked and sent, and the first failure is
// raised with the command family's prefix.
class TOfficeCall {
public:
    TOfficeCall(TPoruBase& st, TOfficeSide side) : st_(st), side_(side), o_(st.Ext<TOfficeState>()) {}

    TOfficeState& Slots() { return o_; }
    // What the reasons name: a file, a macro, a bookmark or a cell.
    void About(std::string subject) { subject_ = std::move(subject); }

    // Attach or start: the helper (once per run), then the office, then the
    // application object of the given kind ("calc" or "writer").
    TOfficeSlot Attach(const char* kind)
    {
        const int timeoutMs = TimeoutSeconds() * 1000;
        if (!o_.Link.Running()) {
            waitedMs_ = timeoutMs;
            const TOfficeReply r = o_.Link.Start(Python(), HelperScript(st_), timeoutMs);
            if (!r.Ok)
                Fail(r);
            ++o_.LinkNo;
        }
        const int startMs = 2 * timeoutMs;
        const TOfficeReply r = Send({"attach", kind, std::to_string(startMs)}, startMs + 5000);
        if (r.Values.size() != 2)
            Fail(OfficeFailure("protocol", "attach"));
        o_.Link.SetOfficeGroup(static_cast<pid_t>(std::atol(r.Values[1].c_str())));   // 0: not ours
        return {o_.LinkNo, r.Values[0]};
    }

    // A call on the object in `slot` that returns an object.
    TOfficeSlot Object(const TOfficeSlot& slot, const char* op)
    {
        const std::vector<std::string> v = Run(slot, op);
        if (v.size() != 1 || v[0].empty())
            Fail(OfficeFailure("protocol", op));
        return {o_.LinkNo, v[0]};
    }

    // A call on the object in `slot` with UTF-8 arguments; its results.
    std::vector<std::string> Run(const TOfficeSlot& slot, const char* op, std::vector<std::string> args = {})
    {
        if (slot.Id.empty())
            Fail(OfficeFailure(EmptySlotCode(slot)));
        if (slot.Link != o_.LinkNo || !o_.Link.Running())
            Fail(OfficeFailure("disconnected"));
        args.insert(args.begin(), {op, slot.Id});
        return Send(args, TimeoutSeconds() * 1000).Values;
    }

    [[noreturn]] void Fail(const TOfficeReply& r)
    {
        std::string subject = subject_;
        if (r.Code == "timeout")
            subject = std::to_string(waitedMs_ / 1000);
        if (r.Code == "starttimeout")
            subject = r.Detail;   // the helper's own limit, in seconds
        if (r.Code == "nopython")
            subject = Utf8ToSjis(Python());
        st_.Error(OfficeErrorText(side_, OfficeReason(side_, r.Code, subject, r.Detail)));
    }

private:
    static std::string Python()
    {
        const std::string named = Env("PORUKANA_OFFICE_PYTHON");
        return named.empty() ? kDefaultPython : named;
    }

    TOfficeReply Send(const std::vector<std::string>& request, int timeoutMs)
    {
        // A stop request (Ctrl-C in the console) that arrives during the wait ends it.
        const bool stoppingBefore = st_.Stopping;
        waitedMs_ = timeoutMs;
        TOfficeReply r = o_.Link.Call(request, timeoutMs, [&] { return st_.Stopping && !stoppingBefore; });
        if (!r.Ok)
            Fail(r);
        return r;
    }

    // Why a slot is still empty: the application was never started, or it has no
    // document (a start that failed half way).
    std::string EmptySlotCode(const TOfficeSlot& slot) const
    {
        const bool sheet = side_ == TOfficeSide::Spreadsheet;
        if ((sheet ? o_.ExcelApp : o_.WordApp).Id.empty())
            return "notstarted";
        if (&slot == &o_.ExcelSheet)
            return "nosheet";
        if (&slot == &o_.ExcelWorkbook || &slot == &o_.WordDocument)
            return "noactive";
        return "notstarted";
    }

    TPoruBase& st_;
    TOfficeSide side_;
    TOfficeState& o_;
    std::string subject_;
    int waitedMs_ = 0;   // the time limit of the last call
};

constexpr TOfficeSide kExcel = TOfficeSide::Spreadsheet;
constexpr TOfficeSide kWord = TOfficeSide::Word;

// The cell argument (x, y from 0) as the row and column numbers from 1.
void PopCell(TPoruBase& st, TOfficeCall& call, std::string& row, std::string& column)
{
    int32_t x = 0, y = 0;
    st.PopCoordinates(st.PopRaw(), x, y);
    call.About(std::to_string(x) + "," + std::to_string(y));
    row = std::to_string(static_cast<int64_t>(y) + 1);
    column = std::to_string(static_cast<int64_t>(x) + 1);
}

// A file to open: found like every file a command reads (packed files extracted).
std::string OpenPath(TPoruBase& st, TOfficeCall& call, const std::string& name)
{
    call.About(name);
    return AbsoluteNative(ResolveReadPath(st, name));
}

// ---- spreadsheet ------------------------------------------------------------------

// エクセル起動: attach to or start the office, a new workbook, its sheet.
void cmdExcelStart(TPoruBase& st)
{
    TOfficeCall call(st, kExcel);
    TOfficeState& o = call.Slots();
    o.ExcelApp = call.Attach("calc");
    o.ExcelApplication = call.Object(o.ExcelApp, "application");
    call.Run(o.ExcelApplication, "visible", {"1"});
    o.ExcelWorkbook = call.Object(o.ExcelApplication, "add");
    o.ExcelWorkbook = call.Object(o.ExcelApplication, "activedoc");
    o.ExcelSheet = call.Object(o.ExcelApplication, "activesheet");
}

// エクセル開く (file を): opens a workbook, which becomes the current one.
void cmdExcelOpen(TPoruBase& st)
{
    const std::string file = st.PopText();
    TOfficeCall call(st, kExcel);
    TOfficeState& o = call.Slots();
    call.Run(o.ExcelApplication, "open", {OpenPath(st, call, file)});
    o.ExcelWorkbook = call.Object(o.ExcelApplication, "activedoc");
    o.ExcelSheet = call.Object(o.ExcelApplication, "activesheet");
}

// エクセル保存 (file へ): saves the active workbook in the format of the extension.
void cmdExcelSave(TPoruBase& st)
{
    const std::string file = st.PopText();
    TOfficeCall call(st, kExcel);
    TOfficeState& o = call.Slots();
    call.About(file);
    const TOfficeSlot active = call.Object(o.ExcelApplication, "activedoc");
    if (!SecurityGate(st, file, "\"" + file + "\"へ書き込みます。"))
        return;
    call.Run(active, "saveas", {AbsoluteNative(file)});
}

// エクセル終了: closes every workbook without saving and quits.
void cmdExcelQuit(TPoruBase& st)
{
    TOfficeCall call(st, kExcel);
    TOfficeState& o = call.Slots();
    call.Run(o.ExcelWorkbook, "setsaved");
    call.Run(o.ExcelApplication, "closeall");
    call.Run(o.ExcelApplication, "quit");
    call.Run(o.ExcelApp, "quit");
}

// エクセル設定 (cell を, text に): the text goes into the cell as if typed there
// (numbers and formulas are recognised).
void cmdExcelSet(TPoruBase& st)
{
    const std::string text = st.PopText();
    TOfficeCall call(st, kExcel);
    std::string row, column;
    PopCell(st, call, row, column);
    call.Run(call.Slots().ExcelSheet, "setcell", {row, column, SjisToUtf8(text)});
}

// エクセル得る (cell を, variable に): the cell's value as text into the variable
// (created when unknown); the variable's type tag is kept.
void cmdExcelGet(TPoruBase& st)
{
    THashNode* var = st.PopWord(true);
    if (var->Reserved)
        st.Error("\"" + var->Name + "\"は、読取専用です。");
    TOfficeCall call(st, kExcel);
    std::string row, column;
    PopCell(st, call, row, column);
    const std::vector<std::string> v = call.Run(call.Slots().ExcelSheet, "getcell", {row, column});
    if (v.size() != 1)
        call.Fail(OfficeFailure("protocol", "getcell"));
    std::string value = Utf8ToSjis(v[0]);
    if (var->Kind == wkObject && st.Host)
        st.Host->SetObjectValue(st, var, value);
    var->Value = std::move(value);
}

// エクセルマクロ実行 (name を): runs a Basic macro of the open workbooks or of the
// user's library.
void cmdExcelMacro(TPoruBase& st)
{
    const std::string name = st.PopText();
    TOfficeCall call(st, kExcel);
    call.About(name);
    call.Run(call.Slots().ExcelApplication, "run", {SjisToUtf8(name)});
}

// エクセル印刷: prints the current sheet on the default printer.
void cmdExcelPrint(TPoruBase& st)
{
    TOfficeCall call(st, kExcel);
    call.Run(call.Slots().ExcelSheet, "print");
}

// ---- word processor ---------------------------------------------------------------

// ワード起動: attach to or start the office, a new document.
void cmdWordStart(TPoruBase& st)
{
    TOfficeCall call(st, kWord);
    TOfficeState& o = call.Slots();
    o.WordApp = call.Attach("writer");
    o.WordApplication = call.Object(o.WordApp, "application");
    call.Run(o.WordApplication, "visible", {"1"});
    o.WordDocument = call.Object(o.WordApp, "add");
}

// ワード開く (file を): opens a document, which becomes the current one.
void cmdWordOpen(TPoruBase& st)
{
    const std::string file = st.PopText();
    TOfficeCall call(st, kWord);
    TOfficeState& o = call.Slots();
    const std::string path = OpenPath(st, call, file);
    const std::vector<std::string> v = call.Run(o.WordApplication, "open", {path});
    if (v.size() != 1 || v[0].empty())
        call.Fail(OfficeFailure("protocol", "open"));
    o.WordDocument = {o.LinkNo, v[0]};
}

// ワード保存 (file へ): saves the current document in the format of the extension.
void cmdWordSave(TPoruBase& st)
{
    const std::string file = st.PopText();
    TOfficeCall call(st, kWord);
    call.About(file);
    if (!SecurityGate(st, file, "\"" + file + "\"へ書き込みます。"))
        return;
    call.Run(call.Slots().WordDocument, "saveas", {AbsoluteNative(file)});
}

// ワード終了: closes every document without saving and quits.
void cmdWordQuit(TPoruBase& st)
{
    TOfficeCall call(st, kWord);
    TOfficeState& o = call.Slots();
    call.Run(o.WordApplication, "closeall");
    call.Run(o.WordApp, "quit");
}

// ワードブックマーク設定 (bookmark を, text に): the bookmark's text is replaced.
void cmdWordBookmark(TPoruBase& st)
{
    const std::string text = st.PopText();
    const std::string name = st.PopText();
    TOfficeCall call(st, kWord);
    call.About(name);
    call.Run(call.Slots().WordDocument, "bookmark", {SjisToUtf8(name), SjisToUtf8(text)});
}

// ワード文字挿入 (text を): appends the text at the end of the document; its line
// breaks start new paragraphs.
void cmdWordInsert(TPoruBase& st)
{
    const std::string text = st.PopText();
    TOfficeCall call(st, kWord);
    call.Run(call.Slots().WordDocument, "append", {SjisToUtf8(text)});
}

// ワード本文を得る: the document's text into それ, paragraphs ended by CR LF.
void cmdWordText(TPoruBase& st)
{
    TOfficeCall call(st, kWord);
    const std::vector<std::string> v = call.Run(call.Slots().WordDocument, "text");
    if (v.size() != 1)
        call.Fail(OfficeFailure("protocol", "text"));
    st.SetSore(Utf8ToSjis(v[0]), "s");
}

// ワードマクロ実行 (name を): runs a Basic macro of the open documents or of the
// user's library.
void cmdWordMacro(TPoruBase& st)
{
    const std::string name = st.PopText();
    TOfficeCall call(st, kWord);
    call.About(name);
    call.Run(call.Slots().WordApplication, "run", {SjisToUtf8(name)});
}

// ワード印刷: prints the current document on the default printer.
void cmdWordPrint(TPoruBase& st)
{
    TOfficeCall call(st, kWord);
    call.Run(call.Slots().WordDocument, "print");
}

HandlerRegistrar reg({
    {Cmd::ExcelStart, cmdExcelStart},
    {Cmd::ExcelOpen, cmdExcelOpen},
    {Cmd::ExcelSave, cmdExcelSave},
    {Cmd::ExcelQuit, cmdExcelQuit},
    {Cmd::ExcelSet, cmdExcelSet},
    {Cmd::ExcelGet, cmdExcelGet},
    {Cmd::ExcelMacro, cmdExcelMacro},
    {Cmd::ExcelPrint, cmdExcelPrint},
    {Cmd::WordStart, cmdWordStart},
    {Cmd::WordOpen, cmdWordOpen},
    {Cmd::WordSave, cmdWordSave},
    {Cmd::WordQuit, cmdWordQuit},
    {Cmd::WordBookmark, cmdWordBookmark},
    {Cmd::WordInsert, cmdWordInsert},
    {Cmd::WordText, cmdWordText},
    {Cmd::WordMacro, cmdWordMacro},
    {Cmd::WordPrint, cmdWordPrint},
});

}   // namespace
