// Picture filters, blending and resampling on the plain pixel buffer, and the colour
// commands.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "commands/drawing/pixels.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

// A picture from rows of grey levels (R = G = B).
TPixels Grey(const std::vector<std::vector<int>>& rows)
{
    TPixels p(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            p.At(x, y) = MakePix(rows[y][x], rows[y][x], rows[y][x]);
    return p;
}

std::vector<int> RedChannel(const TPixels& p)
{
    std::vector<int> out;
    for (uint32_t v : p.Data)
        out.push_back(PixR(v));
    return out;
}

// A picture whose every pixel is distinct: R = x, G = y, B = 7.
TPixels Numbered(int w, int h)
{
    TPixels p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = MakePix(x, y, 7);
    return p;
}

TEST(PixelFilters, PerPixelFormulas)
{
    struct {
        const char* name;
        void (*apply)(TPixels&);
        int r, g, b;      // input
        int wr, wg, wb;   // expected
    } cases[] = {
        {"negate", Negate, 0, 100, 255, 255, 155, 0},
        {"solarize", Solarize, 10, 128, 250, 10, 127, 5},
        // grey 30*10 + 59*20 + 11*30 = 1810 -> 18.1 -> 18
        {"grey", Greyscale, 10, 20, 30, 18, 18, 18},
        // 30*1 + 59*1 + 11*1 = 100 -> exactly 1
        {"grey exact", Greyscale, 1, 1, 1, 1, 1, 1},
        // 30*5 = 150 -> 1.5 -> halves to even: 2
        {"grey half up to even", Greyscale, 5, 0, 0, 2, 2, 2},
        // 30*15 + 11*0 = 450 -> 4.5 -> 4
        {"grey half down to even", Greyscale, 15, 0, 0, 4, 4, 4},
        // 59*1 = 59 -> 0.59 -> 1
        {"grey above half", Greyscale, 0, 1, 0, 1, 1, 1},
        {"grey white", Greyscale, 255, 255, 255, 255, 255, 255},
    };
    for (const auto& c : cases) {
        TPixels p(1, 1);
        p.At(0, 0) = MakePix(c.r, c.g, c.b);
        c.apply(p);
        EXPECT_EQ(PixR(p.At(0, 0)), c.wr) << c.name;
        EXPECT_EQ(PixG(p.At(0, 0)), c.wg) << c.name;
        EXPECT_EQ(PixB(p.At(0, 0)), c.wb) << c.name;
        EXPECT_EQ(PixA(p.At(0, 0)), 255) << c.name;
    }
}

TEST(PixelFilters, BrightnessAndGammaRanges)
{
    struct {
        const char* name;
        bool gamma;
        double amount;
        int in, want;
    } cases[] = {
        {"brighten", false, 50, 100, 150},
        {"brighten clamps", false, 50, 230, 255},
        {"darken clamps", false, -50, 20, 0},
        {"zero changes nothing", false, 0, 77, 77},
        {"300 changes nothing", false, 300, 77, 77},
        {"-256 changes nothing", false, -256, 77, 77},
        {"255 is allowed", false, 255, 1, 255},
        {"gamma 2.2 is the identity", true, 2.2, 100, 100},
        {"gamma below range", true, 0.5, 100, 100},
        {"gamma above range", true, 3.5, 100, 100},
        // 255 * (128/255)^(1.1/2.2) = sqrt(128*255) = 180.66 -> 181
        {"gamma 1.1", true, 1.1, 128, 181},
        // 255 * (64/255)^(3/2.2): computed below independently
        {"gamma 3", true, 3, 64, -1},
        {"gamma keeps 0 and 255", true, 1.5, 255, 255},
    };
    for (const auto& c : cases) {
        TPixels p(1, 1);
        p.At(0, 0) = MakePix(c.in, c.in, c.in);
        if (c.gamma)
            Gamma(p, c.amount);
        else
            Brightness(p, c.amount);
        int want = c.want;
        if (want < 0)
            want = static_cast<int>(std::nearbyint(255.0 * std::pow(c.in / 255.0, c.amount / 2.2)));
        EXPECT_EQ(PixR(p.At(0, 0)), want) << c.name;
        EXPECT_EQ(PixB(p.At(0, 0)), want) << c.name;
    }
}

TEST(PixelFilters, FlipsAndTurns)
{
    TPixels p = Numbered(3, 2);
    TPixels v = p;
    FlipVertical(v);
    TPixels h = p;
    FlipHorizontal(h);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(v.At(x, y), p.At(x, 1 - y));
            EXPECT_EQ(h.At(x, y), p.At(2 - x, y));
        }

    TPixels r = p;
    RotateRight(r);
    ASSERT_EQ(r.Width, 2);
    ASSERT_EQ(r.Height, 3);
    // Clockwise: the bottom-left corner goes to the top-left, the top-left to the top-right.
    EXPECT_EQ(r.At(0, 0), p.At(0, 1));
    EXPECT_EQ(r.At(1, 0), p.At(0, 0));
    EXPECT_EQ(r.At(1, 2), p.At(2, 0));
    EXPECT_EQ(r.At(0, 2), p.At(2, 1));
}

TEST(PixelFilters, RotationTakesHalfTheAngle)
{
    const TPixels square = Numbered(5, 5);
    struct {
        double n;
        int quarterTurns;
    } cases[] = {{180, 1}, {360, 2}, {540, 3}, {720, 4}, {0, 0}};
    for (const auto& c : cases) {
        TPixels want = square;
        for (int i = 0; i < c.quarterTurns; ++i)
            RotateRight(want);
        TPixels got = square;
        RotateHalfDegrees(got, c.n);
        EXPECT_EQ(got.Data, want.Data) << c.n;
    }
    // A turn of 45 degrees (n = 90) keeps the centre and leaves the corners uncovered.
    TPixels got = square;
    RotateHalfDegrees(got, 90, 0xFFFFFFFFu);
    EXPECT_EQ(got.At(2, 2), square.At(2, 2));
    EXPECT_EQ(got.At(0, 0), 0xFFFFFFFFu);
}

TEST(PixelFilters, BlurPropagatesInPlace)
{
    const TPixels base = Grey({{90, 0, 0}, {0, 0, 0}, {0, 0, 90}});
    TPixels p = base;
    BoxBlur(p, 0);
    EXPECT_EQ(p.Data, base.Data);

    BoxBlur(p, 1);
    // (0,0): 90/4 = 22. (1,0) sees the changed 22: 22/6 = 3. (2,0): 3/4 = 0.
    // (0,1): (22+3)/6 = 4. (1,1): (22+3+0+4+0+0+0+0+90)/9 = 13. (2,1): (3+0+13+0+0+90)/6 = 17.
    // (0,2): (4+13+0+0)/4 = 4. (1,2): (4+13+17+4+0+90)/6 = 21. (2,2): (13+17+21+90)/4 = 35.
    EXPECT_EQ(RedChannel(p), (std::vector<int>{22, 3, 0, 4, 13, 17, 4, 21, 35}));
}

TEST(PixelFilters, BlurWithWideRadiusMatchesTheDirectSum)
{
    // The running sums must give what a direct in-place computation gives.
    TPixels fast(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            fast.At(x, y) = MakePix((x * 37 + y * 91) % 256, (x * 13) % 256, (y * 71) % 256);
    TPixels slow = fast;
    const int r = 2;
    BoxBlur(fast, r);
    for (int y = 0; y < slow.Height; ++y)
        for (int x = 0; x < slow.Width; ++x) {
            int sum[3] = {0, 0, 0}, n = 0;
            for (int j = y - r; j <= y + r; ++j)
                for (int i = x - r; i <= x + r; ++i)
                    if (i >= 0 && j >= 0 && i < slow.Width && j < slow.Height) {
                        sum[0] += PixR(slow.At(i, j));
                        sum[1] += PixG(slow.At(i, j));
                        sum[2] += PixB(slow.At(i, j));
                        ++n;
                    }
            slow.At(x, y) = MakePix(sum[0] / n, sum[1] / n, sum[2] / n);
        }
    EXPECT_EQ(fast.Data, slow.Data);
}

TEST(PixelFilters, Sharpen)
{
    const TPixels base = Grey({{10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120}});
    TPixels zero = base;
    Sharpen(zero, 0);
    // Strength 0: inner pixels c become (c * 255) div 256; the border stays.
    EXPECT_EQ(RedChannel(zero), (std::vector<int>{10, 20, 30, 40, 50, 59, 69, 80, 90, 100, 110, 120}));

    TPixels full = base;
    Sharpen(full, 255);
    // (1,1): S = 10+20+30+50+60+70+90+100+110 = 540; h = (660-540)/2 = 60;
    // 60*255/256 + 60*0/256 = 59. (2,1) sees the new 59: S = 20+30+40+59+70+80+100+110+120
    // = 629; h = (770-629)/2 = 70; 70*255/256 = 69.
    EXPECT_EQ(RedChannel(full), (std::vector<int>{10, 20, 30, 40, 50, 59, 69, 80, 90, 100, 110, 120}));

    TPixels edge = Grey({{0, 0, 0}, {0, 200, 0}, {0, 0, 0}});
    Sharpen(edge, 128);
    // S = 200; h = (2200-200)/2 = 1000 -> 255; 255*128/256 + 200*127/256 = 127 + 99 = 226.
    EXPECT_EQ(PixG(edge.At(1, 1)), 226);
}

TEST(PixelFilters, SepiaTables)
{
    int t[256];
    SepiaTable(0, t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[127], 0);
    EXPECT_EQ(t[128], 0);
    EXPECT_EQ(t[192], 127);   // 64*255/128
    EXPECT_EQ(t[255], 253);   // 127*255/128
    SepiaTable(200, t);
    EXPECT_EQ(t[64], 100);         // 64*200/128
    EXPECT_EQ(t[128], 198);        // 0 + 127*200/128
    EXPECT_EQ(t[200], 143 + 85);   // 72*255/128 + 55*200/128

    TPixels p(1, 1);
    p.At(0, 0) = MakePix(30, 60, 100);   // l = 63
    Sepia(p, RgbValue(200, 100, 0));
    EXPECT_EQ(PixR(p.At(0, 0)), 63 * 200 / 128);
    EXPECT_EQ(PixG(p.At(0, 0)), 63 * 100 / 128);
    EXPECT_EQ(PixB(p.At(0, 0)), 0);
}

TEST(PixelFilters, EdgeDetectFlatAreasGoBlack)
{
    TPixels p = Grey({{50, 50, 50, 50}, {50, 50, 50, 50}, {50, 50, 90, 50}, {50, 50, 50, 50}});
    EdgeDetect(p);
    EXPECT_EQ(PixR(p.At(1, 1)), 0);     // 8*50 - 7*50 - 90 < 0
    EXPECT_EQ(PixR(p.At(2, 2)), 255);   // 8*90 - 8*50 = 320
    EXPECT_EQ(PixR(p.At(0, 0)), 50);    // border unchanged
}

TEST(PixelBlend, AlphaAndClipping)
{
    struct {
        double percent;
        int alpha;
    } alphas[] = {{50, 128}, {0, 0}, {100, 255}, {150, 255}, {10, 25}, {-5, 0}};
    for (const auto& a : alphas)
        EXPECT_EQ(AlphaFromPercent(a.percent), a.alpha) << a.percent;

    TPixels dst(3, 2, MakePix(0, 100, 200));
    TPixels src(2, 2, MakePix(255, 0, 100));
    const TPixels before = dst;
    BlendOnto(dst, src, 2, 1, 0);
    EXPECT_EQ(dst.Data, before.Data);
    BlendOnto(dst, src, 2, 1, 128);
    // Only (2,1) overlaps: (128*255 + 128*0)/256 = 127, (128*0 + 128*100)/256 = 50,
    // (128*100 + 128*200)/256 = 150.
    EXPECT_EQ(dst.At(2, 1), MakePix(127, 50, 150));
    EXPECT_EQ(dst.At(1, 1), before.At(1, 1));
    EXPECT_EQ(dst.At(2, 0), before.At(2, 0));
    BlendOnto(dst, src, -1, -1, 64);
    // (0,0) = src(1,1): (64*255 + 192*0)/256 = 63.
    EXPECT_EQ(PixR(dst.At(0, 0)), 63);
    EXPECT_EQ(dst.At(1, 0), before.At(1, 0));
}

TEST(PixelResample, LagrangeEnlargement)
{
    struct {
        std::vector<int> in;
        int n2;
        std::vector<int> want;
    } cases[] = {
        // s = d/2. Interior half steps of a ramp are exact; at the ends the clamped
        // neighbour bends the curve: d=1 gives 4.375 -> 4, d=5 gives 25.625 -> 26.
        {{0, 10, 20, 30}, 7, {0, 4, 10, 15, 20, 26, 30}},
        // A step overshoots and is clamped: f = 0.5 between 0 and 255 at i = 1.
        // -0.0625*0 + 0.5625*0 + 0.5625*255 - 0.0625*255 = 127.5 -> 128.
        {{0, 0, 255, 255}, 7, {0, 0, 0, 128, 255, 255, 255}},
        // A flat line stays flat although the rounded weights need not sum to exactly 1.
        {{100, 100}, 4, {100, 100, 100, 100}},
    };
    for (const auto& c : cases) {
        std::vector<int> out(c.n2);
        ResampleLine(c.in.data(), static_cast<int>(c.in.size()), out.data(), c.n2);
        EXPECT_EQ(out, c.want);
    }
}

TEST(PixelResample, AreaShrinking)
{
    struct {
        std::vector<int> in;
        int n2;
        std::vector<int> want;
    } cases[] = {
        {{10, 20, 30, 41}, 2, {15, 36}},   // pairs: 15, 35.5 -> 36
        // 3 -> 2: each covers 1.5 pixels: (10 + 0.5*40)/1.5 = 20, (0.5*40 + 100)/1.5 = 80.
        {{10, 40, 100}, 2, {20, 80}},
        {{0, 255, 0, 255, 0}, 1, {102}},   // 510 / 5
    };
    for (const auto& c : cases) {
        std::vector<int> out(c.n2);
        ResampleLine(c.in.data(), static_cast<int>(c.in.size()), out.data(), c.n2);
        EXPECT_EQ(out, c.want);
    }
}

TEST(PixelResample, AxesAndChannels)
{
    TPixels p(2, 1);
    p.At(0, 0) = MakePix(0, 200, 10);
    p.At(1, 0) = MakePix(90, 200, 40);
    Resample(p, 1, 3);
    ASSERT_EQ(p.Width, 1);
    ASSERT_EQ(p.Height, 3);
    // Width 2 -> 1 averages; height 1 -> 3 repeats the only row.
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(p.At(0, y), MakePix(45, 200, 25)) << y;
    TPixels empty;
    Resample(empty, 5, 5);
    EXPECT_TRUE(empty.Empty());
}

TEST(PixelFades, Limits)
{
    TPixels p(1, 1, MakePix(10, 128, 250));
    TPixels dark = p, light = p;
    FadeDarken(dark, 100);
    FadeLighten(light, 100);
    EXPECT_EQ(dark.At(0, 0), MakePix(10, 100, 100));
    EXPECT_EQ(light.At(0, 0), MakePix(100, 128, 250));
}

TEST(PixelBuffer, OversizedPictureIsRefused)
{
    // Refused with the memory message before anything is allocated: beyond the
    // address space, and also beyond the 1 GiB one command may build.
    for (int side : {0x7FFFFFFF, 16385}) {
        try {
            TPixels p(side, 16384);
            ADD_FAILURE() << side << " x 16384 was built";
        } catch (const EPoru& e) {
            EXPECT_EQ(e.Message, "メモリが足りません。作ろうとした文字列が大きすぎます。");
        }
    }
    EXPECT_EQ(TPixels(300, 200).Data.size(), 60000u);
    EXPECT_TRUE(TPixels(0, 5).Empty());
}

// ---- the colour commands ----

struct Colours : ::testing::Test {
    TPoruBase st;
    void SetUp() override
    {
        st.FileName = "t.prk";
        st.Source = "";
        st.PrepareRun();
    }
    // Runs a command's handler with arguments given in template order; returns the
    // message it raises, or its result.
    std::string Run(const char* name, std::vector<const char*> args)
    {
        THashNode* node = st.Words.FindExact(name);
        EXPECT_NE(node, nullptr) << name;
        if (!node)
            return "";
        for (const char* a : args)
            st.Args.Push(a);
        st.CurrentCommand = node;
        try {
            GetHandler(node->Id)(st);
        } catch (const EPoru& e) {
            return e.Message;
        }
        return st.Sys.Sore->Value;
    }
};

TEST_F(Colours, RgbAndCmyk)
{
    struct {
        const char* expr;
        const char* want;
    } cases[] = {
        {"RGB(255,0,0)", "255"},          {"RGB(0,0,255)", "16711680"},    {"RGB(256,0,0)", "0"},
        {"RGB(1,2,3)", "197121"},         {"RGB(257.9,0,0)", "1"},         {"RGB(0,300,0)", "11264"},
        {"CMYK(0,0,0,0)", "16777215"},    {"CMYK(255,0,0,0)", "16776960"}, {"CMYK(100,0,0,155)", "6579200"},
        {"CMYK(10,20,30,5)", "14477040"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(st.CalculateText(c.expr), c.want) << c.expr;
}

TEST_F(Colours, Errors)
{
    struct {
        const char* name;
        std::vector<const char*> args;
        const char* message;
    } cases[] = {
        {"RGB", {"-1", "0", "0"}, "範囲チェックエラー"},
        {"RGB", {"0", "0", "-2"}, "\"RGB\"命令の引数に誤りがあります。"},
        {"CMYK", {"256", "0", "0", "0"}, "範囲チェックエラー"},
        {"CMYK", {"0", "0", "0", "-1"}, "範囲チェックエラー"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Run(c.name, c.args), std::string("[エラー] t.prk(0行目): ") + c.message) << c.name;
}

}   // namespace
