// The libcurl driver of the network commands and their shared helpers.
#include "net/transfer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <new>

#include "core/codec.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

constexpr long kConnectTimeoutS = 30;
constexpr long kStallTimeoutS = 60;   // a transfer that moves no byte for this long fails
constexpr int kPumpIntervalMs = 20;
constexpr int kPollMs = 10;

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Per-state record of the network command running now.
struct TNetBusyState {
    bool Busy = false;
};

}   // namespace

// ---- TCurlSession ---------------------------------------------------------------------

TCurlSession::TCurlSession()
{
    GlobalInit();
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_)
        throw std::bad_alloc();
    Reset();
}

TCurlSession::~TCurlSession()
{
    // The easy handle goes first; cleaning the multi handle then closes the cached
    // connections politely (QUIT for FTP and POP3).
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
}

void TCurlSession::Reset()
{
    curl_easy_reset(easy_);
    errorBuffer_[0] = '\0';
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &TCurlSession::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &TCurlSession::OnProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_easy_setopt(easy_, CURLOPT_SERVER_RESPONSE_TIMEOUT, kStallTimeoutS);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, kStallTimeoutS);
}

void TCurlSession::SetText(CURLoption option, const std::string& value)
{
    curl_easy_setopt(easy_, option, value.c_str());
}

namespace {

// A reply that refuses: a code of 4xx or 5xx (FTP, SMTP), or POP3's -ERR.
bool IsRefusal(const std::string& r)
{
    if (r.rfind("-ERR", 0) == 0)
        return true;
    return r.size() >= 3 && (r[0] == '4' || r[0] == '5') && isdigit(static_cast<unsigned char>(r[1])) &&
           isdigit(static_cast<unsigned char>(r[2]));
}

}   // namespace

size_t TCurlSession::OnHeader(char* data, size_t size, size_t count, void* self)
{
    const size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.empty())
        return n;
    auto* s = static_cast<TCurlSession*>(self);
    if (s->hooks_ && s->hooks_->Response)
        s->hooks_->Response(line);
    if (IsRefusal(line))
        s->refusal_ = std::move(line);
    return n;
}

int TCurlSession::OnProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
{
    auto* s = static_cast<TCurlSession*>(self);
    if (s->hooks_ && s->hooks_->Progress) {
        if (ulTotal > 0 || ulNow > 0)
            s->hooks_->Progress(ulNow, ulTotal);
        else
            s->hooks_->Progress(dlNow, dlTotal);
    }
    return 0;
}

CURLcode TCurlSession::Perform(const TTransferHooks& hooks)
{
    refusal_.clear();
    errorBuffer_[0] = '\0';
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    hooks_ = &hooks;
    // The handle leaves the multi handle on every way out, also when a hook raises.
    struct Detach {
        TCurlSession* s;
        ~Detach()
        {
            s->hooks_ = nullptr;
            curl_multi_remove_handle(s->multi_, s->easy_);
        }
    } detach{this};

    int64_t lastPump = NowMs();
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK)
            return CURLE_FAILED_INIT;
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi_, &left))
            if (m->msg == CURLMSG_DONE && m->easy_handle == easy_)
                return m->data.result;
        if (running == 0)
            return CURLE_OK;
        if (hooks.ShouldStop && hooks.ShouldStop())
            return CURLE_ABORTED_BY_CALLBACK;
        curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
        const int64_t now = NowMs();
        if (hooks.Pump && now - lastPump >= kPumpIntervalMs) {
            lastPump = now;
            hooks.Pump();
        }
    }
}

std::string TCurlSession::Message(CURLcode code) const
{
    // The server's refusal says more than libcurl's summary of it.
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return "中止しました。";
    if (!refusal_.empty())
        return refusal_;
    if (errorBuffer_[0])
        return errorBuffer_;
    return curl_easy_strerror(code);
}

// ---- TNetBusyGuard ----------------------------------------------------------------------

TNetBusyGuard::TNetBusyGuard(TPoruBase& st) : st_(st)
{
    TNetBusyState& s = st.Ext<TNetBusyState>();
    if (s.Busy) {
        const std::string name = st.CurrentCommand ? st.CurrentCommand->Name : std::string();
        st.Error("\"" + name + "\"命令は、ほかの通信の途中では使えません。");
    }
    s.Busy = true;
}

TNetBusyGuard::~TNetBusyGuard()
{
    st_.Ext<TNetBusyState>().Busy = false;
}

// ---- TProgressWindow --------------------------------------------------------------------

TProgressWindow::TProgressWindow(TPoruBase& st, const std::string& message, bool stopButton) : st_(st)
{
    std::function<void()> onStop;
    if (stopButton)
        onStop = [this] { stop_ = true; };
    if (st_.Host)
        st_.Host->ProgressOpen(st_, message, std::move(onStop));
}

TProgressWindow::~TProgressWindow()
{
    if (st_.Host)
        st_.Host->ProgressClose(st_);
}

void TProgressWindow::Message(const std::string& message)
{
    if (st_.Host)
        st_.Host->ProgressSetMessage(st_, message);
}

void TProgressWindow::Position(int64_t position, int64_t maximum)
{
    const int permille = maximum > 0 ? static_cast<int>(std::min<int64_t>(position, maximum) * 1000 / maximum) : 0;
    if (maximum == lastMax_ && permille == lastPermille_)
        return;
    lastMax_ = maximum;
    lastPermille_ = permille;
    if (st_.Host)
        st_.Host->ProgressSetPosition(st_, position, maximum);
}

TTransferHooks TProgressWindow::Hooks()
{
    TTransferHooks h;
    h.Pump = [this] {
        if (st_.Host)
            st_.Host->ProcessEvents();
    };
    h.ShouldStop = [this] { return stop_ || st_.Stopping; };
    h.Progress = [this](int64_t done, int64_t total) { Position(done, total); };
    return h;
}

// ---- helpers ----------------------------------------------------------------------------

bool SplitHostPort(std::string_view text, std::string& host, int& port, int defaultPort)
{
    port = defaultPort;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos)
            return false;
        host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
        if (rest.empty())
            return true;
        if (rest.front() != ':')
            return false;
        rest.remove_prefix(1);
    } else {
        const size_t colon = text.find(':');
        // two colons or more: an IPv6 literal without a port
        if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
            host = std::string(text);
            return true;
        }
        host = std::string(text.substr(0, colon));
        rest = text.substr(colon + 1);
    }
    if (rest.empty() || rest.size() > 5)
        return false;
    int value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

std::string ServerUrl(const std::string& scheme, const std::string& host, int port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return scheme + "://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

std::string EscapeSegment(std::string_view sjisSegment)
{
    static const char kHex[] = "0123456789ABCDEF";
    const std::string segment = SjisToTextFile(sjisSegment, TTextEncoding::Utf8, TLineEnd::CrLf);
    std::string out;
    out.reserve(segment.size());
    for (char ch : segment) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool HasControlChar(std::string_view text)
{
    for (char ch : text)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
            return true;
    return false;
}

// ---- TPartFile ----------------------------------------------------------------------

TPartFile::~TPartFile()
{
    Discard();
}

void TPartFile::Discard()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        unlink(temp_.c_str());
    temp_.clear();
}

bool TPartFile::Create(const std::string& nativeDest)
{
    Discard();
    dest_ = nativeDest;
    const size_t slash = nativeDest.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : nativeDest.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? nativeDest : nativeDest.substr(slash + 1);
    if (name.empty())
        return false;
    if (name.size() > 200)   // room for the decoration within the name limit
        name.resize(200);
    std::string tmpl = folder + "." + name + ".part-XXXXXX";
    fd_ = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd_ < 0)
        return false;
    temp_ = tmpl;
    // mkostemp makes the file private; a finished download gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    return true;
}

bool TPartFile::Write(const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool TPartFile::Commit(bool replace)
{
    if (fd_ < 0)
        return false;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        return false;
    bool ok;
    if (replace) {
        ok = rename(temp_.c_str(), dest_.c_str()) == 0;
    } else {
        ok = renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, dest_.c_str(), RENAME_NOREPLACE) == 0;
        if (!ok && (errno == EINVAL || errno == ENOSYS)) {
            // a file system without the no-replace rename: a hard link never replaces,
            // and the temporary name is removed by Discard
            ok = link(temp_.c_str(), dest_.c_str()) == 0;
            Discard();
            return ok;
        }
    }
    if (ok)
        temp_.clear();   // renamed: nothing left to remove
    Discard();
    return ok;
}

std::string NetVariable(TPoruBase& st, const char* name)
{
    THashNode* node = st.Words.FindExact(name);
    return node ? node->Value : std::string();
}

void NetPause(TPoruBase& st, int64_t ms)
{
    if (!st.Host)
        return;
    st.Host->ProcessEvents();
    st.Host->WaitMs(st, ms);
}
