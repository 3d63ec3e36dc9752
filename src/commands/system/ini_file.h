// INI files as the Windows profile functions treat them: "[section]" lines and
// "key=value" lines; section and key names compared without regard to ASCII case;
// the first section of a name is the one used, and in it the first line of a key;
// names and values trimmed, a value enclosed in a pair of double (or single)
// quotes read without them. Lines without "=" and anything unrecognised are kept as
// they are. A write changes only the line of its key (or adds one), so comments,
// blank lines, the bytes (Shift_JIS) and the line ends (CR LF or LF) of a
// hand-written file stay.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/codec.h"

class TIniText {
public:
    explicit TIniText(std::string_view bytes = {});

    // False when the section or the key is missing (value left empty).
    bool Read(std::string_view section, std::string_view key, std::string& value) const;
    // Replaces the key's value in the first section of that name, or adds the key at
    // the end of the section, or the section with the key at the end of the text.
    void Write(std::string_view section, std::string_view key, std::string_view value);
    // The names of the keys of the first section of that name, in file order.
    std::vector<std::string> Keys(std::string_view section) const;

    std::string Bytes() const;
    // What added lines end with when the text has no line end of its own.
    void DefaultNewLine(std::string_view newLine);

private:
    struct TLine {
        std::string Text;   // without its line end
        std::string End;    // "\r\n", "\n", "\r" or "" for a last line without one
    };
    std::vector<TLine> lines_;
    std::string newLine_ = "\r\n";   // what added lines end with
    bool endSeen_ = false;

    // The index range [begin, end) of the body of the first section named so;
    // false when there is none.
    bool SectionBody(std::string_view section, size_t& begin, size_t& end) const;
};

// True when a name or value can be written as one INI line: no line break in any
// of them, no "=" in the key, no "]" in the section, and neither name empty.
bool IniWritable(std::string_view section, std::string_view key, std::string_view value);

// Files (native paths). Reading a file that does not exist gives false with
// `failed` left false; an unreadable file sets `failed`. Writing creates the file
// when needed and replaces it atomically (a temporary file renamed over it, the
// old file's permissions kept); false on any failure.
bool IniReadFile(const std::string& nativePath, std::string_view section, std::string_view key, std::string& value,
                 bool& failed);
// A UTF-8 file (core/codec.h IsUtf8Text) stays UTF-8: names and values are
// converted at the edge, every other line and the byte-order mark stay as they are.
// A new file, or one holding only ASCII, takes `encoding` and, without a line end
// of its own, `lineEnd`. Characters the file cannot hold go to `lost`.
bool IniWriteFile(const std::string& nativePath, std::string_view section, std::string_view key, std::string_view value,
                  TTextEncoding encoding = TTextEncoding::Sjis, TLineEnd lineEnd = TLineEnd::CrLf,
                  std::vector<TLostChar>* lost = nullptr);
