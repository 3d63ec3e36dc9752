// Width, case and kana tables over Shift_JIS (CP932).
//
// What maps to what:
//
// * ASCII <-> full width (kFullAscii). Each printable ASCII byte 0x20-0x7E has one
//   two-byte form from JIS X 0208 row 1-3: space -> 　 (8140), digits ０-９
//   (824F-8258), letters Ａ-Ｚ (8260-8279) and ａ-ｚ (8281-829A), and the symbols of
//   the table below. The quotes take the forms a Japanese keyboard produces:
//   " -> ” (8168), ' -> ’ (8166), ` -> ‘ (8165); the byte 5C, shown as the yen
//   sign on Japanese systems, -> ￥ (818F); ~ -> ～ (8160).
// * Extra half-width sources (kExtraHalf): two-byte characters that have a one-byte
//   form but are not the chosen full-width form of it. They convert only towards
//   half width: ｀ (814D) -> `, ＼ (815F) -> 5C, “ (8167) -> ", ￣ (8150) -> ~,
//   and the CP932 extension forms ＇ (EEFB, FA56) -> ' and ＂ (EEFC, FA57) -> ".
// * One-byte katakana <-> full width (kHalfKana, 0xA1-0xDF): ｡｢｣､･ -> 。「」、・,
//   ｦ-ﾝ -> ヲ-ン with the small forms ｧｨｩｪｫｬｭｮｯ -> ァィゥェォャュョッ, ｰ -> ー, and
//   the marks ﾞ ﾟ -> ゛ ゜. ヮ ヰ ヱ ヵ ヶ have no one-byte form and stay.
// * Voiced and semi-voiced katakana (kVoiced, kSemiVoiced): a voiced katakana is
//   split into its one-byte base and ﾞ (ガ -> ｶﾞ, ヴ -> ｳﾞ), a semi-voiced one into
//   its base and ﾟ (パ -> ﾊﾟ); towards full width such a pair merges back.
// * Hiragana <-> katakana: ぁ-み (829F-82DD) <-> ァ-ミ (8340-837E) and む-ん
//   (82DE-82F1) <-> ム-ン (8380-8393) (the katakana rows skip the trail byte 7F);
//   ゝ ゞ (8154, 8155) <-> ヽ ヾ (8152, 8153).
// * Case: a-z <-> A-Z, ａ-ｚ (8281-829A) <-> Ａ-Ｚ (8260-8279), Greek α-ω
//   (83BF-83D6) <-> Α-Ω (839F-83B6), Cyrillic а-я (8470-847E, 8480-8491) <->
//   А-Я (8440-844E, 844F-8460).
#include "commands/strings/kana.h"

#include <array>

#include "core/sjis.h"

namespace {

// Two-byte forms of ASCII 0x20-0x7E.
constexpr uint16_t kFullAscii[95] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,   //  !"#$%&'
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,   // ()*+,-./
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,   // 01234567
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,   // 89:;<=>?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,   // @ABCDEFG
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,   // HIJKLMNO
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,   // PQRSTUVW
    0x8277, 0x8278, 0x8279, 0x816D, 0x818F, 0x816E, 0x814F, 0x8151,   // XYZ[\]^_
    0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,   // `abcdefg
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,   // hijklmno
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,   // pqrstuvw
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,           // xyz{|}~
};

struct ExtraHalf {
    uint16_t code;
    unsigned char half;
};
constexpr ExtraHalf kExtraHalf[] = {
    {0x814D, '`'},  {0x815F, 0x5C}, {0x8167, '"'}, {0x8150, '~'},
    {0xEEFB, '\''}, {0xFA56, '\''}, {0xEEFC, '"'}, {0xFA57, '"'},
};

// Two-byte forms of the one-byte katakana 0xA1-0xDF.
constexpr uint16_t kHalfKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,   // ｡｢｣､･ｦｧｨ
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,   // ｩｪｫｬｭｮｯｰ
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,   // ｱｲｳｴｵｶｷｸ
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,   // ｹｺｻｼｽｾｿﾀ
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,   // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,   // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,   // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,           // ﾙﾚﾛﾜﾝﾞﾟ
};

// The voiced (ﾞ) and semi-voiced (ﾟ) two-byte forms of the one-byte katakana,
// 0 where none exists.
constexpr uint16_t kVoiced[63] = {
    0,      0,      0,      0,      0,      0,      0,      0,        // ｡｢｣､･ｦｧｨ
    0,      0,      0,      0,      0,      0,      0,      0,        // ｩｪｫｬｭｮｯｰ
    0,      0,      0x8394, 0,      0,      0x834B, 0x834D, 0x834F,   // ｱｲｳｴｵｶｷｸ
    0x8351, 0x8353, 0x8355, 0x8357, 0x8359, 0x835B, 0x835D, 0x835F,   // ｹｺｻｼｽｾｿﾀ
    0x8361, 0x8364, 0x8366, 0x8368, 0,      0,      0,      0,        // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0,      0x836F, 0x8372, 0x8375, 0x8378, 0x837B, 0,      0,        // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0,      0,      0,      0,      0,      0,      0,      0,        // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0,      0,      0,      0,      0,      0,      0,                // ﾙﾚﾛﾜﾝﾞﾟ
};
constexpr uint16_t kSemiVoiced[63] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      0,      0,      0,      0,      0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x8370, 0x8373, 0x8376, 0x8379, 0x837C, 0, 0,   // ﾊﾋﾌﾍﾎ
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

constexpr unsigned char kDakuten = 0xDE;      // ﾞ
constexpr unsigned char kHandakuten = 0xDF;   // ﾟ

// The reverse table: two-byte code -> its one-byte form (one byte, or two bytes high
// byte first for a voiced kana), built once from the tables above.
struct HalfTable {
    std::array<uint16_t, 65536> half{};
    HalfTable()
    {
        for (int i = 0; i < 95; ++i)
            half[kFullAscii[i]] = static_cast<uint16_t>(0x20 + i);
        for (const ExtraHalf& e : kExtraHalf)
            half[e.code] = e.half;
        for (int i = 0; i < 63; ++i) {
            unsigned char b = static_cast<unsigned char>(0xA1 + i);
            half[kHalfKana[i]] = b;
            if (kVoiced[i])
                half[kVoiced[i]] = static_cast<uint16_t>(b << 8 | kDakuten);
            if (kSemiVoiced[i])
                half[kSemiVoiced[i]] = static_cast<uint16_t>(b << 8 | kHandakuten);
        }
    }
};

const HalfTable& Halves()
{
    static const HalfTable table;
    return table;
}

inline uint16_t CodeAt(std::string_view s, size_t i)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(s[i]) << 8 | static_cast<unsigned char>(s[i + 1]));
}

inline void PutCode(std::string& out, uint16_t code)
{
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

inline void PutHalf(std::string& out, uint16_t h)
{
    if (h > 0xFF)
        out += static_cast<char>(h >> 8);
    out += static_cast<char>(h & 0xFF);
}

// Applies `map` (two-byte code -> two-byte code, 0 for none) and `mapByte` (one byte
// -> one byte) character by character.
template <class Map2, class Map1> std::string MapChars(std::string_view text, Map2 map, Map1 mapByte)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (CharLenAt(text, i) == 2) {
            uint16_t c = CodeAt(text, i);
            uint16_t m = map(c);
            PutCode(out, m ? m : c);
            i += 2;
        } else {
            out += static_cast<char>(mapByte(static_cast<unsigned char>(text[i])));
            ++i;
        }
    }
    return out;
}

uint16_t UpperOf(uint16_t c)
{
    if (c >= 0x8281 && c <= 0x829A)
        return static_cast<uint16_t>(c - 0x21);
    if (c >= 0x83BF && c <= 0x83D6)
        return static_cast<uint16_t>(c - 0x20);
    if (c >= 0x8470 && c <= 0x847E)
        return static_cast<uint16_t>(c - 0x30);
    if (c >= 0x8480 && c <= 0x8491)
        return static_cast<uint16_t>(c - 0x31);
    return 0;
}

uint16_t LowerOf(uint16_t c)
{
    if (c >= 0x8260 && c <= 0x8279)
        return static_cast<uint16_t>(c + 0x21);
    if (c >= 0x839F && c <= 0x83B6)
        return static_cast<uint16_t>(c + 0x20);
    if (c >= 0x8440 && c <= 0x844E)
        return static_cast<uint16_t>(c + 0x30);
    if (c >= 0x844F && c <= 0x8460)
        return static_cast<uint16_t>(c + 0x31);
    return 0;
}

uint16_t KatakanaOf(uint16_t c)
{
    if (c >= 0x829F && c <= 0x82DD)
        return static_cast<uint16_t>(c + 0xA1);
    if (c >= 0x82DE && c <= 0x82F1)
        return static_cast<uint16_t>(c + 0xA2);
    if (c == 0x8154 || c == 0x8155)
        return static_cast<uint16_t>(c - 2);
    return 0;
}

uint16_t HiraganaOf(uint16_t c)
{
    if (c >= 0x8340 && c <= 0x837E)
        return static_cast<uint16_t>(c - 0xA1);
    if (c >= 0x8380 && c <= 0x8393)
        return static_cast<uint16_t>(c - 0xA2);
    if (c == 0x8152 || c == 0x8153)
        return static_cast<uint16_t>(c + 2);
    return 0;
}

// The characters that 英数半角変換 converts (as two-byte codes).
bool IsAlnumHalfSource(uint16_t c)
{
    if (c >= 0x824F && c <= 0x8258)
        return true;   // ０-９
    if (c >= 0x8260 && c <= 0x8279)
        return true;   // Ａ-Ｚ
    if (c >= 0x8281 && c <= 0x829A)
        return true;   // ａ-ｚ
    switch (c) {
    case 0x8149:   // ！
    case 0x8168:   // ”
    case 0x8194:   // ＃
    case 0x8190:   // ＄
    case 0x8193:   // ％
    case 0x8195:   // ＆
    case 0x8166:   // ’
    case 0x8169:   // （
    case 0x816A:   // ）
    case 0x8181:   // ＝
    case 0x817C:   // －
    case 0x818F:   // ￥
    case 0x816D:   // ［
    case 0x816E:   // ］
    case 0x816F:   // ｛
    case 0x8170:   // ｝
    case 0x8151:   // ＿
    case 0x815E:   // ／
    case 0x8184:   // ＞
    case 0x8183:   // ＜
    case 0x8143:   // ，
    case 0x8144:   // ．
    case 0x8197:   // ＠
    case 0x8165:   // ‘
    case 0x8140:   // 　
        return true;
    default:
        return false;
    }
}

}   // namespace

uint16_t HalfFormOf(uint16_t code)
{
    return Halves().half[code];
}

uint16_t FullFormOf(unsigned char c)
{
    if (c >= 0x20 && c <= 0x7E)
        return kFullAscii[c - 0x20];
    if (c >= 0xA1 && c <= 0xDF)
        return kHalfKana[c - 0xA1];
    return 0;
}

std::string ToHalfWidth(std::string_view text)
{
    const HalfTable& t = Halves();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (CharLenAt(text, i) == 2) {
            uint16_t c = CodeAt(text, i);
            uint16_t h = t.half[c];
            if (h)
                PutHalf(out, h);
            else
                PutCode(out, c);
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string ToFullWidth(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        if (CharLenAt(text, i) == 2) {
            out.append(text.data() + i, 2);
            i += 2;
            continue;
        }
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b >= 0xA1 && b <= 0xDF) {
            int k = b - 0xA1;
            if (i + 1 < text.size()) {
                unsigned char next = static_cast<unsigned char>(text[i + 1]);
                uint16_t merged = next == kDakuten ? kVoiced[k] : next == kHandakuten ? kSemiVoiced[k] : 0;
                if (merged) {
                    PutCode(out, merged);
                    i += 2;
                    continue;
                }
            }
            PutCode(out, kHalfKana[k]);
        } else if (b >= 0x20 && b <= 0x7E) {
            PutCode(out, kFullAscii[b - 0x20]);
        } else {
            out += static_cast<char>(b);
        }
        ++i;
    }
    return out;
}

std::string ToUpperCase(std::string_view text)
{
    return MapChars(text, UpperOf,
                    [](unsigned char b) { return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 32) : b; });
}

std::string ToLowerCase(std::string_view text)
{
    return MapChars(text, LowerOf,
                    [](unsigned char b) { return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b; });
}

std::string ToKatakana(std::string_view text)
{
    return MapChars(text, KatakanaOf, [](unsigned char b) { return b; });
}

std::string ToHiragana(std::string_view text)
{
    return MapChars(text, HiraganaOf, [](unsigned char b) { return b; });
}

std::string AlnumToHalf(std::string_view text)
{
    const HalfTable& t = Halves();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (CharLenAt(text, i) == 2) {
            uint16_t c = CodeAt(text, i);
            if (IsAlnumHalfSource(c))
                PutHalf(out, t.half[c]);
            else
                PutCode(out, c);
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string HalfOfFirstChar(std::string_view text)
{
    if (text.empty())
        return std::string();
    return ToHalfWidth(text.substr(0, CharLenAt(text, 0)));
}
