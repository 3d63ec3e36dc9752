#include "services/ipc_names.h"

#include <QCryptographicHash>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/text.h"

namespace {

// A folder that is ours alone: an existing one must be a real folder (not a link) of
// this user; its mode is narrowed to 0700 when it is wider.
bool PrivateFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat sb {};
    if (::lstat(path.c_str(), &sb) != 0 || !S_ISDIR(sb.st_mode) || sb.st_uid != ::getuid())
        return false;
    if ((sb.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        return false;
    return true;
}

// An absolute folder named by an environment variable that exists and is this
// user's; "" otherwise.
std::string OwnFolderFromEnv(const char* name)
{
    const char* v = std::getenv(name);
    if (!v || v[0] != '/')
        return std::string();
    struct stat sb {};
    if (::stat(v, &sb) != 0 || !S_ISDIR(sb.st_mode))
        return std::string();
    std::string path(v);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool UsableRuntimeFolder(const std::string& path)
{
    struct stat sb {};
    return ::stat(path.c_str(), &sb) == 0 && sb.st_uid == ::getuid() && (sb.st_mode & 077) == 0;
}

std::string Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The longest socket name: "porukana-dde.h" and 32 digits.
constexpr size_t kLongestName = 14 + 32;

// A folder that leaves room for every socket name.
bool Fits(const std::string& folder)
{
    return folder.size() + 1 + kLongestName <= kMaxSocketPath;
}

}   // namespace

std::string ChannelFolder()
{
    const std::string runtime = OwnFolderFromEnv("XDG_RUNTIME_DIR");
    if (!runtime.empty() && UsableRuntimeFolder(runtime)) {
        const std::string folder = runtime + "/porukana";
        if (Fits(folder) && PrivateFolder(folder))
            return folder + "/";
    }
    // Not below TMPDIR: the folder outlives the run-time (other run-times may use
    // it at the same moment), and a run-time leaves nothing behind in its temporary
    // folder.
    const std::string fallback = "/tmp/porukana-" + std::to_string(::getuid());
    return PrivateFolder(fallback) ? fallback + "/" : std::string();
}

std::string ChannelSocketPath(const std::string& folder, std::string_view service, std::string_view topic)
{
    // ASCII letters in lower case; a two-byte character is kept whole.
    const std::string s = LowerAsciiSjis(service);
    const std::string t = LowerAsciiSjis(topic);
    std::string path = folder + "porukana-dde." + Hex(s) + "." + Hex(t);
    if (path.size() <= kMaxSocketPath)
        return path;
    QByteArray both(s.data(), static_cast<qsizetype>(s.size()));
    both.append('\0');
    both.append(t.data(), static_cast<qsizetype>(t.size()));
    const QByteArray digest = QCryptographicHash::hash(both, QCryptographicHash::Sha256);
    return folder + "porukana-dde.h" + Hex(std::string_view(digest.constData(), 16));
}

std::string EncodeFrame(std::string_view text)
{
    const uint32_t n = static_cast<uint32_t>(text.size());
    std::string out;
    out.reserve(text.size() + 4);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((n >> (8 * i)) & 0xFF);
    out.append(text);
    return out;
}

TFrameRead TakeFrame(std::string& buffer, std::string& text)
{
    if (buffer.size() < 4)
        return TFrameRead::Incomplete;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<uint32_t>(static_cast<unsigned char>(buffer[static_cast<size_t>(i)])) << (8 * i);
    if (n > kMaxFrameBytes)
        return TFrameRead::TooLong;
    if (buffer.size() - 4 < n)
        return TFrameRead::Incomplete;
    text.assign(buffer, 4, n);
    buffer.erase(0, 4 + static_cast<size_t>(n));
    return TFrameRead::Complete;
}
