#include "gui/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern "C" {
#include <xdo.h>
}

#include <cstring>
#include <string>
#include <vector>

namespace {

// The key delay of libxdo, in microseconds (applications drop keys sent faster).
constexpr useconds_t kKeyDelay = 12000;
// A character that no key of the keyboard carries is typed through a spare key
// (a keycode without symbols) that is mapped to it for the moment. The receiving
// program reads the keyboard map when it is told of a change, which may be well
// after the key was sent when it is busy: so each character takes the next spare
// key, the map stays until the whole text is typed, and is restored only after a
// pause. kRemapDelay gives the change time to arrive before the key comes.
constexpr useconds_t kRemapDelay = 60000;
constexpr useconds_t kRestoreDelay = 300000;

// A window may vanish between listing and asking for its title: errors of such
// requests are ignored rather than ending the process (Xlib's default).
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// The code points of a UTF-8 text (it comes from the checked codec, so it is valid).
std::u32string CodePoints(const std::string& utf8)
{
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < len && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(c);
        i += len;
    }
    return out;
}

const char* ModifierKeysym(TKeyModifier m)
{
    switch (m) {
    case TKeyModifier::Shift:
        return "Shift_L";
    case TKeyModifier::Ctrl:
        return "Control_L";
    case TKeyModifier::Alt:
        return "Alt_L";
    }
    return "Shift_L";
}

}   // namespace

struct TX11Desktop::TImpl {
    Display* Dpy = nullptr;
    xdo_t* Xdo = nullptr;
    Window Root = 0;
    // Spare keycodes (found once), the next one to use, and those mapped now.
    std::vector<KeyCode> Spare;
    bool SpareFound = false;
    size_t NextSpare = 0;
    std::vector<KeyCode> Mapped;

    void FindSpareKeys()
    {
        SpareFound = true;
        int minCode = 0, maxCode = 0;
        XDisplayKeycodes(Dpy, &minCode, &maxCode);
        int perCode = 0;
        KeySym* map = XGetKeyboardMapping(Dpy, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
        if (!map)
            return;
        for (int code = maxCode; code >= minCode; --code) {   // high codes are rarely in use
            bool empty = true;
            for (int i = 0; i < perCode && empty; ++i)
                empty = map[(code - minCode) * perCode + i] == NoSymbol;
            if (empty)
                Spare.push_back(static_cast<KeyCode>(code));
        }
        XFree(map);
    }

    // Maps a spare key to the symbol of the character; 0 when none is free.
    KeyCode MapSpare(KeySym sym)
    {
        if (!SpareFound)
            FindSpareKeys();
        if (Spare.empty())
            return 0;
        if (NextSpare == Spare.size()) {   // every spare key is in use: restore first
            RestoreMapped();
            NextSpare = 0;
        }
        const KeyCode code = Spare[NextSpare++];
        KeySym syms[2] = {sym, sym};
        XChangeKeyboardMapping(Dpy, code, 2, syms, 1);
        Mapped.push_back(code);
        XSync(Dpy, False);
        return code;
    }

    void RestoreMapped()
    {
        if (Mapped.empty())
            return;
        XSync(Dpy, False);
        usleep(kRestoreDelay);
        KeySym none[2] = {NoSymbol, NoSymbol};
        for (KeyCode code : Mapped)
            XChangeKeyboardMapping(Dpy, code, 2, none, 1);
        Mapped.clear();
        XSync(Dpy, False);
    }

    Atom Intern(const char* name) { return XInternAtom(Dpy, name, False); }

    // The window list of a property of the root window; false when it is absent.
    bool WindowListProperty(const char* name, std::vector<Window>& out)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(Dpy, Root, Intern(name), 0, 1 << 16, False, XA_WINDOW, &type, &format, &count, &after,
                               &data) != Success ||
            !data || format != 32) {
            if (data)
                XFree(data);
            return false;
        }
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        out.assign(ids, ids + count);
        XFree(data);
        return true;
    }

    bool HasWindowManager()
    {
        std::vector<Window> check;
        return WindowListProperty("_NET_SUPPORTING_WM_CHECK", check) && !check.empty();
    }

    std::string Title(Window w)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(Dpy, w, Intern("_NET_WM_NAME"), 0, 4096, False, Intern("UTF8_STRING"), &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 8 && count > 0)
            title.assign(reinterpret_cast<const char*>(data), count);
        if (data)
            XFree(data);
        if (!title.empty())
            return title;
        XTextProperty prop{};
        if (XGetWMName(Dpy, w, &prop) && prop.value) {
            char** list = nullptr;
            int n = 0;
            if (Xutf8TextPropertyToTextList(Dpy, &prop, &list, &n) >= Success && list && n > 0)
                title = list[0];
            if (list)
                XFreeStringList(list);
            XFree(prop.value);
        }
        return title;
    }
};

TX11Desktop* TX11Desktop::Instance()
{
    static std::unique_ptr<TX11Desktop> desktop;
    static bool tried = false;
    if (tried)
        return desktop.get();
    tried = true;
    XSetErrorHandler(IgnoreXError);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return nullptr;
    xdo_t* xdo = xdo_new_with_opened_display(dpy, nullptr, 0);
    if (!xdo) {
        XCloseDisplay(dpy);
        return nullptr;
    }
    xdo->quiet = 1;
    desktop.reset(new TX11Desktop);
    desktop->impl_ = std::make_unique<TImpl>();
    desktop->impl_->Dpy = dpy;
    desktop->impl_->Xdo = xdo;
    desktop->impl_->Root = DefaultRootWindow(dpy);
    return desktop.get();
}

TX11Desktop::~TX11Desktop()
{
    if (!impl_)
        return;
    impl_->RestoreMapped();
    xdo_free(impl_->Xdo);
    XCloseDisplay(impl_->Dpy);
}

std::vector<TX11Desktop::TWindow> TX11Desktop::TopLevelWindows()
{
    std::vector<Window> ids;
    if (!impl_->WindowListProperty("_NET_CLIENT_LIST", ids)) {
        Window rootRet = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(impl_->Dpy, impl_->Root, &rootRet, &parent, &children, &n) && children) {
            for (unsigned int i = 0; i < n; ++i) {
                XWindowAttributes attr{};
                if (XGetWindowAttributes(impl_->Dpy, children[i], &attr) && attr.map_state == IsViewable &&
                    !attr.override_redirect)
                    ids.push_back(children[i]);
            }
            XFree(children);
        }
    }
    std::vector<TWindow> out;
    for (Window w : ids) {
        std::string title = impl_->Title(w);
        if (!title.empty())
            out.push_back({static_cast<uint64_t>(w), std::move(title)});
    }
    return out;
}

void TX11Desktop::Activate(uint64_t id)
{
    const Window w = static_cast<Window>(id);
    if (impl_->HasWindowManager()) {
        xdo_activate_window(impl_->Xdo, w);
    } else {
        XRaiseWindow(impl_->Dpy, w);
        xdo_focus_window(impl_->Xdo, w);
    }
    XFlush(impl_->Dpy);
}

bool TX11Desktop::IsActive(uint64_t id)
{
    const Window w = static_cast<Window>(id);
    if (impl_->HasWindowManager()) {
        Window active = 0;
        if (xdo_get_active_window(impl_->Xdo, &active) == XDO_SUCCESS && active == w)
            return true;
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(impl_->Dpy, &focus, &revert);
    // The focus may sit on a window inside the top-level one: walk up to the root.
    for (int depth = 0; focus && focus != PointerRoot && depth < 64; ++depth) {
        if (focus == w)
            return true;
        Window rootRet = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(impl_->Dpy, focus, &rootRet, &parent, &children, &n))
            return false;
        if (children)
            XFree(children);
        if (parent == rootRet)
            return false;
        focus = parent;
    }
    return false;
}

void TX11Desktop::Modifier(TKeyModifier modifier, bool down)
{
    if (down)
        xdo_send_keysequence_window_down(impl_->Xdo, CURRENTWINDOW, ModifierKeysym(modifier), kKeyDelay);
    else
        xdo_send_keysequence_window_up(impl_->Xdo, CURRENTWINDOW, ModifierKeysym(modifier), kKeyDelay);
}

void TX11Desktop::PressNamed(TNamedKey key)
{
    xdo_send_keysequence_window(impl_->Xdo, CURRENTWINDOW, X11KeyName(key), kKeyDelay);
}

void TX11Desktop::PressChar(char c)
{
    const char text[2] = {c, '\0'};
    xdo_enter_text_window(impl_->Xdo, CURRENTWINDOW, text, kKeyDelay);
}

// One character (UTF-8) that the keyboard may not carry: through a spare key mapped
// to its Unicode keysym, or through libxdo when no key is spare.
void TX11Desktop::TypeText(const std::string& utf8)
{
    const std::u32string chars = CodePoints(utf8);
    size_t at = 0;   // byte offset of the character in utf8
    for (char32_t c : chars) {
        const size_t len = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        const std::string one = utf8.substr(at, len);
        at += len;
        const KeySym sym = c < 0x100 ? static_cast<KeySym>(c) : static_cast<KeySym>(0x01000000 | c);
        const KeyCode code = impl_->MapSpare(sym);
        if (!code) {
            xdo_enter_text_window(impl_->Xdo, CURRENTWINDOW, one.c_str(), kRemapDelay);
            continue;
        }
        usleep(kRemapDelay);
        XTestFakeKeyEvent(impl_->Dpy, code, True, CurrentTime);
        XSync(impl_->Dpy, False);
        usleep(kKeyDelay);
        XTestFakeKeyEvent(impl_->Dpy, code, False, CurrentTime);
        XSync(impl_->Dpy, False);
        usleep(kKeyDelay);
    }
}

// Also gives the keyboard back its own map once the typed characters had time to
// arrive.
void TX11Desktop::Sync()
{
    XSync(impl_->Dpy, False);
    impl_->RestoreMapped();
}

const char* X11KeyName(TNamedKey key)
{
    static const char* const names[] = {
        "Caps_Lock", "Num_Lock",  "Scroll_Lock", "Escape",          "Return", "Help",  "Print", "Tab",  "Break",
        "Clear",     "BackSpace", "Delete",      "Insert",          "Left",   "Right", "Up",    "Down", "Prior",
        "Next",      "Home",      "End",         "Zenkaku_Hankaku",
    };
    const int k = static_cast<int>(key);
    const int f1 = static_cast<int>(TNamedKey::F1);
    if (k >= f1 && k < f1 + 16) {
        static const char* const fkeys[] = {"F1", "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                            "F9", "F10", "F11", "F12", "F13", "F14", "F15", "F16"};
        return fkeys[k - f1];
    }
    return k >= 0 && k < static_cast<int>(std::size(names)) ? names[k] : "Return";
}
