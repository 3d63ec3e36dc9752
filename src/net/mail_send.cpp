// メール送信: one mail built from the mail variables, sent by SMTP (port 25 unless
// メールホスト names another, no authentication).
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "net/mime_compose.h"
#include "net/transfer.h"

namespace {

const char kMailer[] = "日本語プログラム言語「ぽるかな」";

[[noreturn]] void SendError(TPoruBase& st, const std::string& reason)
{
    st.Error("メールの送信エラー。" + reason);
}

std::vector<std::string> TrimmedLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(from, end - from));
        if (!line.empty())
            lines.push_back(std::move(line));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        from = end + 1;
    }
    return lines;
}

std::string JoinComma(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "" : ",") + l;
    return out;
}

bool ReadFile(const std::string& native, std::string& out)
{
    std::ifstream in(native, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string LocalHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0])
        return "localhost";
    return name;
}

// A text that is different for every mail of this process.
std::string UniqueToken()
{
    static unsigned counter = 0;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "." +
           std::to_string(getpid()) + "." + std::to_string(++counter);
}

struct TUploadText {
    const std::string* Text;
    size_t Offset = 0;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* data)
{
    auto* u = static_cast<TUploadText*>(data);
    const size_t n = std::min(size * count, u->Text->size() - u->Offset);
    std::copy_n(u->Text->data() + u->Offset, n, buffer);
    u->Offset += n;
    return n;
}

// The mail of the mail variables; a missing attachment or an unreadable file raises.
TMailDraft BuildDraft(TPoruBase& st)
{
    TMailDraft d;
    d.Mailer = kMailer;
    d.Subject = NetVariable(st, "メールタイトル");
    d.To = NetVariable(st, "メール送信先");
    d.FromAddress = Trim(NetVariable(st, "メール送信元"));
    d.FromName = NetVariable(st, "メール送信者名");
    d.Bcc = {JoinComma(TrimmedLines(NetVariable(st, "メールBCC")))};
    d.Cc = {JoinComma(TrimmedLines(NetVariable(st, "メールCC")))};
    d.Body = NetVariable(st, "メール本文");
    for (const std::string& line : TrimmedLines(NetVariable(st, "メール添付ファイル"))) {
        const std::string path = ResolveReadPath(st, line);
        const std::string native = ToNativePath(path);
        if (FileAttributes(native) < 0 || (FileAttributes(native) & 16))
            SendError(st, "添付ファイル\"" + path + "\"がありません。");
        TMailAttachment a;
        a.Name = PathNamePart(path);
        if (!ReadFile(native, a.Data))
            st.Error("メールのデコードに失敗");
        d.Attachments.push_back(std::move(a));
    }
    d.Date = MailDate(time(nullptr));
    const std::string token = UniqueToken();
    d.MessageId = "<" + token + "@" + LocalHostName() + ">";
    d.Boundary = "----=_NextPart_" + token;
    return d;
}

// メール送信: the checks, the message, then one SMTP session.
void cmdSendMail(TPoruBase& st)
{
    TNetBusyGuard busy(st);
    const std::string hostText = NetVariable(st, "メールホスト");
    if (hostText.empty())
        SendError(st, "ホスト名が未設定です。");
    if (NetVariable(st, "メール送信先").empty())
        SendError(st, "送信先が未設定です。");
    if (NetVariable(st, "メール本文").empty())
        SendError(st, "本文が未設定です。");

    const TMailDraft draft = BuildDraft(st);
    std::string message;
    std::vector<std::string> recipients;
    try {
        message = ComposeMail(draft);
        recipients = EnvelopeRecipients(draft);
    } catch (const std::exception&) {
        st.Error("メールのデコードに失敗");
    }

    std::string host;
    int port = 25;
    const bool hostOk = SplitHostPort(hostText, host, port, 25) && !host.empty() && !HasControlChar(host);
    bool connected = false;
    CURLcode code = CURLE_OK;
    std::string reason;
    {
        TProgressWindow progress(st, "サーバーに接続中", true);
        if (hostOk) {
            TCurlSession curl;
            CURL* e = curl.Easy();
            curl.SetText(CURLOPT_URL, ServerUrl("smtp", host, port) + EscapeSegment(LocalHostName()));
            curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "smtp");
            curl.SetText(CURLOPT_MAIL_FROM, "<" + AddressSpec(draft.FromAddress) + ">");
            curl_slist* rcpt = nullptr;
            for (const std::string& r : recipients)
                rcpt = curl_slist_append(rcpt, ("<" + r + ">").c_str());
            curl_easy_setopt(e, CURLOPT_MAIL_RCPT, rcpt);
            TUploadText upload{&message};
            curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(e, CURLOPT_READFUNCTION, &ReadMessage);
            curl_easy_setopt(e, CURLOPT_READDATA, &upload);
            curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
            TTransferHooks hooks = progress.Hooks();
            hooks.Response = [&](const std::string&) {
                if (!connected)
                    progress.Message("メール送信");
                connected = true;
            };
            code = curl.Perform(hooks);
            curl_slist_free_all(rcpt);
            if (code == CURLE_OK) {
                progress.Position(100, 100);
                progress.Message("完了(^v^)Y");
                NetPause(st, 100);
            } else {
                reason = curl.Message(code);
            }
        }
    }
    if (!hostOk || (code != CURLE_OK && !connected))
        st.Error("接続に失敗");
    if (code != CURLE_OK)
        st.Error("送信に失敗。" + reason);
}

HandlerRegistrar reg({{Cmd::SendMail, cmdSendMail}});

}   // namespace
