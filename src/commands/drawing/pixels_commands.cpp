// The colour commands RGB and CMYK. They need no window, so both hosts have them.
#include <cmath>

#include "commands/drawing/pixels.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

// A colour component as a truncated number (NaN and huge values count as out of range).
int64_t PopComponent(TPoruBase& st)
{
    const long double v = std::trunc(st.PopNumber());
    if (!(v > -1e15L && v < 1e15L))
        return -2;
    return static_cast<int64_t>(v);
}

// RGB: red, green, blue; a component of 256 or more keeps its low 8 bits.
void cmdRgb(TPoruBase& st)
{
    int64_t c[3];
    for (int i = 2; i >= 0; --i)
        c[i] = PopComponent(st);
    for (int64_t v : c) {
        if (v == -1)
            st.Error("範囲チェックエラー");
        if (v < -1)
            st.ArgError();
    }
    st.SetSoreNumber(
        RgbValue(static_cast<int>(c[0] & 0xFF), static_cast<int>(c[1] & 0xFF), static_cast<int>(c[2] & 0xFF)));
}

// CMYK: cyan, magenta, yellow, black, each 0..255.
void cmdCmyk(TPoruBase& st)
{
    int64_t c[4];
    for (int i = 3; i >= 0; --i)
        c[i] = PopComponent(st);
    for (int64_t v : c)
        if (v < 0 || v > 255)
            st.Error("範囲チェックエラー");
    st.SetSoreNumber(
        CmykValue(static_cast<int>(c[0]), static_cast<int>(c[1]), static_cast<int>(c[2]), static_cast<int>(c[3])));
}

HandlerRegistrar reg({{Cmd::Rgb, cmdRgb}, {Cmd::Cmyk, cmdCmyk}});

}   // namespace
