// Writer, reader and locator of the packed file container.
#include "loader/container.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/codec.h"
#include "core/file_io.h"
#include "core/sjis.h"
#include "loader/elf.h"

namespace {

constexpr char kMagic[4] = {'f', 'M', 'i', 'x'};

void PutLe(char* p, uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint64_t GetLe(const char* p, int n)
{
    uint64_t v = 0;
    for (int i = n; i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

std::string IoFailure(const std::string& nativePath)
{
    return "ファイル\"" + FromNativePath(nativePath) + "\"の、読み込みか書き込みに、失敗しました。";
}

bool Seek(std::FILE* f, uint64_t off)
{
    return fseeko(f, static_cast<off_t>(off), SEEK_SET) == 0;
}

// A flag text as an integer, 0 when it is not one.
long FlagValue(const std::string& text)
{
    if (text.empty())
        return 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    return (end && *end == '\0') ? v : 0;
}

}   // namespace

std::string UpperSjis(std::string_view name)
{
    std::string out(name);
    for (size_t i = 0; i < out.size();) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c) && i + 1 < out.size()) {
            i += 2;
            continue;
        }
        if (c >= 'a' && c <= 'z')
            out[i] = static_cast<char>(c - 'a' + 'A');
        ++i;
    }
    return out;
}

bool TFileMixWriter::Save(const std::string& nativePath)
{
    if (Entries.size() >= 65536)
        throw EContainer("合成するファイルの数が多すぎます。");
    std::FILE* f = std::fopen(nativePath.c_str(), "wb");
    if (!f)
        throw EContainer(IoFailure(nativePath));
    struct Closer {
        std::FILE*& f;
        ~Closer()
        {
            if (f)
                std::fclose(f);
        }
    } closer{f};

    const size_t count = Entries.size();
    char header[kMixHeaderSize] = {};
    std::memcpy(header, kMagic, 4);
    header[4] = 1;
    PutLe(header + 5, count, 2);
    std::string placeholders(kMixRecordSize * count, '\0');
    if (std::fwrite(header, 1, kMixHeaderSize, f) != kMixHeaderSize ||
        std::fwrite(placeholders.data(), 1, placeholders.size(), f) != placeholders.size())
        throw EContainer(IoFailure(nativePath));

    uint64_t end = kMixHeaderSize + kMixRecordSize * count;
    for (size_t i = 0; i < count; ++i) {
        const std::string& line = Entries[i];
        size_t eq1 = line.find('=');
        std::string source = line.substr(0, eq1);
        std::string rest = eq1 == std::string::npos ? std::string() : line.substr(eq1 + 1);
        size_t eq2 = rest.find('=');
        std::string name = rest.substr(0, eq2);
        std::string flagText = eq2 == std::string::npos ? std::string() : rest.substr(eq2 + 1);
        long flag = FlagValue(flagText);
        if (flag >= 256 || flag < 0)
            throw EContainer("合成ファイルのフラグ\"" + flagText + "\"が不正です。");

        char record[kMixRecordSize] = {};
        std::string upper = UpperSjis(name);
        size_t n = 0;
        while (n < upper.size() && n < kMixNameField - 1) {
            size_t len = CharLenAt(upper, n);
            if (n + len > kMixNameField - 1)
                break;
            n += len;
        }
        std::memcpy(record, upper.data(), n);

        const std::string sourceNative = ToNativePath(source);
        std::string data;
        // A container holds at most 2 GiB; a larger source fails the size check after reading.
        if (!ReadRegularFile(sourceNative, data, 0x80000000ull))
            throw EContainer(IoFailure(sourceNative));
        if (flag == 1)
            ScrambleEntry(data);
        if (end + data.size() > 0x7FFFFFFFull)
            throw EContainer("合成ファイルが大きすぎます。");
        PutLe(record + 256, end, 4);
        PutLe(record + 260, data.size(), 4);
        record[264] = static_cast<char>(flag);
        if (!Seek(f, kMixHeaderSize + kMixRecordSize * i) ||
            std::fwrite(record, 1, kMixRecordSize, f) != kMixRecordSize || !Seek(f, end) ||
            std::fwrite(data.data(), 1, data.size(), f) != data.size())
            throw EContainer(IoFailure(nativePath));
        end += data.size();
    }
    PutLe(header + 7, end, 4);
    if (!Seek(f, 0) || std::fwrite(header, 1, kMixHeaderSize, f) != kMixHeaderSize)
        throw EContainer(IoFailure(nativePath));
    std::FILE* done = f;
    f = nullptr;
    if (std::fclose(done) != 0)
        throw EContainer(IoFailure(nativePath));
    return true;
}

TFileMixReader::TFileMixReader(const std::string& nativePath, uint64_t base) : fileName_(nativePath), base_(base)
{
    // Only a regular file: opening a FIFO would wait for a writer.
    if (IsRegularFile(nativePath))
        file_ = std::fopen(nativePath.c_str(), "rb");
    struct stat sb {};
    if (file_ && (::fstat(fileno(file_), &sb) != 0 || !S_ISREG(sb.st_mode))) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!file_)
        throw EContainer("ファイル\"" + FromNativePath(nativePath) + "\"を開けません。");
    fileSize_ = static_cast<uint64_t>(sb.st_size);
    const std::string badHeader =
        "\"" + FromNativePath(nativePath) + "\"は、TFileMixHeaderでは形式が違うため読めません。";
    char header[kMixHeaderSize];
    if (!Seek(file_, base) || std::fread(header, 1, kMixHeaderSize, file_) != kMixHeaderSize ||
        std::memcmp(header, kMagic, 4) != 0) {
        std::fclose(file_);
        file_ = nullptr;
        throw EContainer(badHeader);
    }
    const size_t count = static_cast<size_t>(GetLe(header + 5, 2));
    // The directory must lie within the file before room is made for it.
    if (base + kMixHeaderSize + kMixRecordSize * count > fileSize_) {
        std::fclose(file_);
        file_ = nullptr;
        throw EContainer(badHeader);
    }
    std::string records(kMixRecordSize * count, '\0');
    if (std::fread(records.data(), 1, records.size(), file_) != records.size()) {
        std::fclose(file_);
        file_ = nullptr;
        throw EContainer(badHeader);
    }
    for (size_t i = 0; i < count; ++i) {
        const char* r = records.data() + kMixRecordSize * i;
        std::string name(r, strnlen(r, kMixNameField));
        auto offset = static_cast<int32_t>(static_cast<uint32_t>(GetLe(r + 256, 4)));
        auto size = static_cast<int32_t>(static_cast<uint32_t>(GetLe(r + 260, 4)));
        index_.Add(new TMixNode(std::move(name), offset, size, static_cast<unsigned char>(r[264])));
    }
}

TFileMixReader::~TFileMixReader()
{
    if (file_)
        std::fclose(file_);
}

const TMixNode* TFileMixReader::Find(std::string_view name) const
{
    return index_.Find(UpperSjis(name));
}

bool TFileMixReader::ExtractEntry(std::string_view name, std::string& out)
{
    const TMixNode* n = Find(name);
    if (!n || !file_ || n->Offset < 0 || n->Size < 0)
        return false;
    // A damaged directory may declare any size: the entry must lie within the file
    // before room is made for it.
    const uint64_t start = base_ + static_cast<uint64_t>(n->Offset);
    if (start > fileSize_ || static_cast<uint64_t>(n->Size) > fileSize_ - start)
        return false;
    std::string data(static_cast<size_t>(n->Size), '\0');
    if (!Seek(file_, base_ + static_cast<uint64_t>(n->Offset)) ||
        std::fread(data.data(), 1, data.size(), file_) != data.size())
        return false;
    if (n->Scrambled == 1)
        ScrambleEntry(data);
    out = std::move(data);
    return true;
}

bool TFileMixReader::ExtractEntry(std::string_view name, TMemoryStream& out)
{
    std::string data;
    if (!ExtractEntry(name, data))
        return false;
    out.Bytes = std::move(data);
    out.Position = 0;
    return true;
}

bool TFileMixReader::ExtractEntryToFile(std::string_view name, const std::string& nativeFile)
{
    std::string data;
    if (!ExtractEntry(name, data))
        return false;
    std::ofstream out(nativeFile, std::ios::binary | std::ios::trunc);
    return out.write(data.data(), static_cast<std::streamsize>(data.size())) && out.flush();
}

bool TFileMixReader::ReadEntryText(std::string_view name, std::string& text)
{
    std::string data;
    if (!ExtractEntry(name, data))
        return false;
    text.assign(data.c_str(), strnlen(data.c_str(), data.size()));
    return true;
}

bool TFileMixReader::CopyContainer(const std::string& nativeFile)
{
    if (!file_ || !Seek(file_, base_))
        return false;
    std::FILE* out = std::fopen(nativeFile.c_str(), "wb");
    if (!out)
        return false;
    char buf[65536];
    bool ok = true;
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
        if (std::fwrite(buf, 1, n, out) != n) {
            ok = false;
            break;
        }
    if (std::ferror(file_))
        ok = false;
    if (std::fclose(out) != 0)
        ok = false;
    return ok;
}

bool LocateAppendedAt(const std::string& nativePath, uint64_t& offset, uint64_t& size)
{
    if (!IsRegularFile(nativePath))
        return false;
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff total = in.tellg();
    if (total <= 0)
        return false;
    const uint64_t fileSize = static_cast<uint64_t>(total);
    in.seekg(0);
    char first = 0;
    if (!in.get(first))
        return false;

    uint64_t end = 0;
    if (first == 0x7F) {
        in.close();
        if (!ElfImageEnd(nativePath, end))
            return false;
        in.open(nativePath, std::ios::binary);
    } else if (first == 'M' || first == 'm') {
        // The PE headers of interest lie within the first pages.
        std::string head(static_cast<size_t>(std::min<uint64_t>(fileSize, 1 << 16)), '\0');
        in.seekg(0);
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(in.gcount()));
        if (!PeImageEndOf(head, fileSize, end))
            return false;
    } else {
        return false;
    }
    if (end >= fileSize)
        return false;

    // Something containing an "f" must follow the image.
    in.clear();
    in.seekg(static_cast<std::streamoff>(end));
    char buf[65536];
    bool found = false;
    while (!found && in) {
        in.read(buf, sizeof buf);
        std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        found = std::memchr(buf, 'f', static_cast<size_t>(got)) != nullptr;
    }
    if (!found)
        return false;
    offset = end;
    size = fileSize - end;
    return true;
}

bool LocateAppended(const std::string& nativePath, TMemoryStream& out)
{
    uint64_t offset = 0, size = 0;
    if (!LocateAppendedAt(nativePath, offset, size))
        return false;
    std::ifstream in(nativePath, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return false;
    out.Bytes = std::move(bytes);
    out.Position = 0;
    return true;
}
