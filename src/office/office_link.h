// The office helper process: one per run, started at the first start command and
// ended with the run. It speaks the lines of office_protocol.h on a socket that is
// its standard input and output; its descriptor 3 is a life line that the run-time
// holds open and never writes, so the helper notices when the run-time ends however
// it ends (and then closes the office it started).
//
// Every call is bounded by a time limit: a helper that does not answer in time is
// ended with its office, and the call fails with the code "timeout".
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "office/office_protocol.h"

class TOfficeLink {
public:
    TOfficeLink() = default;
    ~TOfficeLink();
    TOfficeLink(const TOfficeLink&) = delete;
    TOfficeLink& operator=(const TOfficeLink&) = delete;

    // Runs `interpreter helper` and waits up to timeoutMs for its greeting. On
    // failure returns the failure (nopython, startfail, timeout, ...) and leaves no
    // process behind.
    TOfficeReply Start(const std::string& interpreter, const std::string& helper, int timeoutMs);
    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // One request (UTF-8 fields) and its reply. `stop` is asked while waiting; when
    // it answers true the helper is ended and the call fails with "stopped". A
    // helper that ended fails the call with "disconnected".
    TOfficeReply Call(const std::vector<std::string>& request, int timeoutMs,
                      const std::function<bool()>& stop = nullptr);

    // The process group of the office the helper started, ended as a last resort
    // when the helper itself has to be killed.
    void SetOfficeGroup(pid_t pgid) { officeGroup_ = pgid; }

    // Asks the helper to close its office and end, waiting up to graceMs, then
    // ends it by force. Nothing is left running afterwards.
    void Close(int graceMs = 20000);
    // Ends the helper at once (its office with it).
    void Kill();

private:
    bool ReadLine(std::string& line, int timeoutMs, const std::function<bool()>& stop, std::string& failure);
    bool WaitExit(int ms);
    void Release();

    pid_t pid_ = -1;
    int channel_ = -1;
    int lifeLine_ = -1;
    pid_t officeGroup_ = 0;
    std::string buffer_;
};
