// One FTP session over libcurl: a login kept open between commands, a working folder
// of our own, text or binary transfers, passive or active data connections.
//
// libcurl has no working folder that outlives a request, so the session keeps the
// remote folder as a path of its own (segments below the login folder, or from the
// root after an absolute change) and names it in every request's URL. A change of
// folder is checked by a request that only changes there. Commands that act on a
// name (MKD, RMD, DELE, SITE) run after the request has changed to the working
// folder, so their names are taken from there, as on a session with a real CWD.
// Remote names travel as the script's bytes, escaped per segment in the URLs.
//
//   TFtpSession s;
//   s.Connect({"127.0.0.1", 2121, "user", "pw", true}, hooks);
//   s.ChangeFolder("pub/docs", hooks);        // RemotePath() == "pub/docs"
//   s.Retrieve("a.txt", part, hooks);
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "net/transfer.h"

class TFtpSession {
public:
    struct TConfig {
        std::string Host;
        int Port = 21;
        std::string User;
        std::string Password;
        bool Passive = false;
    };

    bool Connected() const { return curl_ != nullptr; }
    // Logs in (after closing an open session); false with Error() on failure.
    bool Connect(const TConfig& config, const TTransferHooks& hooks);
    // Says goodbye to the server (QUIT) and forgets the session.
    void Disconnect();

    void SetBinary(bool binary) { binary_ = binary; }
    bool Binary() const { return binary_; }

    // CWD: the folder (relative to the working folder, or absolute) must exist.
    bool ChangeFolder(const std::string& folder, const TTransferHooks& hooks);
    // CDUP: the parent of the working folder.
    bool ParentFolder(const TTransferHooks& hooks);
    // One command line run in the working folder (MKD x, RMD x, DELE x, SITE ...).
    bool Command(const std::string& line, const TTransferHooks& hooks);
    // STOR: the local file (native path) under the remote name, replacing it.
    bool Store(const std::string& nativeLocal, const std::string& remote, const TTransferHooks& hooks);
    // RETR: the remote file into the part file.
    bool Retrieve(const std::string& remote, TPartFile& part, const TTransferHooks& hooks);
    // A listing of the working folder by the given command ("NLST *.txt", "LIST",
    // "LIST name"); the lines without their line breaks.
    bool Listing(const std::string& command, std::vector<std::string>& lines, const TTransferHooks& hooks);

    // The working folder as a path ("" the login folder, "/" the root, "a/b", "/pub").
    std::string RemotePath() const;
    // The client's message for the last failure.
    const std::string& Error() const { return error_; }

    // The folder reached from `from` by `path` (segments; absolute marks a path from
    // the root): "." is dropped, ".." goes up, or is kept at the start of a relative
    // path (the parent of the login folder), or is dropped at the root.
    static void Walk(std::vector<std::string>& segments, bool& absolute, const std::string& path);

private:
    std::string FolderUrl(const std::vector<std::string>& segments, bool absolute) const;
    // The URL of a file named relative to the working folder; false when it has no
    // file name.
    bool FileUrl(const std::string& remote, std::string& url) const;
    void Prepare();
    bool Run(const TTransferHooks& hooks);

    std::unique_ptr<TCurlSession> curl_;
    TConfig config_;
    std::string base_;   // ftp://host:port/
    bool binary_ = true;
    std::vector<std::string> path_;
    bool absolute_ = false;
    std::string error_;
};
