// ASCII letter case, for names that are compared without regard to it.
#pragma once

inline char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
