// Writing and unpacking the run-time bundle of a stand-alone program.
#include "bundle/bundle_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/file_io.h"

namespace {

constexpr char kMagic[5] = {'P', 'R', 'K', 'B', 0x01};
constexpr size_t kChunk = 1 << 16;

void PutLe(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint64_t GetLe(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The inflated bytes of the bundle, read in order.
class TInflater {
public:
    TInflater(int fd, uint64_t offset, uint64_t size) : fd_(fd), pos_(offset), left_(size)
    {
        ok_ = inflateInit(&z_) == Z_OK;
    }
    ~TInflater() { inflateEnd(&z_); }
    // Exactly n bytes; false at a premature end or a damaged stream.
    bool Read(void* data, size_t n)
    {
        z_.next_out = static_cast<Bytef*>(data);
        z_.avail_out = static_cast<uInt>(n);
        while (ok_ && z_.avail_out > 0) {
            if (z_.avail_in == 0) {
                if (left_ == 0)
                    return false;
                const size_t want = left_ < in_.size() ? static_cast<size_t>(left_) : in_.size();
                const ssize_t got = pread(fd_, in_.data(), want, static_cast<off_t>(pos_));
                if (got <= 0)
                    return false;
                pos_ += static_cast<uint64_t>(got);
                left_ -= static_cast<uint64_t>(got);
                z_.next_in = in_.data();
                z_.avail_in = static_cast<uInt>(got);
            }
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END)
                return z_.avail_out == 0;
            if (r != Z_OK)
                ok_ = false;
        }
        return ok_;
    }

private:
    int fd_;
    uint64_t pos_, left_;
    z_stream z_{};
    bool ok_ = false;
    std::vector<unsigned char> in_ = std::vector<unsigned char>(kChunk);
};

// Makes the folders of `name` below `dir`.
bool MakeParents(const std::string& dir, const std::string& name)
{
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        const std::string folder = dir + name.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        struct stat sb {};
        if (lstat(folder.c_str(), &sb) != 0 || !S_ISDIR(sb.st_mode))
            return false;
    }
    return true;
}

}   // namespace

bool IsSafeBundleName(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.back() == '/' || name.size() > 4000)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return name.find('\0') == std::string::npos;
}

TBundleWriter::~TBundleWriter()
{
    if (open_)
        deflateEnd(&z_);
    if (out_)
        std::fclose(out_);
}

bool TBundleWriter::Open(const std::string& path)
{
    out_ = std::fopen(path.c_str(), "wb");
    if (!out_) {
        error_ = "「" + path + "」を作れません。";
        return false;
    }
    if (deflateInit(&z_, 6) != Z_OK) {
        error_ = "圧縮を始められません。";
        return false;
    }
    open_ = true;
    return Put(kMagic, sizeof kMagic);
}

bool TBundleWriter::Put(const void* data, size_t n, int flush)
{
    if (!open_)
        return false;
    unsigned char buf[kChunk];
    z_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    z_.avail_in = static_cast<uInt>(n);
    do {
        z_.next_out = buf;
        z_.avail_out = sizeof buf;
        if (deflate(&z_, flush) == Z_STREAM_ERROR) {
            error_ = "圧縮に失敗しました。";
            return false;
        }
        const size_t have = sizeof buf - z_.avail_out;
        if (have && std::fwrite(buf, 1, have, out_) != have) {
            error_ = "書き込みに失敗しました。";
            return false;
        }
    } while (z_.avail_out == 0);
    return true;
}

bool TBundleWriter::Add(const std::string& name, const std::string& source, uint32_t mode)
{
    if (!IsSafeBundleName(name)) {
        error_ = "名前「" + name + "」は使えません。";
        return false;
    }
    std::FILE* in = std::fopen(source.c_str(), "rb");
    struct stat sb {};
    if (!in || fstat(fileno(in), &sb) != 0 || !S_ISREG(sb.st_mode)) {
        if (in)
            std::fclose(in);
        error_ = "「" + source + "」が読めません。";
        return false;
    }
    std::string head;
    PutLe(head, name.size(), 2);
    head += name;
    PutLe(head, mode, 4);
    PutLe(head, static_cast<uint64_t>(sb.st_size), 8);
    bool ok = Put(head.data(), head.size());
    std::vector<char> buf(kChunk);
    uint64_t copied = 0;
    while (ok) {
        const size_t n = std::fread(buf.data(), 1, buf.size(), in);
        if (n == 0)
            break;
        copied += n;
        ok = Put(buf.data(), n);
    }
    std::fclose(in);
    if (ok && copied != static_cast<uint64_t>(sb.st_size)) {
        error_ = "「" + source + "」が読んでいる間に変わりました。";
        ok = false;
    }
    return ok;
}

bool TBundleWriter::Finish()
{
    const char end[2] = {0, 0};
    bool ok = Put(end, 2, Z_FINISH);
    deflateEnd(&z_);
    open_ = false;
    if (std::fclose(out_) != 0 && ok) {
        error_ = "書き込みに失敗しました。";
        ok = false;
    }
    out_ = nullptr;
    return ok;
}

bool ExtractBundle(const std::string& file, uint64_t offset, uint64_t size, const std::string& dir, std::string& error,
                   const volatile int* stop)
{
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "「" + file + "」が読めません。";
        return false;
    }
    bool ok = false;
    {
        TInflater in(fd, offset, size);
        char magic[sizeof kMagic];
        if (!in.Read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
            error = "実行環境のデータが壊れています。";
        } else {
            std::vector<char> buf(kChunk);
            for (;;) {
                if (stop && *stop) {
                    error = "中断しました。";
                    break;
                }
                unsigned char len[2];
                if (!in.Read(len, 2)) {
                    error = "実行環境のデータが途中で終わっています。";
                    break;
                }
                const size_t nameLen = static_cast<size_t>(GetLe(len, 2));
                if (nameLen == 0) {
                    ok = true;
                    break;
                }
                std::string name(nameLen, '\0');
                unsigned char meta[12];
                if (!in.Read(name.data(), nameLen) || !in.Read(meta, sizeof meta)) {
                    error = "実行環境のデータが途中で終わっています。";
                    break;
                }
                if (!IsSafeBundleName(name)) {
                    error = "実行環境のデータに不正な名前があります。";
                    break;
                }
                const mode_t mode = static_cast<mode_t>(GetLe(meta, 4) & 0755);
                uint64_t left = GetLe(meta + 4, 8);
                const std::string path = dir + name;
                int out = -1;
                if (MakeParents(dir, name))
                    out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode | 0200);
                if (out < 0) {
                    error = "「" + path + "」を作れません（" + std::strerror(errno) + "）。";
                    break;
                }
                bool written = true;
                while (written && left > 0) {
                    const size_t n = left < buf.size() ? static_cast<size_t>(left) : buf.size();
                    written = in.Read(buf.data(), n) && WriteAll(out, buf.data(), n);
                    left -= n;
                }
                if (close(out) != 0 || !written || fchmodat(AT_FDCWD, path.c_str(), mode, 0) != 0) {
                    error = "「" + path + "」を書けません。";
                    break;
                }
            }
        }
    }
    close(fd);
    return ok;
}
