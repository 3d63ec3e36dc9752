#include "services/ipc_names.h"

#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
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

}   // namespace

std::string HexDigits(std::string_view bytes)
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

namespace {

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

std::string HexChannelSocketPath(const std::string& folder, std::string_view service, std::string_view topic)
{
    // ASCII letters in lower case; a two-byte character is kept whole.
    std::string path =
        folder + "porukana-dde." + HexDigits(LowerAsciiSjis(service)) + "." + HexDigits(LowerAsciiSjis(topic));
    return path.size() <= kMaxSocketPath ? path : std::string();
}

TChannelFolderLock::TChannelFolderLock(const std::string& folder)
    : fd_(::open((folder + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX);
}

TChannelFolderLock::~TChannelFolderLock()
{
    if (fd_ >= 0)
        ::close(fd_);   // releases the lock
}

bool ChannelAddress(const std::string& path, sockaddr_un& addr)
{
    addr = sockaddr_un{};
    if (path.size() >= sizeof addr.sun_path)
        return false;
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, path.size());
    return true;
}

bool PeerIsThisUser(int fd)
{
    struct ucred cred {};
    socklen_t len = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::getuid();
}

namespace {

// A client socket (close-on-exec, not blocking) and the address of the server at
// path; -1 when the path fits no address or there is no socket to be had.
int ClientSocket(const std::string& path, sockaddr_un& addr)
{
    if (!ChannelAddress(path, addr))
        return -1;
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

}   // namespace

bool ChannelNameServed(const std::string& path)
{
    sockaddr_un addr;
    const int fd = ClientSocket(path, addr);
    if (fd < 0)
        return false;
    // Without waiting: a live server accepts at once or has its queue full (EAGAIN);
    // a file left behind refuses.
    const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    const bool live = r == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return live;
}

namespace {

// Waits at most ms for fd to be ready for `events`.
bool Ready(int fd, short events, int ms)
{
    pollfd p{fd, events, 0};
    int r;
    while ((r = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
    }
    return r > 0 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

}   // namespace

TChannelSend SendOnChannel(const std::string& path, std::string_view text, int timeoutMs)
{
    sockaddr_un addr;
    const int fd = ClientSocket(path, addr);
    if (fd < 0)
        return TChannelSend::NoServer;
    // A server whose queue is full makes the connection wait: asked again until the
    // time is up.
    int connected;
    for (int waited = 0;; waited += 10) {
        connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        if (connected == 0 || errno != EAGAIN || waited >= timeoutMs)
            break;
        ::usleep(10000);
    }
    if (connected != 0) {
        ::close(fd);
        return TChannelSend::NoServer;
    }
    const std::string frame = EncodeFrame(text);
    size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN && Ready(fd, POLLOUT, timeoutMs))
            continue;
        else
            break;
    }
    char answer = 0;
    const bool acknowledged =
        sent == frame.size() && Ready(fd, POLLIN, timeoutMs) && ::recv(fd, &answer, 1, 0) == 1 && answer == kFrameAck;
    ::close(fd);
    return acknowledged ? TChannelSend::Sent : TChannelSend::Failed;
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
