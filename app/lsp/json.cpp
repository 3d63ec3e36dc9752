#include "lsp/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "langsvc/utf8.h"

const TJson& TJson::operator[](const std::string& key) const
{
    static const TJson null;
    const auto it = object_.find(key);
    return it == object_.end() ? null : it->second;
}

TJson& TJson::operator[](const std::string& key)
{
    if (type_ != TType::Object) {
        *this = Object();
    }
    return object_[key];
}

void TJson::Push(TJson value)
{
    if (type_ != TType::Array)
        *this = Array();
    array_.push_back(std::move(value));
}

std::string TJson::Dump() const
{
    std::string out;
    DumpTo(out);
    return out;
}

namespace {

void DumpString(std::string& out, const std::string& s)
{
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

class TReader {
public:
    explicit TReader(std::string_view text) : text_(text) {}

    bool Value(TJson& out, int depth = 0)
    {
        if (depth > 200)
            return Fail("nested too deep");
        Space();
        if (at_ >= text_.size())
            return Fail("unexpected end");
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            out = TJson::Object();
            Space();
            if (Take('}'))
                return true;
            while (true) {
                Space();
                std::string key;
                if (!String(key))
                    return false;
                Space();
                if (!Take(':'))
                    return Fail("':' expected");
                if (!Value(out[key], depth + 1))
                    return false;
                Space();
                if (Take('}'))
                    return true;
                if (!Take(','))
                    return Fail("',' or '}' expected");
            }
        }
        if (c == '[') {
            ++at_;
            out = TJson::Array();
            Space();
            if (Take(']'))
                return true;
            while (true) {
                TJson item;
                if (!Value(item, depth + 1))
                    return false;
                out.Push(std::move(item));
                Space();
                if (Take(']'))
                    return true;
                if (!Take(','))
                    return Fail("',' or ']' expected");
            }
        }
        if (c == '"') {
            std::string s;
            if (!String(s))
                return false;
            out = TJson(std::move(s));
            return true;
        }
        if (Word("true")) {
            out = TJson(true);
            return true;
        }
        if (Word("false")) {
            out = TJson(false);
            return true;
        }
        if (Word("null")) {
            out = TJson();
            return true;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            const std::string rest(text_.substr(at_, 64));
            char* end = nullptr;
            const double d = std::strtod(rest.c_str(), &end);
            if (end == rest.c_str())
                return Fail("number expected");
            at_ += static_cast<size_t>(end - rest.c_str());
            out = TJson(d);
            return true;
        }
        return Fail("value expected");
    }

    bool AtEnd()
    {
        Space();
        return at_ >= text_.size();
    }

    std::string error;

private:
    bool Fail(const char* what)
    {
        error = std::string(what) + " at " + std::to_string(at_);
        return false;
    }
    void Space()
    {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool Take(char c)
    {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view w)
    {
        if (text_.compare(at_, w.size(), w) == 0) {
            at_ += w.size();
            return true;
        }
        return false;
    }
    bool Hex4(uint32_t& v)
    {
        if (at_ + 4 > text_.size())
            return Fail("bad \\u escape");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            v <<= 4;
            if (h >= '0' && h <= '9')
                v |= h - '0';
            else if (h >= 'a' && h <= 'f')
                v |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
                v |= h - 'A' + 10;
            else
                return Fail("bad \\u escape");
        }
        return true;
    }
    bool String(std::string& out)
    {
        if (!Take('"'))
            return Fail("string expected");
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size())
                break;
            const char e = text_[at_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                uint32_t cp = 0;
                if (!Hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
                    at_ += 2;
                    uint32_t low = 0;
                    if (!Hex4(low))
                        return false;
                    if (low >= 0xDC00 && low < 0xE000)
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    else
                        cp = 0xFFFD;
                } else if (cp >= 0xD800 && cp < 0xE000) {
                    cp = 0xFFFD;
                }
                langsvc::AppendUtf8(out, cp);
                break;
            }
            default:
                out += e;   // \" \\ \/
            }
        }
        return Fail("unterminated string");
    }

    std::string_view text_;
    size_t at_ = 0;
};

}   // namespace

void TJson::DumpTo(std::string& out) const
{
    switch (type_) {
    case TType::Null:
        out += "null";
        break;
    case TType::Bool:
        out += bool_ ? "true" : "false";
        break;
    case TType::Number: {
        char buf[32];
        if (std::floor(number_) == number_ && std::fabs(number_) < 1e15)
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(number_));
        else
            std::snprintf(buf, sizeof buf, "%.17g", number_);
        out += buf;
        break;
    }
    case TType::String:
        DumpString(out, string_);
        break;
    case TType::Array: {
        out += '[';
        for (size_t i = 0; i < array_.size(); ++i) {
            if (i)
                out += ',';
            array_[i].DumpTo(out);
        }
        out += ']';
        break;
    }
    case TType::Object: {
        out += '{';
        bool first = true;
        for (const auto& [k, v] : object_) {
            if (!first)
                out += ',';
            first = false;
            DumpString(out, k);
            out += ':';
            v.DumpTo(out);
        }
        out += '}';
        break;
    }
    }
}

bool TJson::Parse(std::string_view text, TJson& out, std::string& error)
{
    TReader reader(text);
    if (!reader.Value(out)) {
        error = reader.error;
        return false;
    }
    if (!reader.AtEnd()) {
        error = "text after the value";
        return false;
    }
    return true;
}
