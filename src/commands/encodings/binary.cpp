// Typed byte access and the hexadecimal dump (see binary.h).
#include "commands/encodings/binary.h"

#include <cmath>
#include <cstdint>

namespace {

size_t FormSize(TBinaryForm f)
{
    switch (f) {
    case TBinaryForm::Char:
    case TBinaryForm::Byte:
        return 1;
    case TBinaryForm::Word:
        return 2;
    case TBinaryForm::DWord:
    case TBinaryForm::Int:
        return 4;
    default:
        return 0;
    }
}

std::string PosText(long double v)
{
    return std::to_string(static_cast<long long>(v));
}

// The 0-based offset of a 1-based position; checks that `size` bytes fit.
size_t Offset(size_t length, long double pos, size_t size, const char* command)
{
    long double p = std::trunc(pos);
    if (!(p >= 1))
        p = 1;
    if (p > static_cast<long double>(length) || static_cast<long double>(size) > length - (p - 1))
        throw EBinary(std::string(command) + "で、位置" + PosText(p) + "から" + std::to_string(size) +
                      "バイトは、変数の大きさ(" + std::to_string(length) + "バイト)を超えています。");
    return static_cast<size_t>(p) - 1;
}

}   // namespace

TBinaryForm BinaryFormOf(std::string_view name)
{
    std::string u(name);
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    if (u == "CHAR")
        return TBinaryForm::Char;
    if (u == "BYTE")
        return TBinaryForm::Byte;
    if (u == "WORD")
        return TBinaryForm::Word;
    if (u == "DWORD")
        return TBinaryForm::DWord;
    if (u == "INT")
        return TBinaryForm::Int;
    if (u == "CHAR*")
        return TBinaryForm::CharZ;
    return TBinaryForm::Unknown;
}

bool BinaryRead(std::string_view data, long double pos, TBinaryForm form, TBinaryValue& out)
{
    if (form == TBinaryForm::Unknown)
        return false;
    const char* cmd = "バイナリ取得";
    if (form == TBinaryForm::CharZ) {
        size_t at = Offset(data.size(), pos, 0, cmd);
        size_t end = data.find('\0', at);
        out.IsNumber = false;
        out.Text.assign(data.substr(at, (end == std::string_view::npos ? data.size() : end) - at));
        return true;
    }
    size_t at = Offset(data.size(), pos, FormSize(form), cmd);
    auto byte = [&](size_t k) -> uint32_t { return static_cast<unsigned char>(data[at + k]); };
    out.IsNumber = form != TBinaryForm::Char;
    switch (form) {
    case TBinaryForm::Char:
        out.Text.assign(1, data[at]);
        break;
    case TBinaryForm::Byte:
        out.Number = byte(0);
        break;
    case TBinaryForm::Word:
        out.Number = byte(0) | byte(1) << 8;
        break;
    case TBinaryForm::DWord:
        out.Number = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
        break;
    case TBinaryForm::Int:
        out.Number = static_cast<int32_t>(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
        break;
    default:
        break;
    }
    return true;
}

bool BinaryWrite(std::string& data, long double pos, TBinaryForm form, std::string_view text, long double number)
{
    if (form == TBinaryForm::Unknown)
        return false;
    const char* cmd = "バイナリ設定";
    if (form == TBinaryForm::CharZ) {
        size_t at = Offset(data.size(), pos, text.size() + 1, cmd);
        data.replace(at, text.size(), text);
        data[at + text.size()] = '\0';
        return true;
    }
    size_t at = Offset(data.size(), pos, FormSize(form), cmd);
    const long double n = std::trunc(number);
    auto range = [&](long double lo, long double hi, const char* name) {
        if (!(n >= lo && n <= hi))
            throw EBinary(std::string(cmd) + "で、値" + std::string(text) + "は" + name + "形式の範囲外です。");
    };
    uint32_t v = 0;
    switch (form) {
    case TBinaryForm::Char:
        data[at] = text.empty() ? '\0' : text[0];
        return true;
    case TBinaryForm::Byte:
        range(-9.2e18L, 9.2e18L, "BYTE");
        data[at] = static_cast<char>(static_cast<int64_t>(n) & 0xFF);
        return true;
    case TBinaryForm::Word:
        range(0, 4294967295.0L, "WORD");
        v = static_cast<uint32_t>(n);
        break;
    case TBinaryForm::DWord:
        range(0, 4294967295.0L, "DWORD");
        v = static_cast<uint32_t>(n);
        break;
    case TBinaryForm::Int:
        range(-2147483648.0L, 2147483647.0L, "INT");
        v = static_cast<uint32_t>(static_cast<int32_t>(n));
        break;
    default:
        return false;
    }
    for (size_t k = 0; k < FormSize(form); ++k)
        data[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    return true;
}

std::string BinaryDump(std::string_view data)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 3 + data.size() / 16 * 2);
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out += kHex[c >> 4];
        out += kHex[c & 15];
        if ((i + 1) % 16 == 0)
            out += "\r\n";
        else
            out += ',';
    }
    return out;
}
