// The CP932 tables carried in the program agree with the C library's converter
// wherever both are present: every code, both directions.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "core/codec.h"
#include "core/sjis.h"

namespace {

class TIconvPair {
public:
    TIconvPair() : toUtf8_(iconv_open("UTF-8", "CP932")), toSjis_(iconv_open("CP932", "UTF-8")) {}
    ~TIconvPair()
    {
        if (Ok()) {
            iconv_close(toUtf8_);
            iconv_close(toSjis_);
        }
    }
    bool Ok() const { return toUtf8_ != Bad() && toSjis_ != Bad(); }
    bool ToUtf8(const std::string& in, std::string& out) { return Run(toUtf8_, in, out); }
    bool ToSjis(const std::string& in, std::string& out) { return Run(toSjis_, in, out); }

private:
    static iconv_t Bad() { return reinterpret_cast<iconv_t>(-1); }
    static bool Run(iconv_t cd, const std::string& in, std::string& out)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buf[16];
        char* ip = const_cast<char*>(in.data());
        char* op = buf;
        size_t il = in.size(), ol = sizeof buf;
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0)
            return false;
        out.assign(buf, sizeof buf - ol);
        return true;
    }
    iconv_t toUtf8_, toSjis_;
};

TEST(Cp932Table, AgreesWithIconvForEveryCode)
{
    TIconvPair iconv;
    if (!iconv.Ok())
        GTEST_SKIP() << "no CP932 converter in this C library";
    int checked = 0, reversed = 0;
    for (unsigned code = 0x80; code < 0x10000; ++code) {
        std::string bytes;
        if (code < 0x100) {
            if (IsLeadByte(static_cast<unsigned char>(code)))
                continue;
            bytes = std::string(1, static_cast<char>(code));
        } else {
            const unsigned lead = code >> 8, trail = code & 0xFF;
            // The user-defined area (leads 0xF0-0xF9) also carries the codes the
            // converter hands out per process to other texts: left out.
            if (!IsLeadByte(static_cast<unsigned char>(lead)) || (lead >= 0xF0 && lead <= 0xF9) || trail < 0x40 ||
                trail > 0xFC || trail == 0x7F)
                continue;
            bytes = {static_cast<char>(lead), static_cast<char>(trail)};
        }
        std::string utf8;
        if (!iconv.ToUtf8(bytes, utf8))
            continue;   // no character: the converter gives it a code of its own
        ++checked;
        ASSERT_EQ(SjisToUtf8(bytes), utf8) << std::hex << code;
        // The reverse direction is iconv's choice when that choice converts back.
        std::string back, again;
        if (iconv.ToSjis(utf8, back) && iconv.ToUtf8(back, again) && again == utf8) {
            ++reversed;
            ASSERT_EQ(Utf8ToSjis(utf8), back) << std::hex << code;
        }
    }
    EXPECT_GT(checked, 7000);   // the whole table, not a few codes
    EXPECT_GT(reversed, 7000);
}

}   // namespace
