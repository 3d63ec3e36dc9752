// Icon groups taken out of a PE file's resources.
#include <gtest/gtest.h>

#include <string>

#include "commands/drawing/pixels_icon.h"

namespace {

void Put(std::string& s, size_t at, uint32_t v, int bytes)
{
    if (s.size() < at + bytes)
        s.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A 32-bit PE file with one section holding a resource tree of one icon group
// (group id 1) whose single entry names icon id 7 with the bytes `icon`.
std::string MakePe(const std::string& icon)
{
    std::string f(0x200, '\0');
    Put(f, 0, 0x5A4D, 2);
    Put(f, 0x3C, 0x40, 4);
    Put(f, 0x40, 0x00004550, 4);
    Put(f, 0x44, 0x14C, 2);
    Put(f, 0x46, 1, 2);     // one section
    Put(f, 0x54, 224, 2);   // optional header size
    const size_t opt = 0x58;
    Put(f, opt, 0x10B, 2);
    Put(f, opt + 92, 16, 4);   // data directories
    Put(f, opt + 96 + 16, 0x1000, 4);
    const size_t sec = opt + 224;
    // The resource section at file offset 0x200, address 0x1000.
    std::string r;
    auto dir = [&](size_t at, uint32_t id, uint32_t field) {
        Put(r, at + 14, 1, 2);   // one id entry
        Put(r, at + 16, id, 4);
        Put(r, at + 20, field, 4);
    };
    // root with two types: 3 (icons) and 14 (groups)
    Put(r, 14, 2, 2);
    Put(r, 16, 3, 4);
    Put(r, 20, 0x80000000u | 0x20, 4);
    Put(r, 24, 14, 4);
    Put(r, 28, 0x80000000u | 0x38, 4);
    dir(0x20, 7, 0x80000000u | 0x50);   // icon 7
    dir(0x38, 1, 0x80000000u | 0x68);   // group 1
    dir(0x50, 0x411, 0x80);             // icon language -> data entry at 0x80
    dir(0x68, 0x411, 0x90);             // group language -> data entry at 0x90
    // group data at 0xA0: header and one 14-byte entry
    std::string group;
    Put(group, 0, 0, 2);
    Put(group, 2, 1, 2);
    Put(group, 4, 1, 2);
    Put(group, 6, 16, 1);
    Put(group, 7, 16, 1);
    Put(group, 10, 1, 2);
    Put(group, 12, 32, 2);
    Put(group, 14, static_cast<uint32_t>(icon.size()), 4);
    Put(group, 18, 7, 2);
    Put(r, 0x80, 0x1000 + 0xC0, 4);
    Put(r, 0x84, static_cast<uint32_t>(icon.size()), 4);
    Put(r, 0x90, 0x1000 + 0xA0, 4);
    Put(r, 0x94, static_cast<uint32_t>(group.size()), 4);
    r.resize(0xA0);
    r += group;
    r.resize(0xC0, '\0');
    r += icon;
    Put(f, sec + 8, static_cast<uint32_t>(r.size()), 4);
    Put(f, sec + 12, 0x1000, 4);
    Put(f, sec + 16, static_cast<uint32_t>(r.size()), 4);
    Put(f, sec + 20, 0x200, 4);
    return f + r;
}

TEST(PeIcons, GroupBecomesAnIcoFile)
{
    const std::string pe = MakePe("ABCDEFGH");
    std::string ico;
    ASSERT_TRUE(ExtractPeIcon(pe, 0, ico));
    std::string want;
    Put(want, 0, 0, 2);
    Put(want, 2, 1, 2);
    Put(want, 4, 1, 2);
    Put(want, 6, 16, 1);
    Put(want, 7, 16, 1);
    Put(want, 10, 1, 2);
    Put(want, 12, 32, 2);
    Put(want, 14, 8, 4);
    Put(want, 18, 22, 4);   // the image follows the 6 + 16 header bytes
    want += "ABCDEFGH";
    EXPECT_EQ(ico, want);
}

TEST(PeIcons, RefusesWhatItCannotRead)
{
    const std::string pe = MakePe("ABCDEFGH");
    std::string ico;
    struct {
        const char* name;
        std::string image;
        int index;
    } cases[] = {
        {"no such group", pe, 1},
        {"negative index", pe, -1},
        {"not a program", "hello", 0},
        {"cut inside the resources", pe.substr(0, 0x200 + 0x70), 0},
        {"cut inside the icon", pe.substr(0, pe.size() - 3), 0},
        {"headers only", pe.substr(0, 0x100), 0},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ExtractPeIcon(c.image, c.index, ico)) << c.name;
}

}   // namespace
