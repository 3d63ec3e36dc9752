// メール受信: every waiting mail of the POP3 server into a folder, as N.txt (the
// readable text) and N.eml (the message as it came), with the attachments beside
// them. Mails are deleted on the server (when メールサーバーから削除 is not 0) only
// after every one of them was saved: a receive that fails part-way leaves the
// server's mailbox as it was.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <filesystem>

#include "commands/files/security.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "net/mail_files.h"
#include "net/mime_parse.h"
#include "net/transfer.h"

namespace {

[[noreturn]] void ReceiveError(TPoruBase& st, const std::string& reason)
{
    st.Error("メールの受信エラー。" + reason);
}

size_t AppendText(char* data, size_t size, size_t count, void* text)
{
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

// The most a retrieved mail may hold: what LIST announced with room for a server
// that counts differently, and never more than kMaxMailBytes. A server that goes on
// sending past it is cut off instead of filling the memory.
constexpr int64_t kMaxMailBytes = int64_t(512) << 20;
constexpr int64_t kMailSlackBytes = int64_t(1) << 20;

struct TCappedText {
    std::string* Text;
    size_t Limit;
};

size_t AppendCapped(char* data, size_t size, size_t count, void* sink)
{
    auto* c = static_cast<TCappedText*>(sink);
    const size_t n = size * count;
    if (c->Text->size() + n > c->Limit)
        return 0;   // the transfer stops with a write error
    c->Text->append(data, n);
    return n;
}

size_t MailLimit(int64_t listed)
{
    if (listed <= 0 || listed > kMaxMailBytes)
        return static_cast<size_t>(kMaxMailBytes);
    return static_cast<size_t>(std::min(kMaxMailBytes, listed * 2 + kMailSlackBytes));
}

// The sizes of the waiting mails from a LIST answer ("1 1234" per line).
std::vector<int64_t> MailSizes(const std::string& list)
{
    std::vector<int64_t> sizes;
    for (const std::string& raw : SplitLfLines(list)) {
        const std::string line = Trim(raw);
        const size_t space = line.find(' ');
        if (line.empty() || line[0] < '0' || line[0] > '9')
            continue;
        sizes.push_back(space == std::string::npos ? 0 : std::atoll(line.c_str() + space + 1));
    }
    return sizes;
}

class TPop3 {
public:
    TPop3(const std::string& host, int port, const std::string& user, const std::string& password)
        : base_(ServerUrl("pop3", host, port)), user_(user), password_(password)
    {
    }

    // LIST (connecting and logging in first); the sizes of the mails.
    bool List(std::vector<int64_t>& sizes, const TTransferHooks& hooks)
    {
        std::string text;
        Prepare(base_, &text);
        if (!Run(hooks))
            return false;
        sizes = MailSizes(text);
        return true;
    }
    bool Retrieve(size_t number, int64_t listed, std::string& raw, const TTransferHooks& hooks)
    {
        raw.clear();
        TCappedText sink{&raw, MailLimit(listed)};
        Prepare(base_ + std::to_string(number), nullptr);
        curl_easy_setopt(curl_.Easy(), CURLOPT_WRITEFUNCTION, &AppendCapped);
        curl_easy_setopt(curl_.Easy(), CURLOPT_WRITEDATA, &sink);
        return Run(hooks);
    }
    bool Delete(size_t number, const TTransferHooks& hooks)
    {
        Prepare(base_ + std::to_string(number), nullptr);
        curl_easy_setopt(curl_.Easy(), CURLOPT_CUSTOMREQUEST, "DELE");
        curl_easy_setopt(curl_.Easy(), CURLOPT_NOBODY, 1L);
        return Run(hooks);
    }
    const std::string& Error() const { return error_; }

private:
    void Prepare(const std::string& url, std::string* body)
    {
        curl_.Reset();
        CURL* e = curl_.Easy();
        curl_.SetText(CURLOPT_URL, url);
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "pop3");
        curl_.SetText(CURLOPT_USERNAME, user_);
        curl_.SetText(CURLOPT_PASSWORD, password_);
        if (body) {
            curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &AppendText);
            curl_easy_setopt(e, CURLOPT_WRITEDATA, body);
        }
    }
    bool Run(const TTransferHooks& hooks)
    {
        const CURLcode code = curl_.Perform(hooks);
        if (code == CURLE_OK)
            return true;
        error_ = curl_.Message(code);
        return false;
    }

    TCurlSession curl_;   // one session: destroyed at the end, it says QUIT
    std::string base_, user_, password_;
    std::string error_;
};

// The folder of the command as a native path ending in "/": relative folders are
// taken from the program's start folder.
std::string MailFolder(TPoruBase& st, const std::string& folder)
{
    std::string f = folder;
    if (f.empty() || (f.back() != '\\' && f.back() != '/'))
        f += "/";
    std::string native = ToNativePath(f);
    if (native.empty() || native[0] != '/')
        native = ToNativePath(st.StartFolder.empty() ? std::string("./") : st.StartFolder) + native;
    if (native.back() != '/')
        native += '/';
    return native;
}

struct TFolderFd {
    int Fd = -1;
    ~TFolderFd()
    {
        if (Fd >= 0)
            close(Fd);
    }
};

// Saves one mail: its attachments, then N.txt and N.eml. Returns N, or raises.
int SaveMail(TPoruBase& st, int folderFd, const std::string& raw, int fromNumber)
{
    const TParsedMail mail = ParseMail(raw);
    std::string lines;
    for (const TReceivedAttachment& a : mail.Attachments) {
        const std::string name = AttachmentFileName(a.Name);
        // A name the file system refuses (too long, not valid there, taken under
        // every prefix) must not stop this mail and every later one: the attachment
        // is saved under the neutral name instead. Only a folder that takes no file
        // at all is an error.
        std::string shown = name;
        bool saved = !SaveAttachment(folderFd, name, a.Data).empty();
        if (!saved &&
            (errno == ENAMETOOLONG || errno == EINVAL || errno == EILSEQ || errno == ENOENT || errno == EEXIST)) {
            shown = "添付ファイル";
            saved = !SaveAttachment(folderFd, shown, a.Data).empty();
        }
        if (!saved)
            ReceiveError(st, "メールの受信に失敗しました。添付ファイル\"" + name + "\"を保存できません。");
        lines += "添付ファイル:" + shown + "\r\n";
    }
    const int n = SaveNumberedMail(folderFd, fromNumber, MailText(mail, lines), raw);
    if (n == 0)
        ReceiveError(st, "メールの受信に失敗しました。メールのファイルを保存できません。");
    return n;
}

// メール受信 (folder へ).
void cmdReceiveMail(TPoruBase& st)
{
    const std::string folder = st.PopText();
    TNetBusyGuard busy(st);
    const std::string native = MailFolder(st, folder);
    if (!SecurityGate(st, FromNativePath(native), "\"" + folder + "\"へメールを保存します。"))
        return;
    std::error_code ec;
    std::filesystem::create_directories(native, ec);
    TFolderFd dir;
    dir.Fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.Fd < 0)
        ReceiveError(st, "メール受信用フォルダが作成できません。");

    const std::string hostText = NetVariable(st, "メールホスト");
    const std::string user = NetVariable(st, "メールID");
    const std::string password = NetVariable(st, "メールパスワード");
    if (hostText.empty())
        ReceiveError(st, "ホスト名が未設定です。");
    if (user.empty())
        ReceiveError(st, "ユーザーＩＤが未設定です。");
    if (password.empty())
        ReceiveError(st, "パスワードが未設定です。");
    std::string host;
    int port = 110;
    if (!SplitHostPort(hostText, host, port, 110) || host.empty() || HasControlChar(host))
        ReceiveError(st, "ホスト名が正しくありません。");
    const bool deleteOnServer = ToNumber(NetVariable(st, "メールサーバーから削除")) != 0;

    TProgressWindow progress(st, "メールの受信：ホストに接続中", true);
    progress.Position(0, 100);
    TPop3 pop(host, port, user, password);
    TTransferHooks hooks = progress.Hooks();
    std::vector<int64_t> sizes;
    if (!pop.List(sizes, hooks))
        ReceiveError(st, pop.Error());
    const size_t count = sizes.size();
    progress.Message("メールの受信：" + std::to_string(count) + " 通のメール");
    NetPause(st, 10);

    int number = 1;
    for (size_t i = 1; i <= count; ++i) {
        progress.Position(0, 100);
        progress.Message(std::to_string(i) + "/" + std::to_string(count) + "番目のメールを受信中");
        TTransferHooks retrieve = hooks;
        const int64_t size = sizes[i - 1];
        retrieve.Progress = [&progress, size](int64_t done, int64_t total) {
            progress.Position(done, total > 0 ? total : size);
        };
        std::string raw;
        if (!pop.Retrieve(i, size, raw, retrieve))
            ReceiveError(st, std::to_string(i) + "番のメール受信に失敗しました。");
        number = SaveMail(st, dir.Fd, raw, number) + 1;
        progress.Position(100, 100);
        NetPause(st, 10);
    }
    // Every mail is saved: only now are they marked, and the server deletes them
    // when the session ends.
    if (deleteOnServer) {
        for (size_t i = 1; i <= count; ++i)
            if (!pop.Delete(i, hooks))
                ReceiveError(st, "メールの受信に失敗しました。" + pop.Error());
    }
}

HandlerRegistrar reg({{Cmd::ReceiveMail, cmdReceiveMail}});

}   // namespace
