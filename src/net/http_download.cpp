// HTTPダウンロード: one URL into one local file.
//
// The body goes to a temporary file beside the destination, which takes the
// destination's name only when the whole body arrived with a successful status;
// an HTTP status of 400 or above, a broken connection or a stop leave the old file
// (or no file) as it was. Proxies come from http_proxy / https_proxy / no_proxy,
// certificates from the system's store; redirects are followed to http and https
// only.
#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "net/transfer.h"

namespace {

constexpr long kMaxRedirects = 20;
constexpr long kBufferSize = 512 * 1024;

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

// Downloads url into the native file; true when it arrived whole.
bool Download(TCurlSession& curl, const std::string& url, const std::string& nativeFile, TProgressWindow& progress,
              long limitMs)
{
    TPartFile part;
    if (!part.Create(nativeFile))
        return false;
    CURL* e = curl.Easy();
    curl.SetText(CURLOPT_URL, url);
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
    if (curl.Perform(progress.Hooks()) != CURLE_OK)
        return false;
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400)
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
    {
        TProgressWindow progress(st, "\"" + url + "\" よりHTTPデータ取得中", true);
        TCurlSession curl;
        ok = !url.empty() && !HasControlChar(url) &&
             Download(curl, url, ToNativePath(file), progress, DownloadLimitMs(st));
    }
    if (!ok)
        st.Error("\"" + url + "\"からのダウンロードに失敗");
}

HandlerRegistrar reg({{Cmd::HttpDownload, cmdHttpDownload}});

}   // namespace
