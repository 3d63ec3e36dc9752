// Where the local request channels live and what travels on them.
//
// Every server is a Unix-domain socket in one private folder of the user:
// "$XDG_RUNTIME_DIR/porukana/", or "/tmp/porukana-UID/" when there is no usable
// runtime folder or its path leaves no room for the names below. The folder is
// created with mode 0700 and refused when it is a link or belongs to someone else,
// so no other user can reach a server. The socket of (service, topic) is "porukana-dde.<hex>.<hex>": the names'
// Shift_JIS bytes in hexadecimal, ASCII letters in lower case first (service and
// topic names ignore case). When that path would not fit a socket address (107
// bytes), the name is "porukana-dde.h" followed by 32 hexadecimal digits of a
// SHA-256 of both names.
//
// A request is a frame: its length as 4 bytes, least significant first, then the
// text. The server answers every whole frame with one byte, 0x06 when it took the
// request, 0x15 when it refused it (longer than kMaxFrameBytes; the connection then
// ends). A connection may carry any number of frames.
#pragma once
#include <sys/un.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "interp/channel_service.h"

constexpr char kFrameAck = 0x06;
constexpr char kFrameRefused = 0x15;
constexpr uint32_t kMaxFrameBytes = 16u << 20;
// The longest path a socket address holds.
constexpr size_t kMaxSocketPath = 107;

// The channel folder (ending in "/"), created when missing; "" when there is no
// private folder to be had.
std::string ChannelFolder();
// The socket path of (service, topic) inside `folder` (services/ipc_qt.cpp: the
// long names need its hash).
std::string ChannelSocketPath(const std::string& folder, std::string_view service, std::string_view topic);
// The path with the names in hexadecimal; "" when it would not fit a socket address.
std::string HexChannelSocketPath(const std::string& folder, std::string_view service, std::string_view topic);
// The bytes as lower-case hexadecimal digits, two a byte.
std::string HexDigits(std::string_view bytes);

// An exclusive lock on the channel folder while a name is taken or given up: a
// socket file is removed only after connecting to it failed, and a server that ends
// removes its file before another can take the name.
class TChannelFolderLock {
public:
    explicit TChannelFolderLock(const std::string& folder);
    ~TChannelFolderLock();
    TChannelFolderLock(const TChannelFolderLock&) = delete;
    TChannelFolderLock& operator=(const TChannelFolderLock&) = delete;

private:
    int fd_;
};

// The socket address of the file at path; false when the path does not fit one.
bool ChannelAddress(const std::string& path, sockaddr_un& addr);
// True when a server answers on the socket file at path.
bool ChannelNameServed(const std::string& path);
// True when the peer of the connected socket fd runs as this user.
bool PeerIsThisUser(int fd);

// Connects to the server at path, sends `text` as one frame and waits for its
// acknowledgement; each step waits at most timeoutMs.
TChannelSend SendOnChannel(const std::string& path, std::string_view text, int timeoutMs);

std::string EncodeFrame(std::string_view text);

enum class TFrameRead { Incomplete, Complete, TooLong };
// Takes the first whole frame off the front of `buffer` into `text`.
TFrameRead TakeFrame(std::string& buffer, std::string& text);
