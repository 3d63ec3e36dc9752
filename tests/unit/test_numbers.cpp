// Number helpers: rounding, whole-number conversion, the formatting paths of
// 通貨形式に変換, 指定形式に変換, HEX and FRAC, and the shared random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "commands/numbers/number_format.h"
#include "commands/numbers/random.h"
#include "interp/builtins.h"
#include "interp/interp.h"

using namespace numfmt;

TEST(Numbers, RoundingToPlaces)
{
    struct Case {
        bool round;
        const char* x;
        int32_t places;
        const char* expected;
    };
    const Case cases[] = {
        {false, "3.456", 1, "3.4"},
        {false, "-3.456", 1, "-3.4"},
        {false, "3.456", 0, "3"},
        {false, "1234.5", -1, "1230"},
        {false, "1299", -2, "1200"},
        {false, "1.1", 1, "1.1"},
        {true, "0.25", 1, "0.2"},   // halves go to the even neighbour
        {true, "0.35", 1, "0.4"},
        {true, "2.5", 0, "2"},
        {true, "3.5", 0, "4"},
        {true, "-2.5", 0, "-2"},
        {true, "1235", -1, "1240"},
        {true, "1245", -1, "1240"},
        {true, "3.14159", 3, "3.142"},
        // The decimal value as it reads, not the binary one a hair beside it.
        {false, "-311.8", 2, "-311.8"},
        {false, "311.8", 2, "311.8"},
        {false, "4.35", 2, "4.35"},
        {false, "0.07", 2, "0.07"},
        {false, "1.005", 2, "1"},
        {true, "-66.755", 2, "-66.76"},
        {true, "66.755", 2, "66.76"},
        {true, "1.005", 2, "1"},   // a half goes to the even neighbour 1.00
        {true, "1.015", 2, "1.02"},
        {true, "1.0051", 2, "1.01"},
        {true, "2.675", 2, "2.68"},
        {true, "0.45", 0, "0"},
        {true, "0.5", 0, "0"},
        {true, "0.51", 0, "1"},
        {true, "9.995", 2, "10"},
        {true, "-9.5", 0, "-10"},
        {true, "0.004", 1, "0"},
        {false, "123456789.987654321", 4, "123456789.9876"},
        {true, "45", -2, "0"},
        {true, "55", -2, "100"},
        {true, "1.5", 2147483647, "1.5"},
        {false, "1.5", -2147483647, "0"},
        {true, "1.0E300", 2, "1E300"},
    };
    for (const Case& c : cases) {
        long double x = ToNumber(c.x);
        long double r = c.round ? RoundToPlaces(x, c.places) : TruncToPlaces(x, c.places);
        EXPECT_EQ(NumberToText(r), c.expected) << c.x << " " << c.places;
    }
}

TEST(Numbers, WholeConversions)
{
    struct Case {
        long double x;
        bool ok;
        int64_t trunc, round;
    };
    const Case cases[] = {
        {2.5L, true, 2, 2},
        {3.5L, true, 3, 4},
        {-2.5L, true, -2, -2},
        {-3.7L, true, -3, -4},
        {9.2e18L, true, 9200000000000000000LL, 9200000000000000000LL},
        {1e19L, false, 0, 0},
        {-1e19L, false, 0, 0},
    };
    for (const Case& c : cases) {
        int64_t t = 0, r = 0;
        EXPECT_EQ(TruncToInt64(c.x, t), c.ok) << static_cast<double>(c.x);
        EXPECT_EQ(RoundToInt64(c.x, r), c.ok) << static_cast<double>(c.x);
        if (!c.ok)
            continue;
        EXPECT_EQ(t, c.trunc);
        EXPECT_EQ(r, c.round);
    }
    int64_t v;
    EXPECT_FALSE(TruncToInt64(std::nanl(""), v));
    EXPECT_FALSE(RoundToInt64(INFINITY, v));
}

TEST(Numbers, HexAndFrac)
{
    struct Hex {
        int32_t v;
        const char* expected;
    };
    const Hex hexes[] = {{10, "0A"}, {255, "FF"}, {-1, "FFFFFFFF"}, {0, "00"}, {4096, "1000"}, {INT32_MIN, "80000000"}};
    for (const Hex& h : hexes)
        EXPECT_EQ(HexOf(h.v), h.expected) << h.v;

    struct Frac {
        const char* text;
        const char* expected;
    };
    const Frac fracs[] = {
        {"-3.25", "0.25"}, {"3", ""}, {"１２．５", "0.5"}, {"1.2.3", "0.2.3"}, {"", ""}, {".5", "0.5"},
    };
    for (const Frac& f : fracs)
        EXPECT_EQ(FracText(f.text), f.expected) << f.text;
}

TEST(Numbers, FixedAndCurrencyFormats)
{
    struct Fixed {
        long double v;
        int decimals;
        bool group;
        const char* expected;
    };
    const Fixed fixed[] = {
        {1234.5L, 2, true, "1,234.50"},
        {1234.5L, 2, false, "1234.50"},
        {0.125L, 2, false, "0.13"},   // half away from zero on the decimal digits
        {-0.125L, 2, false, "-0.13"},
        {-0.004L, 2, false, "0.00"},
        {0.6L, 0, false, "1"},
        {9.996L, 2, false, "10.00"},
        {0, 2, false, "0.00"},
        {1e20L, 0, true, "100,000,000,000,000,000,000"},
        {123456.0L, 0, true, "123,456"},
        {0.000123L, 5, false, "0.00012"},
        {ToNumber("-66.755"), 2, false, "-66.76"},   // binary -66.75499999...
        {ToNumber("1.005"), 2, false, "1.01"},
        {ToNumber("2.675"), 2, true, "2.68"},
    };
    for (const Fixed& f : fixed)
        EXPECT_EQ(FormatFixed(f.v, f.decimals, f.group), f.expected) << f.expected;

    struct Currency {
        const char* text;
        bool withDecimals;
        bool ok;
        const char* expected;
    };
    const Currency currencies[] = {
        {"1234567.891", true, true, "1,234,567.89"},
        {"1234.5", false, true, "1,235"},
        {"-1234.5", false, true, "-1,235"},
        {"1234.565", true, true, "1,234.57"},
        {"0.00005", true, true, "0.00"},
        {"999", false, true, "999"},
        {"-999.999", true, true, "-1,000.00"},
        {"1000000000000000", false, false, ""},
        {"-66.755", true, true, "-66.76"},
        {"1.005", true, true, "1.01"},
        {"0.00485", true, true, "0.00"},   // to four decimals first (halves to even): 0.0048
        {"0.00495", true, true, "0.01"},   // 0.0050, then half away from zero
    };
    for (const Currency& c : currencies) {
        std::string out;
        EXPECT_EQ(FormatCurrency(ToNumber(c.text), c.withDecimals, out), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(out, c.expected) << c.text;
        }
    }
}

TEST(Numbers, FormatWithSpec)
{
    struct Case {
        const char* format;
        const char* value;
        bool ok;
        const char* expected;
    };
    const Case cases[] = {
        {"%d", "12.7", true, "12"},
        {"%d", "-12.7", true, "-12"},
        {"%.3d", "7", true, "007"},
        {"%.3d", "-7", true, "-007"},
        {"%5d", "-42", true, "  -42"},
        {"%-5d|", "42", true, "42   |"},
        {"%d%%", "50", true, "50%"},
        {"%d", "abc", true, "0"},
        {"%f", "3.14159", true, "3.14"},
        {"%.3f", "2", true, "2.000"},
        {"%8.1f", "-2.25", true, "    -2.3"},
        {"%n (f)", "1234567.891", true, "1,234,567.89 (f)"},
        {"%n", "1234567.891", false, ""},   // no f, m or d: the value stays text
        {"%m", "1234.5", true, "\\1,235"},
        {"%.2m", "-1234.5", true, "-\\1,234.50"},
        {"%e of", "1234.5", true, "1.23450000000000E+003 of"},
        {"%g of", "1.5", true, "1.5 of"},
        {"%s", "abc", true, "abc"},
        {"[%10s]", "x", true, "[         x]"},
        {"[%-3s]", "x", true, "[x  ]"},
        {"%.2s", "abc", true, "ab"},
        {"%.3s", "あいう", true, "あ"},   // never half a character
        {"%0:s-%0:s", "ab", true, "ab-ab"},
        {"値は%sです", "表", true, "値は表です"},
        {"%x", "255", false, ""},    // a text value cannot be hexadecimal
        {"%s %s", "a", false, ""},   // only one value exists
        {"%1:s", "a", false, ""},
        {"%s of", "x", false, ""},   // the "f" makes the value a real number
        {"%g", "1.5", false, ""},
        {"%d %f", "1", false, ""},
        {"%", "1", false, ""},
        {"%q", "1", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(FormatWithSpec(c.format, c.value, out), c.ok) << c.format;
        if (c.ok) {
            EXPECT_EQ(out, c.expected) << c.format;
        }
    }
}

TEST(Numbers, RandomGeneratorFollowsItsRecurrence)
{
    TRandom a, b;
    a.Seed(5);
    b.Seed(5);
    for (int k = 0; k < 1000; ++k)
        ASSERT_EQ(a.Below(100), b.Below(100)) << k;

    TRandom r;
    r.Seed(1);
    EXPECT_EQ(r.Advance(), 134775814u);
    EXPECT_EQ(r.Advance(), static_cast<uint32_t>(134775814ull * 134775813ull + 1));
    r.Seed(0);
    EXPECT_EQ(r.Real(), 1.0L / 4294967296.0L);
    r.Seed(0xFFFFFFFF);   // advances to 0xFFFFFFFF * 134775813 + 1 = 2^32 - 134775812
    EXPECT_EQ(r.Below(100), static_cast<int32_t>((4294967296ull - 134775812ull) * 100 >> 32));

    r.Seed(12345);
    for (int k = 0; k < 1000; ++k) {
        EXPECT_EQ(r.Below(1), 0);
        EXPECT_EQ(r.Below(0), 0);
        int32_t v = r.Below(7);
        EXPECT_TRUE(v >= 0 && v < 7) << v;
        long double x = r.Real();
        EXPECT_TRUE(x >= 0 && x < 1);
    }
}
