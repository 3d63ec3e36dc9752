// What the HTTP, FTP and mail commands share: a libcurl handle pair that runs one
// transfer at a time while the host keeps dispatching its events, the guard that
// keeps a second network command out while one is running, the progress window of a
// command, and the small helpers for host names and URLs.
//
// A transfer blocks the script but not the program: between the steps of libcurl's
// multi interface the host processes its events (timers, other sockets, the stop
// button of the progress window), at least every 20 ms. An event handler that calls
// another network command meanwhile gets a clear error instead of re-entering
// libcurl.
#pragma once
#include <curl/curl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TPoruBase;

// What a transfer asks of its caller while it runs. Every member may be empty.
struct TTransferHooks {
    std::function<void()> Pump;                                  // dispatch the host's events
    std::function<bool()> ShouldStop;                            // true: abort the transfer now
    std::function<void(int64_t done, int64_t total)> Progress;   // bytes so far of the total (0: unknown)
    std::function<void(const std::string& line)> Response;       // a line the server answered
};

// An easy handle with its own multi handle. The multi handle owns the connection
// cache, so the connections a session opens (an FTP login, a POP3 session) stay open
// from one transfer to the next until the session is destroyed.
class TCurlSession {
public:
    TCurlSession();
    ~TCurlSession();
    TCurlSession(const TCurlSession&) = delete;
    TCurlSession& operator=(const TCurlSession&) = delete;

    CURL* Easy() const { return easy_; }
    // Clears the options of the previous request (connections stay) and sets the
    // ones every request has: no signals, the error buffer, the capture of the
    // server's replies, time limits for connecting and for a stalled transfer.
    void Reset();
    // Runs the request set up on Easy() to its end. A stop request gives
    // CURLE_ABORTED_BY_CALLBACK.
    CURLcode Perform(const TTransferHooks& hooks);

    // The client's message for a failed request: the server's last refusal (a 4xx
    // or 5xx reply, -ERR) when it refused, otherwise libcurl's description.
    std::string Message(CURLcode code) const;

    // Sets a text option (libcurl keeps its own copy).
    void SetText(CURLoption option, const std::string& value);

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow);

    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::string refusal_;                     // the last refusing reply of this request
    const TTransferHooks* hooks_ = nullptr;   // during Perform
};

// Held by every network command while it runs. Raises
// ""NAME"命令は、ほかの通信の途中では使えません。" when another network command of the
// same state is still running (an event handler called it during a transfer).
class TNetBusyGuard {
public:
    explicit TNetBusyGuard(TPoruBase& st);
    ~TNetBusyGuard();
    TNetBusyGuard(const TNetBusyGuard&) = delete;
    TNetBusyGuard& operator=(const TNetBusyGuard&) = delete;

private:
    TPoruBase& st_;
};

// The progress window of one command: opened by the constructor, closed by the
// destructor (so on every path out of the command). With stopButton its 中止 button
// is enabled and pressing it stops the running transfer. Positions are passed on
// only when the bar would move, so a fast transfer does not flood the host.
class TProgressWindow {
public:
    TProgressWindow(TPoruBase& st, const std::string& message, bool stopButton);
    ~TProgressWindow();
    TProgressWindow(const TProgressWindow&) = delete;
    TProgressWindow& operator=(const TProgressWindow&) = delete;

    void Message(const std::string& message);
    void Position(int64_t position, int64_t maximum);
    // Hooks that pump the host's events, stop when the 中止 button was pressed or the
    // program is ending, and move the bar.
    TTransferHooks Hooks();
    // Set by the 中止 button.
    bool StopRequested() const { return stop_; }

private:
    TPoruBase& st_;
    bool stop_ = false;
    int64_t lastMax_ = -1;
    int lastPermille_ = -1;
};

// "host" or "host:port" (also "[v6]:port"): the host part and the port, or the
// default port when none is given. False when the port is not a number 1-65535.
bool SplitHostPort(std::string_view text, std::string& host, int& port, int defaultPort);
// scheme://host:port/ with an IPv6 literal in brackets.
std::string ServerUrl(const std::string& scheme, const std::string& host, int port);
// Percent-escapes one path segment (Shift_JIS) for a URL: its UTF-8 bytes, all but
// the unreserved ASCII characters, as servers expect names.
std::string EscapeSegment(std::string_view sjisSegment);
// True when the text holds a control character (CR, LF, NUL...): such a text never
// goes into a protocol command line.
bool HasControlChar(std::string_view text);

// A download's file while it is being written: a temporary file beside the
// destination, renamed over it only when everything arrived, removed otherwise.
class TPartFile {
public:
    TPartFile() = default;
    ~TPartFile();
    TPartFile(const TPartFile&) = delete;
    TPartFile& operator=(const TPartFile&) = delete;

    // Creates the temporary file for the native destination path.
    bool Create(const std::string& nativeDest);
    int Fd() const { return fd_; }
    // Writes every byte; false on a write error.
    bool Write(const char* data, size_t size);
    // Closes the file and gives it the destination's name; with replace false an
    // existing destination is never overwritten (the commit fails instead).
    bool Commit(bool replace);

private:
    void Discard();
    int fd_ = -1;
    std::string temp_;
    std::string dest_;
};

// The value of one of the network commands' system variables ("" when missing).
std::string NetVariable(TPoruBase& st, const char* name);
// Lets the host dispatch its events now, then waits ms milliseconds doing the same.
void NetPause(TPoruBase& st, int64_t ms);
