// The LHA writer and its pieces: CRC-16, length-limited Huffman codes, the level-2
// header layout and the -lh5- coder, read back by libarchive's LHA reader.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "archive/crc16.h"
#include "archive/huffman.h"
#include "archive/lh5_encoder.h"
#include "archive/lha_writer.h"
#include "archive/safe_extract.h"
#include "archive_test_support.h"
#include "core/codec.h"

namespace {

using namespace archive_test;

class LhaWriterTest : public WorkFolder {
protected:
    struct TFile {
        std::string Name;   // Shift_JIS, "/" between folders
        std::string Data;
    };
    // Writes the files into an archive and returns its path.
    std::string Write(const std::vector<TFile>& files)
    {
        const std::string path = (dir / "t.lzh").string();
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        TLhaWriter w(fd);
        for (const TFile& f : files) {
            TLhaFileInfo info;
            std::string name = f.Name;
            size_t slash;
            while ((slash = name.find('/')) != std::string::npos) {
                info.Folders.push_back(name.substr(0, slash));
                name.erase(0, slash + 1);
            }
            info.Name = name;
            info.MTime = 1589677326;
            w.AddFile(info, reinterpret_cast<const uint8_t*>(f.Data.data()), f.Data.size());
        }
        w.Finish();
        close(fd);
        return path;
    }
    // What libarchive reads back: name (UTF-8) -> data; the method of each in `methods`.
    std::map<std::string, std::string> ReadBack(const std::string& path, std::string* error = nullptr)
    {
        TUtf8Locale utf8;
        std::map<std::string, std::string> out;
        archive* a = archive_read_new();
        archive_read_support_format_lha(a);
        archive_read_set_format_option(a, "lha", "hdrcharset", "CP932");
        EXPECT_EQ(archive_read_open_filename(a, path.c_str(), 10240), ARCHIVE_OK);
        archive_entry* e;
        int r;
        while ((r = archive_read_next_header(a, &e)) == ARCHIVE_OK) {
            std::string data;
            char buf[65536];
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                data.append(buf, static_cast<size_t>(n));
            if (n < 0 && error)
                *error = archive_error_string(a);
            EXPECT_EQ(archive_entry_mtime(e), 1589677326);
            out[archive_entry_pathname(e)] = data;
        }
        if (r != ARCHIVE_EOF && error)
            *error = archive_error_string(a) ? archive_error_string(a) : "header";
        archive_read_free(a);
        return out;
    }
};

TEST(LhaPieces, Crc16)
{
    EXPECT_EQ(Crc16Update(0, "123456789", 9), 0xBB3D);
    EXPECT_EQ(Crc16Update(0, "", 0), 0);
    // Feeding in pieces (also across the four-byte steps) gives the same value.
    const std::string t = Text(1001);
    uint16_t c = 0;
    for (size_t i = 0; i < t.size(); i += 7)
        c = Crc16Update(c, t.data() + i, std::min<size_t>(7, t.size() - i));
    EXPECT_EQ(c, Crc16Update(0, t.data(), t.size()));
}

// Lengths form a complete prefix code no longer than the limit.
void ExpectCompleteCode(const std::vector<uint32_t>& freq, int limit)
{
    std::vector<uint8_t> lens(freq.size());
    const int used = HuffmanLengths(freq.data(), static_cast<int>(freq.size()), limit, lens.data());
    uint64_t kraft = 0;
    for (size_t i = 0; i < freq.size(); ++i) {
        EXPECT_EQ(lens[i] == 0, freq[i] == 0) << i;
        EXPECT_LE(lens[i], limit);
        if (lens[i])
            kraft += uint64_t(1) << (limit - lens[i]);
    }
    if (used >= 2) {
        EXPECT_EQ(kraft, uint64_t(1) << limit);
    }
    // Canonical codes: no code is a prefix of another.
    std::vector<uint16_t> codes(freq.size());
    CanonicalCodes(lens.data(), static_cast<int>(lens.size()), codes.data());
    for (size_t i = 0; i < freq.size(); ++i)
        for (size_t j = 0; j < freq.size(); ++j) {
            if (i == j || !lens[i] || !lens[j] || lens[i] > lens[j])
                continue;
            EXPECT_NE(codes[j] >> (lens[j] - lens[i]), codes[i]) << i << " prefixes " << j;
        }
}

TEST(LhaPieces, HuffmanLengths)
{
    ExpectCompleteCode({5, 0, 3, 9, 1}, 16);
    ExpectCompleteCode({1, 1}, 16);
    std::vector<uint32_t> fib = {1, 1};
    while (fib.size() < 30)
        fib.push_back(fib[fib.size() - 1] + fib[fib.size() - 2]);   // depth 29 without a limit
    ExpectCompleteCode(fib, 16);
    ExpectCompleteCode(fib, 7);
    std::vector<uint8_t> lens(3);
    const uint32_t one[] = {0, 4, 0};
    EXPECT_EQ(HuffmanLengths(one, 3, 16, lens.data()), 1);
    EXPECT_EQ(lens, std::vector<uint8_t>({0, 0, 0}));
    // More frequent symbols never get longer codes.
    const uint32_t f[] = {100, 1, 50, 2, 25};
    uint8_t l[5];
    HuffmanLengths(f, 5, 16, l);
    EXPECT_LE(l[0], l[2]);
    EXPECT_LE(l[2], l[4]);
    EXPECT_LE(l[4], l[3]);
}

uint16_t Le16(const std::string& s, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

TEST(LhaPieces, Level2HeaderLayout)
{
    TLhaFileInfo info;
    info.Folders = {"フォルダ", "sub"};
    info.Name = "名前.txt";
    info.MTime = 0x5EC0B70E;
    const std::string h = LhaLevel2Header(info, "-lh5-", 0x1234, 0x5678, 0xBEEF);
    EXPECT_EQ(Le16(h, 0), h.size());
    EXPECT_EQ(h.substr(2, 5), "-lh5-");
    EXPECT_EQ(Le16(h, 7), 0x1234);
    EXPECT_EQ(Le16(h, 11), 0x5678);
    EXPECT_EQ(Le16(h, 15), 0xB70E);
    EXPECT_EQ(h[20], 2);
    EXPECT_EQ(Le16(h, 21), 0xBEEF);
    // The extended headers: CRC, name, folders, attributes, then 0.
    size_t at = 24;
    std::vector<std::pair<int, std::string>> ext;
    while (Le16(h, at) != 0) {
        const size_t size = Le16(h, at);
        ext.emplace_back(static_cast<uint8_t>(h[at + 2]), h.substr(at + 3, size - 3));
        at += size;
    }
    ASSERT_EQ(ext.size(), 4u);
    EXPECT_EQ(ext[0].first, 0x00);
    EXPECT_EQ(ext[1], std::make_pair(0x01, std::string("名前.txt")));
    EXPECT_EQ(ext[2], std::make_pair(0x02, std::string("フォルダ\xFFsub\xFF")));
    EXPECT_EQ(ext[3], std::make_pair(0x40, std::string("\x20\x00", 2)));
    EXPECT_EQ(at + 2, h.size());
    // The header CRC covers the whole header with its own field zero.
    std::string zeroed = h;
    zeroed[24 + 3] = zeroed[24 + 4] = 0;
    EXPECT_EQ(Le16(h, 24 + 3), Crc16Update(0, zeroed.data(), zeroed.size()));

    // A size ending in a zero byte is padded by one.
    for (size_t n = 1; n < 300; ++n) {
        info.Folders.clear();
        info.Name.assign(n, 'a');
        const std::string p = LhaLevel2Header(info, "-lh0-", 0, 0, 0);
        EXPECT_NE(p.size() & 0xFF, 0u) << n;
        EXPECT_EQ(Le16(p, 0), p.size());
    }
}

TEST_F(LhaWriterTest, RoundTripThroughTheLhaReader)
{
    std::string runs(70000, 'x');
    for (size_t i = 0; i < runs.size(); i += 1000)
        runs[i] = 'y';
    std::string far = Noise(9000, 3);
    far += far.substr(0, 3000);   // matches only beyond the window, and just inside it
    far += Noise(100, 4) + far.substr(far.size() - 8190, 400);
    const std::vector<TFile> files = {
        {"empty.txt", ""},
        {"one.bin", "Z"},
        {"text.txt", Text(300000)},
        {"noise.bin", Noise(50000)},
        {"runs.txt", runs},
        {"far.bin", far},
        {"フォルダ/日本語の名前.txt", Text(5000, 9)},
        {"a/b/c/deep.txt", "deep\n"},
    };
    std::string error;
    const auto back = ReadBack(Write(files), &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(back.size(), files.size());
    for (const TFile& f : files) {
        const std::string utf8 = SjisToUtf8(f.Name);
        ASSERT_TRUE(back.count(utf8)) << utf8;
        EXPECT_TRUE(back.at(utf8) == f.Data) << utf8;
    }
}

TEST_F(LhaWriterTest, StoresWhatDoesNotShrink)
{
    const std::string path = Write({{"noise.bin", Noise(4000)}, {"text.txt", Text(4000)}});
    const std::string bytes = ReadBytes(path);
    const size_t first = bytes.find("-lh");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(bytes.substr(first, 5), "-lh0-");
    EXPECT_EQ(bytes.substr(bytes.find("-lh", first + 5), 5), "-lh5-");
    EXPECT_LT(bytes.size(), 4000u + 4000u / 2);
    EXPECT_EQ(bytes.back(), '\0');   // the end mark
}

TEST_F(LhaWriterTest, EncoderStopsAtItsLimit)
{
    const std::string noise = Noise(100000);
    size_t sent = 0;
    const bool ok = TLh5Encoder::Encode(reinterpret_cast<const uint8_t*>(noise.data()), noise.size(), noise.size(),
                                        [&](const std::string& b) {
                                            sent += b.size();
                                            return true;
                                        });
    EXPECT_FALSE(ok);
    EXPECT_LT(sent, noise.size() + 70000);
    const std::string text = Text(100000);
    std::string coded;
    EXPECT_TRUE(TLh5Encoder::Encode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), text.size(),
                                    [&](const std::string& b) {
                                        coded += b;
                                        return true;
                                    }));
    EXPECT_LT(coded.size(), text.size() / 3);
}

TEST_F(LhaWriterTest, DamagedDataIsReported)
{
    const std::string path = Write({{"text.txt", Text(20000)}});
    std::string bytes = ReadBytes(path);
    bytes[bytes.size() / 2] ^= 0x55;
    WriteBytes(path, bytes);
    std::string error;
    ReadBack(path, &error);
    EXPECT_NE(error, "");
}

}   // namespace
