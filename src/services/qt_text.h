// Script values are Shift_JIS byte strings; Qt works in UTF-16. These two convert
// at the boundary, for every Qt-side file of both hosts.
#pragma once
#include <QString>
#include <string>
#include <string_view>

#include "core/codec.h"

inline QString SjisToQString(std::string_view sjis)
{
    return QString::fromStdString(SjisToUtf8(sjis));
}

inline std::string QStringToSjis(const QString& text)
{
    return Utf8ToSjis(text.toStdString());
}
