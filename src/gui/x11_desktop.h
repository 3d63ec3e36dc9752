// The X11 desktop as the system commands see it: the top-level windows and their
// titles, activating one, and faking keys into the active window (XTest, through
// libxdo). Kept free of Qt and, in this header, of Xlib, whose macros clash with
// Qt's names. Titles and texts are UTF-8.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commands/system/key_sequence.h"

class TX11Desktop {
public:
    struct TWindow {
        uint64_t Id = 0;
        std::string Title;
    };

    // The desktop of $DISPLAY, opened on first use; nil when there is no X server
    // to talk to. Only the window host asks, and only when Qt itself runs on X11.
    static TX11Desktop* Instance();
    ~TX11Desktop();

    // The managed windows (_NET_CLIENT_LIST) or, without a window manager, the
    // mapped children of the root window; those without a title are left out.
    std::vector<TWindow> TopLevelWindows();
    // Raises and focuses the window (through the window manager when there is one).
    void Activate(uint64_t id);
    // True when the window (or one inside it) has the input focus, or is the window
    // manager's active window.
    bool IsActive(uint64_t id);

    // Key events into whatever window has the focus.
    void Modifier(TKeyModifier modifier, bool down);
    void PressNamed(TNamedKey key);
    void PressChar(char c);
    void TypeText(const std::string& utf8);
    // Waits until the server has handled every request sent so far.
    void Sync();

private:
    TX11Desktop() = default;
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// The X keysym name of a named key ("Tab", "F5", "Zenkaku_Hankaku" ...).
const char* X11KeyName(TNamedKey key);
