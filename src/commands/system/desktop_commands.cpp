// The system commands that meet the desktop and the machine: windows and keys
// (ウインドウ列挙, アクティブ, キー送信), waiting (待つ), BEEP, the debugging aids
// _P (SHOW) and ログる, host information (ユーザー名取得, コンピューター名取得,
// IPアドレス取得) and the LAN listings, which this platform does not have.
#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>

#include "commands/system/key_sequence.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

const char* const kLogBreak = "~改行_";

std::string Lines(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& s : items)
        text += s + "\r\n";
    return text;
}

// ---- windows and keys ----

void cmdListWindows(TPoruBase& st)
{
    if (st.Host)
        st.SetSore(Lines(st.Host->WindowTitles(st)), "s");
}

// アクティブ: a window that cannot be found or activated is not an error.
void cmdActivate(TPoruBase& st)
{
    const std::string title = st.PopText();
    if (st.Host)
        st.Host->ActivateWindow(st, title);
}

// キー送信: the keys go to the window only when it could be activated; a key text
// that cannot be read is an error before anything is sent.
void cmdSendKeys(TPoruBase& st)
{
    const std::string keys = st.PopText();
    const std::string title = st.PopText();
    std::vector<TKeyAction> actions;
    std::string bad;
    if (!ParseKeySequence(keys, actions, bad))
        st.ArgError(":\"" + bad + "\"");
    if (st.Host && st.Host->ActivateWindow(st, title))
        st.Host->SendKeys(st, actions);
}

// ---- waiting, beep, debugging aids ----

// 待つ: seconds; events keep running, and a stop request ends the wait.
void cmdWaitSeconds(TPoruBase& st)
{
    const long double ms = std::trunc(st.PopNumber() * 1000);
    if (!(ms <= 4294967295.0L && ms >= -2147483648.0L))
        st.Error("範囲チェックエラー");
    if (!st.Host)
        return;
    st.Host->ProcessEvents();
    if (ms > 0 && !st.Stopping)
        st.Host->WaitMs(st, static_cast<int64_t>(ms));
}

void cmdBeep(TPoruBase& st)
{
    if (st.Host)
        st.Host->Beep(st);
}

// _P, SHOW: the argument as written and its value.
void cmdShowValue(TPoruBase& st)
{
    const std::string raw = Trim(st.PopRaw());
    const std::string value = st.EvaluateValue(raw);
    if (st.Host)
        st.Host->Say(st, "「" + raw + "」の内容は、" + value);
}

struct TLogEntry {
    int64_t Counter = 0;
    int64_t Limit = 0;
    std::string Text;
};

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to)
{
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t at = text.find(from, pos);
        if (at == std::string::npos)
            break;
        out.append(text, pos, at - pos);
        out.append(to);
        pos = at + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// ログる: every call appends the variable's value to its log; every `count`
// calls (counted from the first) the log is shown. A count of 0 or less keeps
// accumulating and never shows.
void cmdLog(TPoruBase& st)
{
    const long double count = std::trunc(st.PopNumber());
    const std::string raw = Trim(st.PopRaw());
    const std::string value = st.EvaluateValue(raw);
    auto& logs = st.Ext<std::map<std::string, TLogEntry>>();
    auto [it, fresh] = logs.try_emplace(raw);
    TLogEntry& e = it->second;
    if (fresh) {
        e.Counter = 1;
        e.Limit = count >= 1 && count < 9.2e18L ? static_cast<int64_t>(count) : 0;
    } else {
        ++e.Counter;
    }
    e.Text += kLogBreak;
    e.Text += "(" + std::to_string(e.Counter) + ")=" + ReplaceAll(value, "\r\n", kLogBreak);
    if (e.Limit > 0 && e.Counter % e.Limit == 0 && st.Host)
        st.Host->ShowLog(st, "ログ - \"" + raw + "\"", ReplaceAll(e.Text, kLogBreak, "\r\n"));
}

// ---- host information ----

void cmdUserName(TPoruBase& st)
{
    std::string name;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
        name = found->pw_name;
    else if (const char* user = std::getenv("USER"))
        name = user;
    st.SetSore(Utf8ToSjis(name), "s");
}

std::string HostName()
{
    char buf[HOST_NAME_MAX + 1] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return std::string();
    return buf;
}

void cmdComputerName(TPoruBase& st)
{
    st.SetSore(Utf8ToSjis(HostName()), "s");
}

// IPアドレス取得: the first IPv4 address of the host (of this computer for an
// empty name), the empty text when it cannot be resolved.
void cmdIpAddress(TPoruBase& st)
{
    std::string host = SjisToUtf8(Trim(st.PopText()));
    if (host.empty())
        host = HostName();
    std::string text;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (!host.empty() && getaddrinfo(host.c_str(), nullptr, &hints, &res) == 0) {
        for (addrinfo* a = res; a; a = a->ai_next) {
            if (a->ai_family != AF_INET)
                continue;
            char buf[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, buf, sizeof buf)) {
                text = buf;
                break;
            }
        }
        freeaddrinfo(res);
    }
    st.SetSore(text, "s");
}

// The LAN listings need the Windows network, which this platform has not: the
// result is the empty text (a warning says why in debug mode).
void EmptyLanListing(TPoruBase& st)
{
    if (st.DebugMode)
        st.ReportWarning("\"" + RunningCommandName(st) + "\"は、この実行環境ではネットワークの一覧を得られません。");
    st.SetSore(std::string(), "s");
}

void cmdLanComputers(TPoruBase& st)
{
    st.PopText();
    EmptyLanListing(st);
}

void cmdLanDomains(TPoruBase& st)
{
    EmptyLanListing(st);
}

HandlerRegistrar reg({{Cmd::ListWindows, cmdListWindows},
                      {Cmd::Activate, cmdActivate},
                      {Cmd::SendKeys, cmdSendKeys},
                      {Cmd::WaitSeconds, cmdWaitSeconds},
                      {Cmd::Beep, cmdBeep},
                      {Cmd::ShowValue, cmdShowValue},
                      {Cmd::LogValue, cmdLog},
                      {Cmd::UserName, cmdUserName},
                      {Cmd::ComputerName, cmdComputerName},
                      {Cmd::IpAddress, cmdIpAddress},
                      {Cmd::LanComputers, cmdLanComputers},
                      {Cmd::LanShares, cmdLanComputers},
                      {Cmd::LanComputersWithDomain, cmdLanComputers},
                      {Cmd::LanDomains, cmdLanDomains}});

}   // namespace
