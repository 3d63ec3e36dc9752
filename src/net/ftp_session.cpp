// The FTP session: requests of one libcurl handle pair on one kept login.
#include "net/ftp_session.h"

#include <sys/stat.h>

#include <cstdio>
#include "core/codec.h"
#include "core/text.h"

namespace {

constexpr long kBufferSize = 512 * 1024;

struct TUpload {
    FILE* File = nullptr;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* data)
{
    FILE* f = static_cast<TUpload*>(data)->File;
    const size_t n = fread(buffer, 1, size * count, f);
    if (n == 0 && ferror(f))
        return CURL_READFUNC_ABORT;
    return n;
}

size_t WritePart(char* data, size_t size, size_t count, void* part)
{
    const size_t n = size * count;
    return static_cast<TPartFile*>(part)->Write(data, n) ? n : 0;
}

size_t WriteText(char* data, size_t size, size_t count, void* text)
{
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

}   // namespace

void TFtpSession::Walk(std::vector<std::string>& segments, bool& absolute, const std::string& path)
{
    size_t from = 0;
    if (!path.empty() && path[0] == '/') {
        absolute = true;
        segments.clear();
        from = 1;
    }
    while (from <= path.size()) {
        size_t end = path.find('/', from);
        if (end == std::string::npos)
            end = path.size();
        const std::string seg = path.substr(from, end - from);
        from = end + 1;
        if (seg.empty() || seg == ".")
            continue;
        if (seg == "..") {
            if (!segments.empty() && segments.back() != "..")
                segments.pop_back();
            else if (!absolute)
                segments.push_back(seg);
            continue;
        }
        segments.push_back(seg);
    }
}

std::string TFtpSession::RemotePath() const
{
    std::string out = absolute_ ? "/" : "";
    for (size_t i = 0; i < path_.size(); ++i) {
        if (i)
            out += '/';
        out += path_[i];
    }
    return out;
}

std::string TFtpSession::FolderUrl(const std::vector<std::string>& segments, bool absolute) const
{
    std::string url = base_;
    if (absolute)
        url += "%2F/";
    for (const std::string& seg : segments)
        url += (seg == ".." ? std::string("%2E%2E") : EscapeSegment(seg)) + "/";
    return url;
}

bool TFtpSession::FileUrl(const std::string& remote, std::string& url) const
{
    const size_t slash = remote.rfind('/');
    const std::string name = slash == std::string::npos ? remote : remote.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || HasControlChar(remote))
        return false;
    std::vector<std::string> segs = path_;
    bool absolute = absolute_;
    if (slash != std::string::npos)
        Walk(segs, absolute, remote.substr(0, slash + 1));
    url = FolderUrl(segs, absolute) + EscapeSegment(name);
    return true;
}

void TFtpSession::Prepare()
{
    curl_->Reset();
    CURL* e = curl_->Easy();
    curl_->SetText(CURLOPT_USERNAME, config_.User);
    curl_->SetText(CURLOPT_PASSWORD, config_.Password);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
    if (config_.Passive) {
        curl_easy_setopt(e, CURLOPT_FTP_USE_EPSV, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_FTPPORT, "-");   // the address of the control connection
    }
    curl_easy_setopt(e, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_MULTICWD));
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kBufferSize);
    if (!binary_)
        curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, 1L);
}

bool TFtpSession::Run(const TTransferHooks& hooks)
{
    const CURLcode code = curl_->Perform(hooks);
    if (code == CURLE_OK) {
        error_.clear();
        return true;
    }
    error_ = curl_->Message(code);
    return false;
}

bool TFtpSession::Connect(const TConfig& config, const TTransferHooks& hooks)
{
    Disconnect();
    config_ = config;
    base_ = ServerUrl("ftp", config.Host, config.Port);
    path_.clear();
    absolute_ = false;
    if (config.Host.empty() || HasControlChar(config.Host) || HasControlChar(config.User) ||
        HasControlChar(config.Password)) {
        error_ = "ホスト名かユーザーIDかパスワードが正しくありません。";
        return false;
    }
    curl_ = std::make_unique<TCurlSession>();
    Prepare();
    curl_->SetText(CURLOPT_URL, base_);
    curl_easy_setopt(curl_->Easy(), CURLOPT_NOBODY, 1L);
    if (Run(hooks))
        return true;
    curl_.reset();
    return false;
}

void TFtpSession::Disconnect()
{
    curl_.reset();
}

bool TFtpSession::ChangeFolder(const std::string& folder, const TTransferHooks& hooks)
{
    if (HasControlChar(folder)) {
        error_.clear();
        return false;
    }
    std::vector<std::string> segs = path_;
    bool absolute = absolute_;
    Walk(segs, absolute, folder);
    Prepare();
    curl_->SetText(CURLOPT_URL, FolderUrl(segs, absolute));
    curl_easy_setopt(curl_->Easy(), CURLOPT_NOBODY, 1L);
    if (!Run(hooks))
        return false;
    path_ = std::move(segs);
    absolute_ = absolute;
    return true;
}

bool TFtpSession::ParentFolder(const TTransferHooks& hooks)
{
    return ChangeFolder("..", hooks);
}

bool TFtpSession::Command(const std::string& line, const TTransferHooks& hooks)
{
    if (HasControlChar(line)) {
        error_.clear();
        return false;
    }
    Prepare();
    curl_->SetText(CURLOPT_URL, FolderUrl(path_, absolute_));
    curl_easy_setopt(curl_->Easy(), CURLOPT_NOBODY, 1L);
    // Names go to the server in UTF-8, as in the addresses.
    const std::string utf8 = SjisToTextFile(line, TTextEncoding::Utf8, TLineEnd::CrLf);
    curl_slist* commands = curl_slist_append(nullptr, utf8.c_str());
    curl_easy_setopt(curl_->Easy(), CURLOPT_POSTQUOTE, commands);
    const bool ok = Run(hooks);
    curl_easy_setopt(curl_->Easy(), CURLOPT_POSTQUOTE, nullptr);
    curl_slist_free_all(commands);
    return ok;
}

bool TFtpSession::Store(const std::string& nativeLocal, const std::string& remote, const TTransferHooks& hooks)
{
    std::string url;
    if (!FileUrl(remote, url)) {
        error_.clear();
        return false;
    }
    struct stat info {};
    TUpload up;
    if (stat(nativeLocal.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !(up.File = fopen(nativeLocal.c_str(), "rbe"))) {
        error_.clear();
        return false;
    }
    Prepare();
    CURL* e = curl_->Easy();
    curl_->SetText(CURLOPT_URL, url);
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, &ReadUpload);
    curl_easy_setopt(e, CURLOPT_READDATA, &up);
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
    const bool ok = Run(hooks);
    fclose(up.File);
    return ok;
}

bool TFtpSession::Retrieve(const std::string& remote, TPartFile& part, const TTransferHooks& hooks)
{
    std::string url;
    if (!FileUrl(remote, url)) {
        error_.clear();
        return false;
    }
    Prepare();
    CURL* e = curl_->Easy();
    curl_->SetText(CURLOPT_URL, url);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &WritePart);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &part);
    return Run(hooks);
}

bool TFtpSession::Listing(const std::string& command, std::vector<std::string>& lines, const TTransferHooks& hooks)
{
    lines.clear();
    if (HasControlChar(command)) {
        error_.clear();
        return false;
    }
    std::string text;
    Prepare();
    CURL* e = curl_->Easy();
    curl_->SetText(CURLOPT_URL, FolderUrl(path_, absolute_));
    curl_->SetText(CURLOPT_CUSTOMREQUEST, SjisToTextFile(command, TTextEncoding::Utf8, TLineEnd::CrLf));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &WriteText);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &text);
    if (!Run(hooks))
        return false;
    lines = SplitLfLines(text);
    return true;
}
