// The text font of the window: font texts ("face｜style｜size"), the
// mapping of the classic Japanese face names onto the installed IPA fonts, and colour
// values (R + 256*G + 65536*B, or a system colour code $800000xx).
#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class TPoruBase;

struct TFontDesc {
    QString Face;   // an installed face, in its own spelling
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    int Size = 0;   // points; 0 when the font text gives none
};

// The comparison form of a face name: upper case, full-width, without full-width
// spaces (so "ＭＳ ゴシック", "ms　ｺﾞｼｯｸ" and "MS ゴシック" compare alike).
QString FaceComparisonForm(const QString& face);

// The face names a font text may name: the fonts installed in the system plus
// the classic names that MapFaceName covers.
const QStringList& InstalledFaces();

// Reads a font text against a list of installed faces; a face that is not
// in the list becomes "ＭＳ ゴシック".
TFontDesc ParseFontText(const QString& text, const QStringList& installed);

// The font family that draws a face: the classic names map to the IPA fonts
// (ＭＳ ゴシック -> IPAGothic, ＭＳ 明朝 -> IPAMincho, ＭＳ Ｐゴシック -> IPAPGothic,
// ＭＳ Ｐ明朝 -> IPAPMincho, MS UI Gothic -> IPAPGothic); other faces are their own.
QString MapFaceName(const QString& face);

// Registers the classic names as substitutions, so widgets given them directly
// still draw with the IPA fonts.
void InstallFaceSubstitutions();

// A font from a font description; a size of 0 takes `defaultSize` points.
QFont FontFromDesc(const TFontDesc& desc, int defaultSize);

// A colour value as a colour. Values $80000000 + n are system colour codes and take
// the matching colour of the application palette.
QColor ColourFromValue(int32_t value);
// The colour value of a colour.
int32_t ValueFromColour(const QColor& colour);

// The text font and colour from the system variables 文字書体, 文字サイズ and 文字色.
QFont CurrentTextFont(TPoruBase& st);
QColor CurrentTextColour(TPoruBase& st);
