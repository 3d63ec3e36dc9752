// The security gate and the reading of security.ini.
#include "commands/files/security.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/paths.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/dll.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

namespace {

const char* const kIniName = "security.ini";

TGateQuestion& Question()
{
    static TGateQuestion q;
    return q;
}

TGateWarning& Warning()
{
    static TGateWarning w;
    return w;
}

TGateAnswer ConsoleQuestion(TPoruBase&, const std::string& text)
{
    std::cerr << SjisToUtf8(text) << "\n" << SjisToUtf8("[はい/いいえ/全てはい/全ていいえ] ") << std::flush;
    std::string line;
    if (!std::cin.good() || !std::getline(std::cin, line)) {
        std::cerr << "\n";   // no answer: what follows starts a line of its own
        return TGateAnswer::No;
    }
    return ParseGateAnswer(Utf8ToSjis(line));
}

void ConsoleWarning(TPoruBase&, const std::string& caption, const std::string& text)
{
    std::cerr << SjisToUtf8("[" + caption + "] " + text) << std::endl;
}

bool IsIniName(const std::string& nativeName)
{
    return LowerAscii(nativeName) == kIniName;
}

bool HasWildcard(const std::string& s)
{
    return s.find_first_of("*?") != std::string::npos;
}

// The script's folder as a native canonical path (no trailing "/").
fs::path ScriptFolder(TPoruBase& st)
{
    if (st.StartFolder.empty())
        CommandLineText(st);
    std::error_code ec;
    fs::path folder(ToNativePath(st.StartFolder));
    if (folder.empty())
        folder = fs::current_path(ec);
    fs::path canonical = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec)
        canonical = folder.lexically_normal();
    std::string s = canonical.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return fs::path(s);
}

// The path a command will touch, absolute and canonical as far as it exists.
fs::path CanonicalTarget(const std::string& nativePath)
{
    std::error_code ec;
    fs::path p(nativePath);
    if (p.is_relative())
        p = fs::current_path(ec) / p;
    fs::path c = fs::weakly_canonical(p, ec);
    if (ec)
        c = p.lexically_normal();
    std::string s = c.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return fs::path(s);
}

// True when `inner` is `outer` or lies below it, comparing whole components.
bool Within(const fs::path& inner, const fs::path& outer)
{
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty())
            continue;   // a trailing separator
        if (i == inner.end() || *i != *o)
            return false;
    }
    return true;
}

// True when the native path would reach security.ini in any way.
bool TouchesSecurityFile(TPoruBase& st, const std::string& nativePath)
{
    const fs::path lexical(nativePath);
    std::string name = lexical.filename().string();
    if (IsIniName(name))
        return true;
    if (HasWildcard(name) && MatchFileMask(name, kIniName))
        return true;
    const fs::path target = CanonicalTarget(nativePath);
    if (IsIniName(target.filename().string()))
        return true;

    // A hard link to the script's security.ini, or a folder that holds it.
    const fs::path folder = ScriptFolder(st);
    const fs::path ini = folder / kIniName;
    struct stat iniStat {
    }, targetStat{};
    if (stat(ini.c_str(), &iniStat) != 0)
        return false;
    if (stat(target.c_str(), &targetStat) == 0) {
        if (targetStat.st_dev == iniStat.st_dev && targetStat.st_ino == iniStat.st_ino)
            return true;
        if (S_ISDIR(targetStat.st_mode) && Within(folder, target))
            return true;
    }
    // A wildcard in a folder above the script's folder that matches the folder on
    // the way down to it ("*" in the parent would move or delete it whole).
    if (HasWildcard(name)) {
        const fs::path parent = CanonicalTarget(lexical.parent_path().empty() ? "." : lexical.parent_path().string());
        if (parent != folder && Within(folder, parent)) {
            auto f = folder.begin();
            for (auto p = parent.begin(); p != parent.end() && f != folder.end(); ++p)
                if (!p->empty())
                    ++f;
            if (f != folder.end() && MatchFileMask(name, f->string()))
                return true;
        }
    }
    return false;
}

// The question at the mid level; "全てはい" and "全ていいえ" change the level.
bool AskTheUser(TPoruBase& st, const std::string& text)
{
    const TGateQuestion& q = Question();
    switch ((q ? q : ConsoleQuestion)(st, text)) {
    case TGateAnswer::Yes:
        return true;
    case TGateAnswer::AllYes:
        st.SecurityLevel = 0;
        return true;
    case TGateAnswer::AllNo:
        st.SecurityLevel = 2;
        return false;
    case TGateAnswer::No:
        break;
    }
    return false;
}

// Library declarations follow the level as file writes do at its extremes: the
// high level refuses them.
bool LibraryGate(TPoruBase& st)
{
    ReadSecurityFile(st);
    return st.SecurityLevel < 2;
}

[[maybe_unused]] const bool kLibraryGateInstalled = (SetLibraryGate(&LibraryGate), true);

}   // namespace

void SetGateQuestion(TGateQuestion question)
{
    Question() = std::move(question);
}

void SetGateWarning(TGateWarning warning)
{
    Warning() = std::move(warning);
}

TGateAnswer ParseGateAnswer(const std::string& answer)
{
    const std::string a = LowerAsciiSjis(Trim(answer));
    if (a == "はい" || a == "y" || a == "yes")
        return TGateAnswer::Yes;
    if (a == "全てはい" || a == "すべてはい" || a == "a" || a == "all")
        return TGateAnswer::AllYes;
    if (a == "全ていいえ" || a == "すべていいえ" || a == "none")
        return TGateAnswer::AllNo;
    return TGateAnswer::No;
}

int SecurityWordLevel(const std::string& word)
{
    if (word.empty())
        return 1;
    const char c = word[0];
    if (c == 'H' || c == 'h')
        return 2;
    if (c == 'L' || c == 'l')
        return 0;
    return 1;
}

void ReadSecurityFile(TPoruBase& st)
{
    if (st.StartFolder.empty())
        CommandLineText(st);
    const fs::path ini = fs::path(ToNativePath(st.StartFolder)) / kIniName;
    std::ifstream in(ini, std::ios::binary);
    if (!in)
        return;
    const std::string section = LowerAsciiSjis(PathNamePart(st.ScriptPath));
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';')
            continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            inSection = close != std::string::npos && LowerAsciiSjis(Trim(t.substr(1, close - 1))) == section;
            continue;
        }
        if (!inSection)
            continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos || LowerAsciiSjis(Trim(t.substr(0, eq))) != "security")
            continue;
        st.SecurityLevel = SecurityWordLevel(Trim(t.substr(eq + 1)));
        return;
    }
}

bool InsideScriptFolder(TPoruBase& st, const std::string& nativePath)
{
    return Within(CanonicalTarget(nativePath), ScriptFolder(st));
}

bool SecurityGate(TPoruBase& st, const std::string& path, const std::string& text)
{
    return SecurityGate(st, std::vector<std::string>{path}, text);
}

// A refusal in the console is not silent: a warning names the command and the path
// (the run goes on). A window host asked the user, who knows the answer.
static bool Refused(TPoruBase& st, const std::vector<std::string>& paths)
{
    if (Question() || paths.empty())
        return false;
    std::string names;
    for (const std::string& p : paths)
        names += (names.empty() ? "\"" : "、\"") + p + "\"";
    st.ReportWarning("\"" + RunningCommandName(st) + "\"は実行されませんでした。" + names +
                     "への操作は、安全性の水準（-security）で許可されていません。");
    return false;
}

bool SecurityGate(TPoruBase& st, const std::vector<std::string>& paths, const std::string& text)
{
    ReadSecurityFile(st);
    if (st.SecurityLevel >= 2)
        return Refused(st, paths);

    bool inside = true;
    for (const std::string& path : paths) {
        const std::string native = ToNativePath(path);
        if (TouchesSecurityFile(st, native)) {
            const TGateWarning& w = Warning();
            (w ? w : ConsoleWarning)(st, "セキュリティの警告",
                                     "このプログラムは、\"security.ini\"を、操作出来ません！");
            return false;
        }
        if (HasWildcard(fs::path(native).filename().string()) || !InsideScriptFolder(st, native))
            inside = false;
    }
    if (st.SecurityLevel <= 0 || inside)
        return true;
    return AskTheUser(st, text) || Refused(st, paths);
}

bool SecurityGateAsk(TPoruBase& st, const std::string& text)
{
    ReadSecurityFile(st);
    if (st.SecurityLevel >= 2)
        return false;
    return st.SecurityLevel <= 0 || AskTheUser(st, text);
}

bool SecurityGateOutside(TPoruBase& st, const std::vector<std::string>& paths, const std::string& text)
{
    // The high level refuses every write, inside the script's folder too.
    ReadSecurityFile(st);
    if (st.SecurityLevel >= 2)
        return false;
    bool inside = true;
    for (const std::string& path : paths) {
        const std::string native = ToNativePath(path);
        if (HasWildcard(fs::path(native).filename().string()) || TouchesSecurityFile(st, native) ||
            !InsideScriptFolder(st, native)) {
            inside = false;
            break;
        }
    }
    return inside || SecurityGate(st, paths, text);
}
