// File-handle commands: a handle is a variable whose value is "\FILE_HANDLE" and
// whose payload is an open text-file stream with a 4096-byte line buffer. Sharing
// modes are enforced between the handles of this process by a table of open files
// and against other processes by flock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/strings/strings.h"
#include "core/codec.h"
#include "core/file_io.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

const char* const kHandleValue = "\\FILE_HANDLE";
constexpr int kBufferSize = 4096;

// Sharing values of the open mode; compatibility counts as exclusive.
enum : int { shCompat = 0, shExclusive = 16, shDenyWrite = 32, shDenyRead = 48, shDenyNone = 64 };

struct TTextFileStream {
    int Fd = -1;
    char Buffer[kBufferSize];
    int Cursor = -1;   // -1: no buffer (after a seek or a write)
    int End = -1;
    int64_t Logical = 0;
    int64_t Physical = 0;
    dev_t Dev = 0;
    ino_t Ino = 0;
    bool Reads = false, Writes = false;
    int Share = shExclusive;
    // What the file's text is: undecided while it holds only ASCII (lines that are
    // UTF-8 are then converted one by one, and writes take 保存文字コード), UTF-8
    // (every line converted, no Shift_JIS byte pairs) or Shift_JIS (bytes as they are).
    enum { Undecided, Utf8, Sjis } Text = Undecided;

    ~TTextFileStream()
    {
        if (Fd >= 0)
            close(Fd);
    }
    void DropBuffer() { Cursor = End = -1; }
    bool Empty() const { return Cursor < 0 || Cursor >= End; }
};

// Every stream opened by the handle commands; a closed handle leaves an empty slot.
struct THandleList {
    std::vector<std::unique_ptr<TTextFileStream>> Slots;

    bool Holds(const void* p) const
    {
        for (const auto& s : Slots)
            if (s.get() == p)
                return true;
        return false;
    }
};

bool ShareAllowsRead(int share)
{
    return share == shDenyWrite || share == shDenyNone;
}

bool ShareAllowsWrite(int share)
{
    return share == shDenyRead || share == shDenyNone;
}

bool Conflicts(const TTextFileStream& a, const TTextFileStream& b)
{
    return (b.Reads && !ShareAllowsRead(a.Share)) || (b.Writes && !ShareAllowsWrite(a.Share)) ||
           (a.Reads && !ShareAllowsRead(b.Share)) || (a.Writes && !ShareAllowsWrite(b.Share));
}

[[noreturn]] void IoError(TPoruBase& st, const std::string& name)
{
    st.Error("ファイル\"" + name + "\"の、読み込みか書き込みに、失敗しました。");
}

// Opens `file` into the handle variable `name`. access: 0 read, 1 write, 2 both.
void OpenHandle(TPoruBase& st, const std::string& name, const std::string& file, int access, int share, bool create,
                bool truncate)
{
    THashNode* var = st.Words.FindExact(name);
    if (!var) {
        var = THashNode::CreateVariable(name, "", static_cast<int32_t>(st.RunControl.Count()), false);
        st.Words.Add(var);
    }
    if (var->Reserved)
        st.Error("\"" + name + "\"は、読取専用です。");
    if (!SecurityGate(st, file, "ファイル\"" + file + "\"を操作しようとしています。よろしいですか？"))
        return;

    auto stream = std::make_unique<TTextFileStream>();
    stream->Reads = access != 1;
    stream->Writes = access != 0;
    stream->Share = share == shCompat ? shExclusive : share;
    int flags = (access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR) | O_CLOEXEC;
    if (create)
        flags |= O_CREAT;
    if (truncate)
        flags |= O_TRUNC;
    const std::string native = ToNativePath(file);

    // The sharing check comes before truncation can destroy anything.
    struct stat sb {};
    THandleList& list = st.Ext<THandleList>();
    if (stat(native.c_str(), &sb) == 0) {
        stream->Dev = sb.st_dev;
        stream->Ino = sb.st_ino;
        for (const auto& other : list.Slots)
            if (other && other->Dev == sb.st_dev && other->Ino == sb.st_ino && Conflicts(*other, *stream))
                IoError(st, file);
    }
    const int fd = open(native.c_str(), flags & ~O_TRUNC, 0666);
    if (fd < 0)
        IoError(st, file);
    stream->Fd = fd;
    if (flock(fd, (stream->Share == shExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
        IoError(st, file);   // another process holds it
    if (fstat(fd, &sb) == 0) {
        stream->Dev = sb.st_dev;
        stream->Ino = sb.st_ino;
    }
    if (truncate && ftruncate(fd, 0) != 0)
        IoError(st, file);
    const std::string head = ReadFileHead(native, 64 * 1024);
    if (IsUtf8Text(head, true))
        stream->Text = TTextFileStream::Utf8;
    else if (std::any_of(head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        stream->Text = TTextFileStream::Sjis;

    var->Value = kHandleValue;
    var->Payload = stream.get();
    for (auto& slot : list.Slots)
        if (!slot) {
            slot = std::move(stream);
            return;
        }
    list.Slots.push_back(std::move(stream));
}

// The handle's stream when `node` is a handle variable, else nil.
TTextFileStream* StreamOf(TPoruBase& st, THashNode* node)
{
    if (!node || node->Value != kHandleValue || !node->Payload || !st.Ext<THandleList>().Holds(node->Payload))
        return nullptr;
    return static_cast<TTextFileStream*>(node->Payload);
}

// A handle argument as written (a name, perhaps in backquotes).
std::string RawName(TPoruBase& st)
{
    std::string name = st.PopRaw();
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        name = name.substr(1, name.size() - 2);
    return name;
}

// For reading and writing lines: a missing handle is "ファイル"ハンドル:…"が、ありません。".
TTextFileStream& LineHandle(TPoruBase& st, const std::string& name)
{
    TTextFileStream* s = StreamOf(st, st.Words.FindExact(name));
    if (!s)
        st.Error("ファイル\"ハンドル:" + name + "\"が、ありません。");
    return *s;
}

[[noreturn]] void NotAHandle(TPoruBase& st, const std::string& name)
{
    st.Error("変数\"" + name + "\"が見つかりません。");
}

// For the binary commands and ハンドルを移動: an existing variable holding a handle.
// The name is taken as written, after every argument has been taken.
TTextFileStream& ExistingHandle(TPoruBase& st, const std::string& name)
{
    THashNode* node = st.Words.FindExact(name);
    if (!node)
        st.Error("オブジェクト\"" + name + "\"が特定できません。");
    TTextFileStream* s = StreamOf(st, node);
    if (!s)
        NotAHandle(st, name);
    return *s;
}

bool Refill(TTextFileStream& s)
{
    const off_t pos = lseek(s.Fd, 0, SEEK_CUR);
    ssize_t n;
    do
        n = read(s.Fd, s.Buffer, kBufferSize);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        s.Cursor = s.End = 0;
        return false;
    }
    s.Cursor = 0;
    s.End = static_cast<int>(n);
    s.Physical = static_cast<int64_t>(pos) + n;
    return true;
}

std::string ReadLine(TTextFileStream& s)
{
    const bool pairs = s.Text != TTextFileStream::Utf8;
    std::string line;
    for (;;) {
        if (s.Empty() && !Refill(s))
            break;
        const auto c = static_cast<unsigned char>(s.Buffer[s.Cursor++]);
        if (c == '\r') {
            if (s.Empty() && !Refill(s))
                break;
            if (s.Buffer[s.Cursor] == '\n')
                ++s.Cursor;
            break;
        }
        if (c == '\n' || c == 0)
            break;
        line += static_cast<char>(c);
        if (pairs && IsLeadByte(c)) {
            if (s.Empty() && !Refill(s))
                break;
            line += s.Buffer[s.Cursor++];
        }
    }
    const int unread = s.Cursor >= 0 && s.End >= s.Cursor ? s.End - s.Cursor : 0;
    s.Logical = s.Physical - unread;
    return line;
}

void SeekTo(TTextFileStream& s, off_t offset, int whence)
{
    const off_t pos = lseek(s.Fd, offset, whence);
    s.DropBuffer();
    if (pos >= 0)
        s.Logical = pos;
}

// ---- commands ----

// ハンドルを開く: read-write, exclusive, a missing file created empty.
void cmdOpen(TPoruBase& st)
{
    const std::string file = st.PopText();
    const std::string name = st.PopText();
    OpenHandle(st, name, file, 2, shExclusive, true, false);
}

// ハンドルを詳しく開く: access (0 read, 1 write, 2 both) plus sharing, or 65535.
void cmdOpenWithMode(TPoruBase& st)
{
    const long double modeValue = st.PopNumber();
    const std::string file = st.PopText();
    const std::string name = st.PopText();
    if (!(modeValue >= 0 && modeValue <= 65535))
        st.ArgError();
    const int mode = static_cast<int>(modeValue);
    if (mode == 65535) {
        OpenHandle(st, name, file, 2, shExclusive, true, true);
        return;
    }
    const int access = mode & 0x0F;
    const int share = mode & ~0x0F;
    if (access > 2 || (share != shCompat && share != shExclusive && share != shDenyWrite && share != shDenyRead &&
                       share != shDenyNone))
        st.ArgError();
    OpenHandle(st, name, file, access, share, false, false);
}

// ハンドルを一行読む
void cmdReadLine(TPoruBase& st)
{
    const std::string handle = RawName(st);
    THashNode* target = st.PopWord(true);
    TTextFileStream& s = LineHandle(st, handle);
    const bool atStart = s.Logical == 0;
    std::string line = ReadLine(s);
    if (s.Text == TTextFileStream::Utf8 || (s.Text == TTextFileStream::Undecided && IsUtf8Text(line)))
        line = Utf8TextToSjis(atStart && HasUtf8Bom(line) ? std::string_view(line).substr(3) : std::string_view(line));
    target->Value = std::move(line);
    target->TypeText = "s";
}

// ハンドルへ一行書く: at the line position, overwriting what follows.
void cmdWriteLine(TPoruBase& st)
{
    const std::string handle = RawName(st);
    const std::string text = st.PopText();
    TTextFileStream& s = LineHandle(st, handle);
    if (st.SecurityLevel >= 2)
        return;
    const TTextWriteMode mode = TextWriteMode(st);
    TTextEncoding encoding = s.Text == TTextFileStream::Utf8   ? TTextEncoding::Utf8
                             : s.Text == TTextFileStream::Sjis ? TTextEncoding::Sjis
                                                               : mode.Encoding;
    std::string data;
    struct stat sb {};
    if (encoding == TTextEncoding::Utf8Bom && s.Logical == 0 && fstat(s.Fd, &sb) == 0 && sb.st_size == 0)
        data = kUtf8Bom;
    data += TextForFile(st, text + "\r\n", encoding, mode.LineEnd, "ハンドル:" + handle);
    if (encoding != TTextEncoding::Sjis)
        s.Text = TTextFileStream::Utf8;
    lseek(s.Fd, static_cast<off_t>(s.Logical), SEEK_SET);
    s.DropBuffer();
    if (!WriteAll(s.Fd, data.data(), data.size()))
        IoError(st, "ハンドル:" + handle);
    s.Logical += static_cast<int64_t>(data.size());
}

// The handle a variable holds; nil when no variable has the name (the commands that
// call this ignore such a name), an error when the variable holds no handle.
TTextFileStream* ExistingHandle(TPoruBase& st, const std::string& name, THashNode*& node)
{
    node = st.Words.FindExact(name);
    if (!node)
        return nullptr;
    TTextFileStream* s = StreamOf(st, node);
    if (!s)
        NotAHandle(st, name);
    return s;
}

// ハンドルを閉じる: the stream is closed and the variable removed.
void cmdClose(TPoruBase& st)
{
    const std::string name = RawName(st);
    THashNode* node = nullptr;
    TTextFileStream* s = ExistingHandle(st, name, node);
    if (!s)
        return;
    for (auto& slot : st.Ext<THandleList>().Slots)
        if (slot.get() == s)
            slot.reset();
    node->Payload = nullptr;
    node->Value.clear();
    st.Words.Remove(name, false);
}

// ハンドル最後か
void cmdAtEnd(TPoruBase& st)
{
    const std::string name = RawName(st);
    TTextFileStream& s = LineHandle(st, name);
    struct stat sb {};
    fstat(s.Fd, &sb);
    bool end;
    if (s.Logical != 0)
        end = s.Logical >= static_cast<int64_t>(sb.st_size);
    else
        end = lseek(s.Fd, 0, SEEK_CUR) == sb.st_size;
    st.SetSoreNumber(end ? 1 : 0);
}

// ハンドルを先頭に移動, ハンドルを最後に移動: a name that is no variable is ignored.
void MoveToEdge(TPoruBase& st, int whence)
{
    THashNode* node = nullptr;
    if (TTextFileStream* s = ExistingHandle(st, RawName(st), node))
        SeekTo(*s, 0, whence);
}

void cmdToStart(TPoruBase& st)
{
    MoveToEdge(st, SEEK_SET);
}

void cmdToEnd(TPoruBase& st)
{
    MoveToEdge(st, SEEK_END);
}

// ハンドルを移動
void cmdSeek(TPoruBase& st)
{
    const long double offset = st.PopNumber();
    TTextFileStream& s = ExistingHandle(st, RawName(st));
    if (!(offset >= 0) || offset > 9.2e18L)
        st.ArgError();
    SeekTo(s, static_cast<off_t>(offset), SEEK_SET);
}

// ハンドルにバイナリを書く: the value padded with zero bytes (or cut) to count.
void cmdWriteBinary(TPoruBase& st)
{
    const long double count = st.PopNumber();
    const std::string name = RawName(st);
    std::string value = st.PopText();
    TTextFileStream& s = ExistingHandle(st, name);
    if (!(count >= 1))
        return;
    if (count > 0x7FFFFFFF)
        st.ArgError();
    if (count > static_cast<long double>(sjistext::kMaxTextBytes))
        st.Error(sjistext::kMsgTooLarge);
    value.resize(static_cast<size_t>(count), '\0');
    if (!WriteAll(s.Fd, value.data(), value.size()))
        IoError(st, "ハンドル:" + name);
}

// ハンドルにバイナリを読む: count bytes; past the end of the file the rest is zero.
void cmdReadBinary(TPoruBase& st)
{
    const long double count = st.PopNumber();
    const std::string name = RawName(st);
    THashNode* target = st.PopWord(true);
    TTextFileStream& s = ExistingHandle(st, name);
    if (!(count >= 1))
        return;
    if (count > 0x7FFFFFFF)
        st.ArgError();
    if (count > static_cast<long double>(sjistext::kMaxTextBytes))
        st.Error(sjistext::kMsgTooLarge);
    std::string data(static_cast<size_t>(count), '\0');
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = read(s.Fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    target->Value = std::move(data);
    target->TypeText = "s";
}

HandlerRegistrar reg({
    {Cmd::HandleOpen, cmdOpen},
    {Cmd::HandleOpenWithMode, cmdOpenWithMode},
    {Cmd::HandleReadLine, cmdReadLine},
    {Cmd::HandleWriteLine, cmdWriteLine},
    {Cmd::HandleClose, cmdClose},
    {Cmd::HandleAtEnd, cmdAtEnd},
    {Cmd::HandleToStart, cmdToStart},
    {Cmd::HandleToEnd, cmdToEnd},
    {Cmd::HandleSeek, cmdSeek},
    {Cmd::HandleWriteBinary, cmdWriteBinary},
    {Cmd::HandleReadBinary, cmdReadBinary},
});

}   // namespace

bool OpenInFileHandle(TPoruBase& st, const std::string& nativePath)
{
    struct stat sb {};
    if (lstat(nativePath.c_str(), &sb) != 0)
        return false;
    const THandleList& list = st.Ext<THandleList>();
    for (const auto& h : list.Slots) {
        if (!h)
            continue;
        if (h->Dev == sb.st_dev && h->Ino == sb.st_ino)
            return true;
        if (S_ISDIR(sb.st_mode)) {
            // a file below the folder: walk up from the open file's own path
            const std::string self = "/proc/self/fd/" + std::to_string(h->Fd);
            char buf[4096];
            const ssize_t n = readlink(self.c_str(), buf, sizeof buf - 1);
            if (n <= 0)
                continue;
            std::string path(buf, static_cast<size_t>(n));
            for (size_t cut = path.rfind('/'); cut != std::string::npos && cut > 0; cut = path.rfind('/')) {
                path.resize(cut);
                struct stat up {};
                if (stat(path.c_str(), &up) == 0 && up.st_dev == sb.st_dev && up.st_ino == sb.st_ino)
                    return true;
            }
        }
    }
    return false;
}
