#include "gui/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern "C" {
#include <xdo.h>
}

#include <cstring>

namespace {

// The key delay of libxdo, in microseconds (applications drop keys sent faster).
constexpr useconds_t kKeyDelay = 12000;
// A character that no key of the keyboard carries is typed through a spare key
// that is mapped to it for the moment; the receiving program must see the changed
// keyboard map before the key comes, so such characters go one by one, with time
// for the map to arrive before and after each.
constexpr useconds_t kRemapDelay = 60000;

// A window may vanish between listing and asking for its title: errors of such
// requests are ignored rather than ending the process (Xlib's default).
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

const char* ModifierKeysym(TKeyModifier m)
{
    switch (m) {
    case TKeyModifier::Shift: return "Shift_L";
    case TKeyModifier::Ctrl: return "Control_L";
    case TKeyModifier::Alt: return "Alt_L";
    }
    return "Shift_L";
}

}   // namespace

struct TX11Desktop::TImpl {
    Display* Dpy = nullptr;
    xdo_t* Xdo = nullptr;
    Window Root = 0;

    Atom Intern(const char* name) { return XInternAtom(Dpy, name, False); }

    // The window list of a property of the root window; false when it is absent.
    bool WindowListProperty(const char* name, std::vector<Window>& out)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(Dpy, Root, Intern(name), 0, 1 << 16, False, XA_WINDOW, &type, &format, &count,
                               &after, &data) != Success ||
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
        if (XGetWindowProperty(Dpy, w, Intern("_NET_WM_NAME"), 0, 4096, False, Intern("UTF8_STRING"), &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 8 && count > 0)
            title.assign(reinterpret_cast<const char*>(data), count);
        if (data)
            XFree(data);
        if (!title.empty())
            return title;
        XTextProperty prop {};
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
                XWindowAttributes attr {};
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

void TX11Desktop::TypeText(const std::string& utf8)
{
    XSync(impl_->Dpy, False);
    usleep(kRemapDelay);
    xdo_enter_text_window(impl_->Xdo, CURRENTWINDOW, utf8.c_str(), kRemapDelay);
    XSync(impl_->Dpy, False);
    usleep(kRemapDelay);
}

void TX11Desktop::Sync()
{
    XSync(impl_->Dpy, False);
}

const char* X11KeyName(TNamedKey key)
{
    static const char* const names[] = {
        "Caps_Lock", "Num_Lock", "Scroll_Lock", "Escape", "Return", "Help", "Print", "Tab", "Break", "Clear",
        "BackSpace", "Delete", "Insert", "Left", "Right", "Up", "Down", "Prior", "Next", "Home", "End",
        "Zenkaku_Hankaku",
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
