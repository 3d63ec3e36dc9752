#include "commands/drawing/pixels.h"

#include "commands/strings/strings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

inline int Clamp255(int64_t v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

// Applies a per-channel table to R, G and B of every pixel.
void ApplyTable(TPixels& pic, const int table[256])
{
    for (uint32_t& p : pic.Data)
        p = MakePix(table[PixR(p)], table[PixG(p)], table[PixB(p)], PixA(p));
}

}   // namespace

TPixels::TPixels(int w, int h, uint32_t fill)
{
    if (w <= 0 || h <= 0)
        return;
    // A picture counts against the limit of what one command may build.
    sjistext::CheckTextSize(static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * sizeof(uint32_t));
    Width = w;
    Height = h;
    Data.assign(static_cast<size_t>(w) * h, fill);
}

void FlipVertical(TPixels& pic)
{
    for (int y = 0; y < pic.Height / 2; ++y)
        std::swap_ranges(&pic.At(0, y), &pic.At(0, y) + pic.Width, &pic.At(0, pic.Height - 1 - y));
}

void FlipHorizontal(TPixels& pic)
{
    for (int y = 0; y < pic.Height; ++y)
        std::reverse(&pic.At(0, y), &pic.At(0, y) + pic.Width);
}

void RotateRight(TPixels& pic)
{
    if (pic.Empty())
        return;
    TPixels out(pic.Height, pic.Width);
    // The new pixel (x, y) is the old pixel (y, H-1-x): the left column becomes the top row.
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.At(x, y) = pic.At(y, pic.Height - 1 - x);
    pic = std::move(out);
}

void Negate(TPixels& pic)
{
    for (uint32_t& p : pic.Data)
        p ^= 0x00FFFFFFu;
}

void Greyscale(TPixels& pic)
{
    for (uint32_t& p : pic.Data) {
        const int sum = PixR(p) * 30 + PixG(p) * 59 + PixB(p) * 11;
        int q = sum / 100;
        const int rem = sum % 100;
        if (rem > 50 || (rem == 50 && (q & 1)))
            ++q;
        q = Clamp255(q);
        p = MakePix(q, q, q, PixA(p));
    }
}

void Solarize(TPixels& pic)
{
    int table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = std::min(c, 255 - c);
    ApplyTable(pic, table);
}

void Brightness(TPixels& pic, double n)
{
    if (!(n >= -255 && n <= 255) || n == 0)
        return;
    const int add = static_cast<int>(n);
    int table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = Clamp255(c + add);
    ApplyTable(pic, table);
}

void Gamma(TPixels& pic, double g)
{
    if (!(g >= 0.75 && g <= 3) || g == 2.2)
        return;
    const double e = g / 2.2;
    int table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = Clamp255(static_cast<int64_t>(std::nearbyint(255.0 * std::pow(c / 255.0, e))));
    ApplyTable(pic, table);
}

void RotateHalfDegrees(TPixels& pic, double n, uint32_t uncovered)
{
    if (pic.Empty() || n == 0 || !std::isfinite(n))
        return;
    const double theta = M_PI / (360.0 / n);
    const int64_t c = std::llround(std::cos(theta) * 1024);
    const int64_t s = std::llround(std::sin(theta) * 1024);
    const int cx = pic.Width / 2, cy = pic.Height / 2;
    TPixels out(pic.Width, pic.Height);
    for (int y = 0; y < pic.Height; ++y) {
        const int64_t dy = y - cy;
        for (int x = 0; x < pic.Width; ++x) {
            const int64_t dx = x - cx;
            // The source of a destination pixel: the inverse turn.
            const int64_t sx = cx + ((dx * c + dy * s + 512) >> 10);
            const int64_t sy = cy + ((-dx * s + dy * c + 512) >> 10);
            out.At(x, y) = (sx >= 0 && sx < pic.Width && sy >= 0 && sy < pic.Height)
                               ? pic.At(static_cast<int>(sx), static_cast<int>(sy))
                               : uncovered;
        }
    }
    pic = std::move(out);
}

void EdgeDetect(TPixels& pic)
{
    if (pic.Width < 3 || pic.Height < 3)
        return;
    TPixels out = pic;
    for (int y = 1; y < pic.Height - 1; ++y)
        for (int x = 1; x < pic.Width - 1; ++x) {
            int sum[3] = {0, 0, 0};
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const uint32_t q = pic.At(x + i, y + j);
                    const int w = (i == 0 && j == 0) ? 8 : -1;
                    sum[0] += w * PixR(q);
                    sum[1] += w * PixG(q);
                    sum[2] += w * PixB(q);
                }
            out.At(x, y) = MakePix(Clamp255(sum[0]), Clamp255(sum[1]), Clamp255(sum[2]), PixA(pic.At(x, y)));
        }
    pic = std::move(out);
}

void BoxBlur(TPixels& pic, int r)
{
    if (r <= 0 || pic.Empty())
        return;
    const int w = pic.Width, h = pic.Height;
    // Column sums over the rows of the current square, kept up to date with every
    // pixel written, so that each mean sees the pixels already changed.
    std::vector<int64_t> col(static_cast<size_t>(w) * 3, 0);
    auto addRow = [&](int y, int sign) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pic.At(x, y);
            col[x * 3] += sign * PixR(p);
            col[x * 3 + 1] += sign * PixG(p);
            col[x * 3 + 2] += sign * PixB(p);
        }
    };
    for (int y = 0; y <= std::min(h - 1, r); ++y)
        addRow(y, 1);
    for (int y = 0; y < h; ++y) {
        const int rows = std::min(h - 1, y + r) - std::max(0, y - r) + 1;
        int64_t win[3] = {0, 0, 0};
        for (int x = 0; x <= std::min(w - 1, r); ++x)
            for (int k = 0; k < 3; ++k)
                win[k] += col[x * 3 + k];
        for (int x = 0; x < w; ++x) {
            const int cols = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
            const int64_t count = static_cast<int64_t>(rows) * cols;
            uint32_t& p = pic.At(x, y);
            const int old[3] = {PixR(p), PixG(p), PixB(p)};
            int now[3];
            for (int k = 0; k < 3; ++k) {
                now[k] = static_cast<int>(win[k] / count);
                const int delta = now[k] - old[k];
                col[x * 3 + k] += delta;
                win[k] += delta;
            }
            p = MakePix(now[0], now[1], now[2], PixA(p));
            // Slide the square one column to the right.
            for (int k = 0; k < 3; ++k) {
                if (x + r + 1 < w)
                    win[k] += col[(x + r + 1) * 3 + k];
                if (x - r >= 0)
                    win[k] -= col[(x - r) * 3 + k];
            }
        }
        // Slide the square one row down: the top row leaves (as changed), the new
        // bottom row enters (still unchanged).
        if (y - r >= 0)
            addRow(y - r, -1);
        if (y + r + 1 < h)
            addRow(y + r + 1, 1);
    }
}

void Sharpen(TPixels& pic, int s)
{
    for (int y = 1; y < pic.Height - 1; ++y)
        for (int x = 1; x < pic.Width - 1; ++x) {
            int sum[3] = {0, 0, 0};
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const uint32_t q = pic.At(x + i, y + j);
                    sum[0] += PixR(q);
                    sum[1] += PixG(q);
                    sum[2] += PixB(q);
                }
            uint32_t& p = pic.At(x, y);
            const int c[3] = {PixR(p), PixG(p), PixB(p)};
            int out[3];
            for (int k = 0; k < 3; ++k) {
                const int hv = Clamp255((11 * c[k] - sum[k]) / 2);
                out[k] = (hv * s) / 256 + (c[k] * (255 - s)) / 256;
            }
            p = MakePix(out[0], out[1], out[2], PixA(p));
        }
}

void SepiaTable(int component, int table[256])
{
    for (int v = 0; v < 128; ++v) {
        table[v] = (v * component) / 128;
        table[128 + v] = (v * 255) / 128 + ((127 - v) * component) / 128;
    }
}

void Sepia(TPixels& pic, int32_t colour)
{
    int tr[256], tg[256], tb[256];
    SepiaTable(colour & 0xFF, tr);
    SepiaTable((colour >> 8) & 0xFF, tg);
    SepiaTable((colour >> 16) & 0xFF, tb);
    for (uint32_t& p : pic.Data) {
        const int l = (PixR(p) + PixG(p) + PixB(p)) / 3;
        p = MakePix(tr[l], tg[l], tb[l], PixA(p));
    }
}

int AlphaFromPercent(double percent)
{
    const double a = percent / 100.0 * 256.0;
    if (!(a > 0))
        return 0;
    return a >= 255 ? 255 : static_cast<int>(a);
}

void BlendOnto(TPixels& dst, const TPixels& src, int x, int y, int alpha)
{
    if (alpha <= 0 || dst.Empty() || src.Empty())
        return;
    alpha = std::min(alpha, 256);
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = static_cast<int>(std::min<int64_t>(dst.Width, static_cast<int64_t>(x) + src.Width));
    const int y1 = static_cast<int>(std::min<int64_t>(dst.Height, static_cast<int64_t>(y) + src.Height));
    for (int ty = y0; ty < y1; ++ty)
        for (int tx = x0; tx < x1; ++tx) {
            const uint32_t s = src.At(tx - x, ty - y);
            uint32_t& t = dst.At(tx, ty);
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t sb = (s >> shift) & 0xFF, tb = (t >> shift) & 0xFF;
                out |= ((alpha * sb + (256 - alpha) * tb) / 256) << shift;
            }
            t = out;
        }
}

void ResampleLine(const int* in, int count, int* out, int newCount)
{
    if (newCount == count) {
        std::copy(in, in + count, out);
        return;
    }
    if (newCount > count) {
        // Four-point Lagrange interpolation with 20-bit fixed-point weights.
        const int64_t span = newCount - 1;
        for (int d = 0; d < newCount; ++d) {
            const int64_t num = static_cast<int64_t>(count - 1) * d;
            const int64_t i = num / span;
            const double f = static_cast<double>(num % span) / static_cast<double>(span);
            const double wf[4] = {
                -f * (f - 1) * (f - 2) / 6,
                (f + 1) * (f - 1) * (f - 2) / 2,
                -(f + 1) * f * (f - 2) / 2,
                (f + 1) * f * (f - 1) / 6,
            };
            int64_t sum = 0;
            for (int k = 0; k < 4; ++k) {
                const int64_t j = std::clamp<int64_t>(i - 1 + k, 0, count - 1);
                sum += std::llround(wf[k] * (1 << 20)) * in[j];
            }
            out[d] = Clamp255((sum + (1 << 19)) >> 20);
        }
        return;
    }
    // Area averaging: each destination pixel covers count / newCount source pixels,
    // each weighted by its covered part (18 fraction bits).
    const int64_t one = int64_t(1) << 18;
    for (int d = 0; d < newCount; ++d) {
        const int64_t start = static_cast<int64_t>(d) * count * one / newCount;
        const int64_t end = static_cast<int64_t>(d + 1) * count * one / newCount;
        int64_t sum = 0, total = 0;
        for (int64_t j = start / one; j < count && j * one < end; ++j) {
            const int64_t lo = std::max(start, j * one), hi = std::min(end, (j + 1) * one);
            sum += (hi - lo) * in[j];
            total += hi - lo;
        }
        out[d] =
            total > 0 ? static_cast<int>((sum + total / 2) / total) : in[std::min<int64_t>(start / one, count - 1)];
    }
}

void Resample(TPixels& pic, int newWidth, int newHeight)
{
    if (pic.Empty())
        return;
    if (newWidth <= 0 || newHeight <= 0) {
        pic = TPixels();
        return;
    }
    std::vector<int> in, out;
    if (newWidth != pic.Width) {
        TPixels next(newWidth, pic.Height);
        in.resize(pic.Width);
        out.resize(newWidth);
        for (int y = 0; y < pic.Height; ++y) {
            for (int shift = 0; shift <= 16; shift += 8) {
                for (int x = 0; x < pic.Width; ++x)
                    in[x] = (pic.At(x, y) >> shift) & 0xFF;
                ResampleLine(in.data(), pic.Width, out.data(), newWidth);
                for (int x = 0; x < newWidth; ++x)
                    next.At(x, y) |= static_cast<uint32_t>(out[x]) << shift;
            }
        }
        pic = std::move(next);
    }
    if (newHeight != pic.Height) {
        TPixels next(pic.Width, newHeight);
        in.resize(pic.Height);
        out.resize(newHeight);
        for (int x = 0; x < pic.Width; ++x)
            for (int shift = 0; shift <= 16; shift += 8) {
                for (int y = 0; y < pic.Height; ++y)
                    in[y] = (pic.At(x, y) >> shift) & 0xFF;
                ResampleLine(in.data(), pic.Height, out.data(), newHeight);
                for (int y = 0; y < newHeight; ++y)
                    next.At(x, y) |= static_cast<uint32_t>(out[y]) << shift;
            }
        pic = std::move(next);
    }
}

void FadeDarken(TPixels& pic, int limit)
{
    int table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = std::min(c, limit);
    ApplyTable(pic, table);
}

void FadeLighten(TPixels& pic, int limit)
{
    int table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = std::max(c, limit);
    ApplyTable(pic, table);
}

int32_t CmykValue(int c, int m, int y, int k)
{
    auto part = [k](int v) { return v + k > 254 ? 0 : 255 - (v + k); };
    return RgbValue(part(c), part(m), part(y));
}
