// Picture filters, blending and resampling over a plain pixel buffer. Pixels are
// 32-bit words 0xAARRGGBB (the layout of a 32-bit window picture), so a window
// picture is copied in and out row by row. Every formula works channel by channel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct TPixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Data;   // row-major, Width words per row

    TPixels() = default;
    // A picture of w x h pixels, all `fill`. Sizes whose byte count would overflow
    // are refused with std::length_error.
    TPixels(int w, int h, uint32_t fill = 0xFF000000u);

    bool Empty() const { return Width <= 0 || Height <= 0; }
    uint32_t& At(int x, int y) { return Data[static_cast<size_t>(y) * Width + x]; }
    uint32_t At(int x, int y) const { return Data[static_cast<size_t>(y) * Width + x]; }
};

// Channel access of a pixel word.
inline int PixR(uint32_t p)
{
    return (p >> 16) & 0xFF;
}
inline int PixG(uint32_t p)
{
    return (p >> 8) & 0xFF;
}
inline int PixB(uint32_t p)
{
    return p & 0xFF;
}
inline int PixA(uint32_t p)
{
    return (p >> 24) & 0xFF;
}
inline uint32_t MakePix(int r, int g, int b, int a = 255)
{
    return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}
// A colour value (R + 256*G + 65536*B) as a pixel word and back.
inline uint32_t PixFromColour(int32_t c)
{
    return MakePix(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline int32_t ColourFromPix(uint32_t p)
{
    return PixR(p) + 256 * PixG(p) + 65536 * PixB(p);
}

// ---- filters (each changes the picture in place) ----
void FlipVertical(TPixels& pic);
void FlipHorizontal(TPixels& pic);
// Turned 90 degrees clockwise: the width and height are exchanged.
void RotateRight(TPixels& pic);
void Negate(TPixels& pic);
// Grey (R*30 + G*59 + B*11) / 100, rounded half to even.
void Greyscale(TPixels& pic);
void Solarize(TPixels& pic);
// c + n clamped, for n in -255..255 other than 0; other n change nothing.
void Brightness(TPixels& pic, double n);
// round(255 * (c/255)^(g/2.2)), for g in 0.75..3 other than 2.2; other g change nothing.
void Gamma(TPixels& pic, double g);
// Turned about (w div 2, h div 2) by half of n degrees, clockwise on the screen;
// pixels that no source pixel covers become `uncovered`.
void RotateHalfDegrees(TPixels& pic, double n, uint32_t uncovered = 0xFFFFFFFFu);
// 8 * c minus the eight neighbours, clamped; the outermost pixels stay.
void EdgeDetect(TPixels& pic);
// Box blur of radius r, written back in place row by row (r <= 0 changes nothing).
void BoxBlur(TPixels& pic, int r);
// Sharpening with strength s (0..255), in place, the outermost pixels unchanged.
void Sharpen(TPixels& pic, int s);
// Sepia toning through the colour value `colour`.
void Sepia(TPixels& pic, int32_t colour);
// The sepia table of one component (256 entries).
void SepiaTable(int component, int table[256]);

// Blends `src` onto `dst` with its top-left corner at x, y: every byte of the
// overlap becomes (alpha*s + (256-alpha)*t) div 256; alpha 0 changes nothing.
void BlendOnto(TPixels& dst, const TPixels& src, int x, int y, int alpha);
// The opacity of a percentage: percent / 100 * 256 truncated, at most 255.
int AlphaFromPercent(double percent);

// Resampling: the width first, then the height; enlarging by four-point Lagrange
// interpolation, shrinking by area averaging. An empty picture stays empty.
void Resample(TPixels& pic, int newWidth, int newHeight);
// One axis of one channel: `count` samples of `in` resampled into `newCount`
// samples of `out` (the same rules as Resample).
void ResampleLine(const int* in, int count, int* out, int newCount);

// Fades: every colour byte above `limit` becomes `limit` (darkening), or every
// colour byte below `limit` becomes `limit` (lightening).
void FadeDarken(TPixels& pic, int limit);
void FadeLighten(TPixels& pic, int limit);

// ---- colours ----
// The colour value of R, G and B (each 0..255).
inline int32_t RgbValue(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}
// The colour value of C, M, Y and K (each 0..255): R = 255 - (c + k) and so on,
// 0 when the sum exceeds 254.
int32_t CmykValue(int c, int m, int y, int k);
