#include "commands/system/ini_file.h"

#include <algorithm>

#include "commands/files/atomic_file.h"
#include "commands/system/registry.h"
#include "core/hash.h"
#include "core/text.h"

namespace {

// "[name]" after leading blanks: the name between the bracket and the first "]",
// trimmed. False for any other line.
bool SectionName(std::string_view line, std::string& name)
{
    std::string_view t = TrimView(line);
    if (t.empty() || t[0] != '[')
        return false;
    const size_t close = t.find(']');
    name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

// "key=value": the trimmed key; false for a line without "=".
bool KeyName(std::string_view line, std::string& key, std::string_view* value = nullptr)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, eq));
    if (value)
        *value = line.substr(eq + 1);
    return true;
}

// The written form of the key in its line: everything before "=", trailing blanks
// removed (leading blanks are kept, as the line had them).
std::string_view KeyAsWritten(std::string_view line)
{
    std::string_view k = line.substr(0, line.find('='));
    while (!k.empty() && static_cast<unsigned char>(k.back()) <= ' ')
        k.remove_suffix(1);
    return k;
}

std::string Unquoted(std::string_view value)
{
    std::string_view v = TrimView(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}   // namespace

TIniText::TIniText(std::string_view bytes)
{
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        TLine line;
        if (end == std::string_view::npos) {
            line.Text = std::string(bytes.substr(pos));
            pos = bytes.size();
        } else {
            line.Text = std::string(bytes.substr(pos, end - pos));
            const size_t endLen = (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
            line.End = std::string(bytes.substr(end, endLen));
            if (!endSeen_) {
                newLine_ = line.End;   // added lines follow the file's own convention
                endSeen_ = true;
            }
            pos = end + endLen;
        }
        lines_.push_back(std::move(line));
    }
}

void TIniText::DefaultNewLine(std::string_view newLine)
{
    if (!endSeen_)
        newLine_ = std::string(newLine);
}

std::string TIniText::Bytes() const
{
    std::string out;
    for (const TLine& l : lines_) {
        out += l.Text;
        out += l.End;
    }
    return out;
}

bool TIniText::SectionBody(std::string_view section, size_t& begin, size_t& end) const
{
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!SectionName(lines_[i].Text, name) || !SameRegName(name, TrimView(section)))
            continue;
        begin = i + 1;
        end = begin;
        while (end < lines_.size() && !SectionName(lines_[end].Text, name))
            ++end;
        return true;
    }
    return false;
}

bool TIniText::Read(std::string_view section, std::string_view key, std::string& value) const
{
    value.clear();
    size_t begin = 0, end = 0;
    if (!SectionBody(section, begin, end))
        return false;
    std::string name;
    std::string_view raw;
    for (size_t i = begin; i < end; ++i) {
        if (KeyName(lines_[i].Text, name, &raw) && SameRegName(name, TrimView(key))) {
            value = Unquoted(raw);
            return true;
        }
    }
    return false;
}

std::vector<std::string> TIniText::Keys(std::string_view section) const
{
    std::vector<std::string> keys;
    size_t begin = 0, end = 0;
    if (!SectionBody(section, begin, end))
        return keys;
    std::string name;
    for (size_t i = begin; i < end; ++i)
        if (KeyName(lines_[i].Text, name))
            keys.push_back(name);
    return keys;
}

void TIniText::Write(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view k = TrimView(key);
    size_t begin = 0, end = 0;
    if (!SectionBody(section, begin, end)) {
        if (!lines_.empty() && lines_.back().End.empty())
            lines_.back().End = newLine_;
        lines_.push_back({"[" + Trim(section) + "]", newLine_});
        lines_.push_back({std::string(k) + "=" + std::string(value), newLine_});
        return;
    }
    std::string name;
    for (size_t i = begin; i < end; ++i) {
        if (KeyName(lines_[i].Text, name) && SameRegName(name, k)) {
            lines_[i].Text = std::string(KeyAsWritten(lines_[i].Text)) + "=" + std::string(value);
            return;
        }
    }
    // After the section's last line that is not blank, so that blank lines before
    // the next section stay where they are.
    size_t at = begin;
    for (size_t i = begin; i < end; ++i)
        if (!TrimView(lines_[i].Text).empty())
            at = i + 1;
    if (at > 0 && lines_[at - 1].End.empty())
        lines_[at - 1].End = newLine_;
    lines_.insert(lines_.begin() + static_cast<long>(at), TLine{std::string(k) + "=" + std::string(value), newLine_});
}

bool IniWritable(std::string_view section, std::string_view key, std::string_view value)
{
    return !TrimView(section).empty() && !TrimView(key).empty() && !HasLineBreak(section) && !HasLineBreak(key) &&
           !HasLineBreak(value) && key.find('=') == std::string_view::npos &&
           section.find(']') == std::string_view::npos;
}

// ---- files --------------------------------------------------------------------------------

bool IniReadFile(const std::string& nativePath, std::string_view section, std::string_view key, std::string& value,
                 bool& failed)
{
    value.clear();
    std::string bytes;
    bool missing = false;
    failed = false;
    if (!ReadFileBytes(nativePath, bytes, missing)) {
        failed = !missing;
        return false;
    }
    if (!IsUtf8Text(bytes))
        return TIniText(bytes).Read(section, key, value);
    const std::string_view body = HasUtf8Bom(bytes) ? std::string_view(bytes).substr(3) : std::string_view(bytes);
    std::string utf8;
    const bool found = TIniText(body).Read(SjisToTextFile(section, TTextEncoding::Utf8, TLineEnd::CrLf),
                                           SjisToTextFile(key, TTextEncoding::Utf8, TLineEnd::CrLf), utf8);
    value = Utf8TextToSjis(utf8);
    return found;
}

bool IniWriteFile(const std::string& nativePath, std::string_view section, std::string_view key, std::string_view value,
                  TTextEncoding encoding, TLineEnd lineEnd, std::vector<TLostChar>* lost)
{
    if (!IniWritable(section, key, value))
        return false;
    std::string bytes;
    bool missing = false;
    if (!ReadFileBytes(nativePath, bytes, missing) && !missing)
        return false;
    std::string mark;
    if (IsUtf8Text(bytes)) {
        encoding = TTextEncoding::Utf8;
        if (HasUtf8Bom(bytes)) {
            mark = kUtf8Bom;
            bytes.erase(0, 3);
        }
    } else if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        encoding = TTextEncoding::Sjis;
    } else if (bytes.empty() && encoding == TTextEncoding::Utf8Bom) {
        mark = kUtf8Bom;
    }
    TIniText ini(bytes);
    ini.DefaultNewLine(lineEnd == TLineEnd::Lf ? "\n" : "\r\n");
    const TTextEncoding names = encoding == TTextEncoding::Sjis ? TTextEncoding::Sjis : TTextEncoding::Utf8;
    ini.Write(SjisToTextFile(section, names, TLineEnd::CrLf, lost), SjisToTextFile(key, names, TLineEnd::CrLf, lost),
              SjisToTextFile(value, names, TLineEnd::CrLf, lost));
    return RewriteFile(nativePath, mark + ini.Bytes());
}
