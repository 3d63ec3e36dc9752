// Finding the end of an executable's image from its headers.
#include "loader/elf.h"

#include <fstream>
#include <string_view>

#include "core/file_io.h"

namespace {

// Random access to the bytes of a file or of a buffer.
class TSource {
public:
    explicit TSource(const std::string& bytes) : bytes_(&bytes), size_(bytes.size()) {}
    explicit TSource(std::ifstream& in) : in_(&in)
    {
        in.seekg(0, std::ios::end);
        std::streamoff n = in.tellg();
        size_ = n > 0 ? static_cast<uint64_t>(n) : 0;
    }
    uint64_t Size() const { return size_; }
    bool ReadAt(uint64_t off, char* buf, size_t n) const
    {
        if (off > size_ || size_ - off < n)
            return false;
        if (bytes_) {
            bytes_->copy(buf, n, off);
            return true;
        }
        in_->clear();
        in_->seekg(static_cast<std::streamoff>(off));
        return static_cast<bool>(in_->read(buf, static_cast<std::streamsize>(n)));
    }

private:
    const std::string* bytes_ = nullptr;
    std::ifstream* in_ = nullptr;
    uint64_t size_ = 0;
};

// Reads little- or big-endian integers with bounds checks.
class TReader {
public:
    TReader(const TSource& src, bool big) : src_(src), big_(big) {}
    bool Get(uint64_t off, int size, uint64_t& out) const
    {
        unsigned char b[8];
        if (size > 8 || !src_.ReadAt(off, reinterpret_cast<char*>(b), static_cast<size_t>(size)))
            return false;
        out = 0;
        for (int i = 0; i < size; ++i)
            out = (out << 8) | b[big_ ? i : size - 1 - i];
        return true;
    }

private:
    const TSource& src_;
    bool big_;
};

constexpr uint32_t kShtNobits = 8;

bool Grow(uint64_t& end, uint64_t off, uint64_t size, uint64_t fileSize)
{
    if (off > fileSize || size > fileSize - off)
        return false;
    if (off + size > end)
        end = off + size;
    return true;
}

}   // namespace

namespace {

bool ElfEnd(const TSource& src, uint64_t& end)
{
    char ident[16];
    if (!src.ReadAt(0, ident, 16) || std::string_view(ident, 4) != std::string_view("\x7F"
                                                                                    "ELF",
                                                                                    4))
        return false;
    const int cls = static_cast<unsigned char>(ident[4]);    // 1 = 32 bits, 2 = 64 bits
    const int data = static_cast<unsigned char>(ident[5]);   // 1 = little, 2 = big endian
    if ((cls != 1 && cls != 2) || (data != 1 && data != 2))
        return false;
    const bool wide = cls == 2;
    TReader r(src, data == 2);
    const uint64_t fileSize = src.Size();

    uint64_t phoff, shoff, ehsize, phentsize, phnum, shentsize, shnum;
    const int word = wide ? 8 : 4;
    const uint64_t base = wide ? 0x20 : 0x1C;   // e_phoff
    if (!r.Get(base, word, phoff) || !r.Get(base + word, word, shoff) || !r.Get(base + 2 * word + 4, 2, ehsize) ||
        !r.Get(base + 2 * word + 6, 2, phentsize) || !r.Get(base + 2 * word + 8, 2, phnum) ||
        !r.Get(base + 2 * word + 10, 2, shentsize) || !r.Get(base + 2 * word + 12, 2, shnum))
        return false;

    uint64_t e = 0;
    if (!Grow(e, 0, ehsize, fileSize))
        return false;

    if (phnum) {
        if (phentsize < (wide ? 56u : 32u) || !Grow(e, phoff, phentsize * phnum, fileSize))
            return false;
        for (uint64_t i = 0; i < phnum; ++i) {
            const uint64_t ph = phoff + i * phentsize;
            uint64_t off, filesz;
            const bool ok = wide ? (r.Get(ph + 8, 8, off) && r.Get(ph + 32, 8, filesz))
                                 : (r.Get(ph + 4, 4, off) && r.Get(ph + 16, 4, filesz));
            if (!ok || !Grow(e, off, filesz, fileSize))
                return false;
        }
    }

    if (shoff) {
        if (shentsize < (wide ? 64u : 40u))
            return false;
        // More than 0xFF00 sections: the real count is in section 0's size field.
        if (shnum == 0) {
            uint64_t n;
            if (!r.Get(shoff + (wide ? 32 : 20), word, n) || n > fileSize / shentsize)
                return false;
            shnum = n;
        }
        if (!Grow(e, shoff, shentsize * shnum, fileSize))
            return false;
        for (uint64_t i = 0; i < shnum; ++i) {
            const uint64_t sh = shoff + i * shentsize;
            uint64_t type, off, size;
            const bool ok = r.Get(sh + 4, 4, type) && (wide ? (r.Get(sh + 24, 8, off) && r.Get(sh + 32, 8, size))
                                                            : (r.Get(sh + 16, 4, off) && r.Get(sh + 20, 4, size)));
            if (!ok)
                return false;
            if (type == kShtNobits || type == 0)
                continue;
            if (!Grow(e, off, size, fileSize))
                return false;
        }
    }
    end = e;
    return true;
}

}   // namespace

bool ElfImageEndOf(const std::string& bytes, uint64_t& end)
{
    return ElfEnd(TSource(bytes), end);
}

bool ElfImageEnd(const std::string& nativePath, uint64_t& end)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return false;
    return ElfEnd(TSource(in), end);
}

bool PeImageEndOf(const std::string& head, uint64_t fileSize, uint64_t& end)
{
    if (head.empty() || (head[0] != 'M' && head[0] != 'm'))
        return false;
    TSource src(head);
    TReader r(src, false);
    uint64_t peOff, sections, rawSize, rawOff;
    if (!r.Get(60, 2, peOff) || !r.Get(peOff + 6, 1, sections) || sections == 0)
        return false;
    const uint64_t last = peOff + 248 + 40 * (sections - 1);
    if (!r.Get(last + 16, 4, rawSize) || !r.Get(last + 20, 4, rawOff))
        return false;
    if (rawOff + rawSize > fileSize)
        return false;
    end = rawOff + rawSize;
    return true;
}

bool IsElfFile(const std::string& nativePath)
{
    if (!IsRegularFile(nativePath))
        return false;
    std::ifstream in(nativePath, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}
