// The key texts of キー送信: "{NAME}" or "{NAME n}" for a named key (n presses),
// "~" for Enter, "+", "^" and "%" for Shift, Ctrl and Alt held down while the next
// item is sent, "(" ... ")" to group items after a modifier, a two-byte character
// as text, and every other character as its own key. The parser turns such a text
// into a flat list of actions in which every modifier pressed is released again,
// whatever the text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TKeyModifier : uint8_t { Shift, Ctrl, Alt };

// clang-format off
enum class TNamedKey : uint8_t {
    CapsLock, NumLock, ScrollLock, Escape, Enter, Help, PrintScreen, Tab, Break, Clear,
    Backspace, Delete, Insert, Left, Right, Up, Down, PageUp, PageDown, Home, End, Ime,
    F1,   // F1 + k for F(k+1), up to F16
};
// clang-format on

struct TKeyAction {
    // clang-format off
    enum TKind : uint8_t {
        Down,    // press and hold Modifier
        Up,      // release Modifier
        Named,   // press and release Key
        Char,    // press and release the key of the single byte Text[0]
        Typed,   // type the two-byte character (or single-byte kana) in Text
    };
    // clang-format on
    TKind Kind = Char;
    TKeyModifier Modifier = TKeyModifier::Shift;
    TNamedKey Key = TNamedKey::Enter;
    std::string Text;   // Shift_JIS
};

// The largest count of "{NAME n}".
constexpr int kMaxKeyRepeat = 1000;

// Parses a key text. False, with `error` naming the piece, for an unknown key name,
// a count that is not a number from 0 to kMaxKeyRepeat, or groups and modifiers
// nested deeper than 100. An opening brace without its closing brace is the
// character "{" (and the text goes on after it); a ")" outside a group is the
// character ")"; a group left open ends with the text.
bool ParseKeySequence(std::string_view keys, std::vector<TKeyAction>& out, std::string& error);

// The named key for a name (ASCII case ignored); false for an unknown name.
bool LookupNamedKey(std::string_view name, TNamedKey& key);
