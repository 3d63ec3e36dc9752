#include "commands/system/key_sequence.h"

#include "core/sjis.h"

namespace {

constexpr int kMaxDepth = 100;

struct TNameRow {
    const char* Name;
    TNamedKey Key;
};

const TNameRow kNames[] = {
    {"CAPSLOCK", TNamedKey::CapsLock},
    {"NUMLOCK", TNamedKey::NumLock},
    {"SCROLLOCK", TNamedKey::ScrollLock},
    {"ESCAPE", TNamedKey::Escape},
    {"ESC", TNamedKey::Escape},
    {"ENTER", TNamedKey::Enter},
    {"HELP", TNamedKey::Help},
    {"PRTSC", TNamedKey::PrintScreen},
    {"TAB", TNamedKey::Tab},
    {"BREAK", TNamedKey::Break},
    {"CLEAR", TNamedKey::Clear},
    {"BACKSPACE", TNamedKey::Backspace},
    {"BS", TNamedKey::Backspace},
    {"BKSP", TNamedKey::Backspace},
    {"DELETE", TNamedKey::Delete},
    {"DEL", TNamedKey::Delete},
    {"INSERT", TNamedKey::Insert},
    {"LEFT", TNamedKey::Left},
    {"RIGHT", TNamedKey::Right},
    {"UP", TNamedKey::Up},
    {"DOWN", TNamedKey::Down},
    {"PGUP", TNamedKey::PageUp},
    {"PGDN", TNamedKey::PageDown},
    {"HOME", TNamedKey::Home},
    {"END", TNamedKey::End},
    {"IME", TNamedKey::Ime},
};

bool SameIgnoringCase(std::string_view a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != b[i])
            return false;
    }
    return i == a.size() && !b[i];
}

// One character as an action: ASCII as its key, anything else as typed text.
TKeyAction CharAction(std::string_view ch)
{
    TKeyAction a;
    a.Kind = (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 0x80) ? TKeyAction::Char : TKeyAction::Typed;
    a.Text = std::string(ch);
    return a;
}

class TParser {
public:
    TParser(std::string_view s, std::vector<TKeyAction>& out, std::string& error) : s_(s), out_(out), error_(error) {}

    // Items up to the end (depth 0) or up to the ")" that closes a group.
    bool Items(int depth)
    {
        while (pos_ < s_.size()) {
            if (s_[pos_] == ')' && depth > 0) {
                ++pos_;
                return true;
            }
            if (!Item(depth))
                return false;
        }
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
    std::vector<TKeyAction>& out_;
    std::string& error_;

    bool Item(int depth)
    {
        if (depth > kMaxDepth) {
            error_ = std::string(s_);
            return false;
        }
        const char c = s_[pos_];
        if (c == '+' || c == '^' || c == '%') {
            ++pos_;
            TKeyAction down;
            down.Kind = TKeyAction::Down;
            down.Modifier = c == '+' ? TKeyModifier::Shift : c == '^' ? TKeyModifier::Ctrl : TKeyModifier::Alt;
            out_.push_back(down);
            // The release comes after the item even when the item fails, so that
            // the list never leaves a modifier held.
            const bool ok = pos_ >= s_.size() || Item(depth + 1);
            TKeyAction up = down;
            up.Kind = TKeyAction::Up;
            out_.push_back(up);
            return ok;
        }
        if (c == '(') {
            ++pos_;
            return Items(depth + 1);
        }
        if (c == '~') {
            ++pos_;
            TKeyAction a;
            a.Kind = TKeyAction::Named;
            a.Key = TNamedKey::Enter;
            out_.push_back(a);
            return true;
        }
        if (c == '{')
            return Braced();
        const size_t len = CharLenAt(s_, pos_);
        out_.push_back(CharAction(s_.substr(pos_, len)));
        pos_ += len;
        return true;
    }

    // "{NAME}", "{NAME n}", "{}}" (the "}" key) and "{c}" for one character.
    bool Braced()
    {
        size_t close = std::string_view::npos;
        if (pos_ + 2 < s_.size() && s_[pos_ + 1] == '}' && s_[pos_ + 2] == '}') {
            close = pos_ + 2;
        } else {
            for (size_t i = pos_ + 1; i < s_.size(); i += CharLenAt(s_, i)) {
                if (s_[i] == '}') {
                    close = i;
                    break;
                }
            }
        }
        if (close == std::string_view::npos) {   // no closing brace: a plain "{"
            out_.push_back(CharAction("{"));
            ++pos_;
            return true;
        }
        std::string_view inner = s_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        int count = 1;
        const size_t space = inner.rfind(' ');
        if (space != std::string_view::npos && space > 0) {
            const std::string_view digits = inner.substr(space + 1);
            if (digits.empty() || digits.size() > 4)
                return Fail(inner);
            count = 0;
            for (char d : digits) {
                if (d < '0' || d > '9')
                    return Fail(inner);
                count = count * 10 + (d - '0');
            }
            if (count > kMaxKeyRepeat)
                return Fail(inner);
            inner = inner.substr(0, space);
        }
        TKeyAction a;
        if (!inner.empty() && CharLenAt(inner, 0) == inner.size()) {
            a = CharAction(inner);
        } else if (LookupNamedKey(inner, a.Key)) {
            a.Kind = TKeyAction::Named;
        } else {
            return Fail(inner);
        }
        for (int i = 0; i < count; ++i)
            out_.push_back(a);
        return true;
    }

    bool Fail(std::string_view piece)
    {
        error_ = "{" + std::string(piece) + "}";
        return false;
    }
};

}   // namespace

bool LookupNamedKey(std::string_view name, TNamedKey& key)
{
    for (const TNameRow& r : kNames) {
        if (SameIgnoringCase(name, r.Name)) {
            key = r.Key;
            return true;
        }
    }
    if (name.size() >= 2 && name.size() <= 3 && (name[0] == 'F' || name[0] == 'f')) {
        int n = 0;
        for (size_t i = 1; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9')
                return false;
            n = n * 10 + (name[i] - '0');
        }
        if (n >= 1 && n <= 16 && name[1] != '0') {
            key = static_cast<TNamedKey>(static_cast<int>(TNamedKey::F1) + n - 1);
            return true;
        }
    }
    return false;
}

bool ParseKeySequence(std::string_view keys, std::vector<TKeyAction>& out, std::string& error)
{
    out.clear();
    error.clear();
    TParser p(keys, out, error);
    return p.Items(0);
}
