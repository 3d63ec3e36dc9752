#include "gui/text_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

#include <cmath>

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/text_layout.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

struct TFaceMapping {
    const char* classic;
    const char* family;
};

const TFaceMapping kFaceMappings[] = {
    {"ＭＳ ゴシック", "IPAGothic"}, {"ＭＳ 明朝", "IPAMincho"},     {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},  {"MS UI Gothic", "IPAPGothic"},
};

const QString kFullSpace = QStringLiteral("\u3000");
const QString kFullBar = QStringLiteral("｜");

// Upper case and full-width form: printable ASCII moves to U+FF01..U+FF5E, a space
// becomes the full-width space, half-width katakana becomes full-width katakana.
QString ToUpperFull(const QString& text)
{
    QString upper = text.toUpper();
    QString out;
    out.reserve(upper.size());
    for (QChar ch : upper) {
        char16_t c = ch.unicode();
        if (c == u' ')
            out += kFullSpace;
        else if (c > 0x20 && c < 0x7F)
            out += QChar(char16_t(c + 0xFEE0));
        else if (c >= 0xFF61 && c <= 0xFF9F)
            out += QString(ch).normalized(QString::NormalizationForm_KC);
        else
            out += ch;
    }
    // Half-width voiced marks come out as separate combining marks; compose them.
    return out.normalized(QString::NormalizationForm_C);
}

QString FieldText(const QString& field)
{
    QString t = field;
    t.replace(kFullSpace, QStringLiteral(" "));
    return t.trimmed();
}

QString SjisWord(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const std::string& VarName(int which)
{
    static const std::string names[3] = {Utf8ToSjis("文字書体"), Utf8ToSjis("文字サイズ"), Utf8ToSjis("文字色")};
    return names[which];
}

std::string VarValue(TPoruBase& st, int which)
{
    THashNode* node = st.Words.FindExact(VarName(which));
    return node ? node->Value : std::string();
}

}   // namespace

QString FaceComparisonForm(const QString& face)
{
    QString t = ToUpperFull(face);
    t.remove(kFullSpace);
    return t;
}

const QStringList& InstalledFaces()
{
    static const QStringList faces = [] {
        QStringList list;
        for (const TFaceMapping& m : kFaceMappings)
            list << SjisWord(m.classic);
        list << QFontDatabase::families();
        return list;
    }();
    return faces;
}

TFontDesc ParseFontText(const QString& text, const QStringList& installed)
{
    TFontDesc out;
    QString whole = ToUpperFull(text);
    QString face, style, size;
    int bar = whole.indexOf(kFullBar);
    if (bar < 0) {
        face = whole;
    } else {
        face = whole.left(bar);
        QString rest = whole.mid(bar + 1);
        int bar2 = rest.indexOf(kFullBar);
        if (bar2 < 0) {
            style = rest;
        } else {
            style = rest.left(bar2);
            size = rest.mid(bar2 + 1);
        }
    }
    face = FieldText(face);
    style = FieldText(style);

    QString key = FaceComparisonForm(face);
    out.Face = SjisWord(kFaceMappings[0].classic);
    if (!key.isEmpty()) {
        for (const QString& candidate : installed) {
            if (FaceComparisonForm(candidate) == key) {
                out.Face = candidate;
                break;
            }
        }
    }

    if (!style.isEmpty()) {
        auto has = [&](const char* word) { return style.contains(QString::fromUtf8(word)); };
        out.Bold = has("ボールド") || has("太字");
        out.Italic = has("イタリック") || has("傾斜") || has("斜体");
        out.Underline = has("罫線") || has("下線") || has("アンダーライン");
    }

    // The size field was made full-width with the rest; read its digits back.
    QString digits = size.normalized(QString::NormalizationForm_KC).trimmed();
    if (!digits.isEmpty()) {
        long double v = ToNumber(QStringToSjis(digits));
        if (std::isfinite(static_cast<double>(v)) && v > 0 && v < 100000)
            out.Size = static_cast<int>(v);
    }
    return out;
}

QString MapFaceName(const QString& face)
{
    QString key = FaceComparisonForm(face);
    for (const TFaceMapping& m : kFaceMappings)
        if (FaceComparisonForm(SjisWord(m.classic)) == key)
            return QString::fromUtf8(m.family);
    return face;
}

void InstallFaceSubstitutions()
{
    for (const TFaceMapping& m : kFaceMappings)
        QFont::insertSubstitution(SjisWord(m.classic), QString::fromUtf8(m.family));
}

QFont FontFromDesc(const TFontDesc& desc, int defaultSize)
{
    QFont font(MapFaceName(desc.Face));
    int size = desc.Size > 0 ? desc.Size : defaultSize;
    if (size <= 0)
        size = 12;
    font.setPointSize(size);
    font.setBold(desc.Bold);
    font.setItalic(desc.Italic);
    font.setUnderline(desc.Underline);
    return font;
}

QColor ColourFromValue(int32_t value)
{
    uint32_t u = static_cast<uint32_t>(value);
    if ((u & 0xFF000000u) == 0x80000000u) {
        QPalette pal = QGuiApplication::palette();
        switch (u & 0xFF) {
        case 1:
            return QColor(Qt::black);   // desktop
        case 2:
        case 3:
            return pal.color(QPalette::Highlight);   // caption bars
        case 4:
        case 15:
        case 22:
            return pal.color(QPalette::Button);   // menu, button face
        case 5:
            return pal.color(QPalette::Base);   // window
        case 6:
            return pal.color(QPalette::Dark);   // window frame
        case 7:
        case 8:
            return pal.color(QPalette::Text);   // menu text, window text
        case 9:
            return pal.color(QPalette::HighlightedText);   // caption text
        case 12:
            return pal.color(QPalette::Window);   // application workspace
        case 13:
            return pal.color(QPalette::Highlight);
        case 14:
            return pal.color(QPalette::HighlightedText);
        case 16:
            return pal.color(QPalette::Mid);   // button shadow
        case 17:
            return pal.color(QPalette::Disabled, QPalette::Text);   // grey text
        case 18:
            return pal.color(QPalette::ButtonText);
        case 20:
            return pal.color(QPalette::Light);   // button highlight
        case 21:
            return pal.color(QPalette::Shadow);
        case 23:
            return pal.color(QPalette::ToolTipText);
        case 24:
            return pal.color(QPalette::ToolTipBase);
        default:
            return pal.color(QPalette::Window);
        }
    }
    return QColor(u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
}

int32_t ValueFromColour(const QColor& colour)
{
    return colour.red() + 256 * colour.green() + 65536 * colour.blue();
}

QFont CurrentTextFont(TPoruBase& st)
{
    TFontDesc desc = ParseFontText(SjisToQString(VarValue(st, 0)), InstalledFaces());
    int defaultSize = ToIntOrDefault(TrimView(VarValue(st, 1)), 12);
    return FontFromDesc(desc, defaultSize);
}

QColor CurrentTextColour(TPoruBase& st)
{
    return ColourFromValue(ParseColourText(VarValue(st, 2), 0));
}
