// HTTPダウンロード: one URL into one local file.
//
// The body goes to a temporary file beside the destination, which takes the
// destination's name only when the whole body arrived with a successful status;
// an HTTP status of 400 or above, a broken connection or a stop leave the old file
// (or no file) as it was. Proxies come from http_proxy / https_proxy / no_proxy,
// certificates from the system's store; redirects are followed to http and https
// only. A failure caused by the server's answer names its status ("404 Not Found").
#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "net/transfer.h"

namespace {

constexpr long kMaxRedirects = 20;
constexpr long kBufferSize = 512 * 1024;

// The address as sent: non-ASCII characters percent-encoded as UTF-8 (what servers
// expect), everything else as written.
std::string RequestUrl(const std::string& sjisUrl)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : SjisToTextFile(sjisUrl, TTextEncoding::Utf8, TLineEnd::CrLf)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

// "404 Not Found": the status and its usual reason phrase (the server's own text
// differs from server to server, and HTTP/2 sends none); a status outside the
// table is given as its number.
std::string StatusText(long status)
{
    static const std::pair<long, const char*> kReasons[] = {
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {412, "Precondition Failed"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {416, "Range Not Satisfiable"},
        {429, "Too Many Requests"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"},
    };
    std::string text = std::to_string(status);
    for (const auto& [code, reason] : kReasons)
        if (code == status)
            return text + " " + reason;
    return text;
}

size_t WriteBody(char* data, size_t size, size_t count, void* part)
{
    const size_t n = size * count;
    return static_cast<TPartFile*>(part)->Write(data, n) ? n : 0;
}

// The overall limit of one download in milliseconds (0: none) from HTTPタイムアウト
// (seconds): a server that sends slowly but never stops must not hold the program
// for ever, and the low-speed guard alone lets a trickle through.
long DownloadLimitMs(TPoruBase& st)
{
    const double seconds = ToNumber(NetVariable(st, "HTTPタイムアウト"));
    if (!(seconds > 0))
        return 0;
    return seconds >= 2e6 ? 2000000000L : static_cast<long>(seconds * 1000);
}

// Downloads url into the native file; true when it arrived whole. `status` is the
// HTTP status of a response that refused (400 and above), else 0.
bool Download(TCurlSession& curl, const std::string& url, const std::string& nativeFile, TProgressWindow& progress,
              long limitMs, long& status)
{
    status = 0;
    TPartFile part;
    if (!part.Create(nativeFile))
        return false;
    CURL* e = curl.Easy();
    curl.SetText(CURLOPT_URL, RequestUrl(url));
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "HTTP");
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kBufferSize);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &part);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, limitMs);
    const CURLcode code = curl.Perform(progress.Hooks());
    long response = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &response);
    if (response >= 400)
        status = response;
    if (code != CURLE_OK || status != 0)
        return false;
    return part.Commit(true);
}

// HTTPダウンロード (URL を, file へ): the file is written through the security gate
// like 書く; a failure leaves no partial file.
void cmdHttpDownload(TPoruBase& st)
{
    const std::string file = st.PopText();
    const std::string url = st.PopText();
    TNetBusyGuard busy(st);
    if (!SecurityGate(st, file, "\"" + file + "\"へ書き込みます。"))
        return;
    bool ok = false;
    long status = 0;
    {
        TProgressWindow progress(st, "\"" + url + "\" よりHTTPデータ取得中", true);
        TCurlSession curl;
        ok = !url.empty() && !HasControlChar(url) &&
             Download(curl, url, ToNativePath(file), progress, DownloadLimitMs(st), status);
    }
    if (!ok)
        st.Error("\"" + url + "\"からのダウンロードに失敗" + (status ? "。" + StatusText(status) : std::string()));
}

HandlerRegistrar reg({{Cmd::HttpDownload, cmdHttpDownload}});

}   // namespace
