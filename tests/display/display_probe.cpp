// display_probe: looks at the windows of a running porukana on an X server, for the
// real-display tests.
//   display_probe find PID [TIMEOUT_MS]   waits for a viewable window of the process
//                                         and prints "ID WIDTH HEIGHT X Y"
//   display_probe list PID                prints every viewable window of the process
//   display_probe close ID                asks the window to close (WM_DELETE_WINDOW,
//                                         as a window manager's close button does)
//   display_probe grab ID|root FILE.png   saves what the window (or the whole screen)
//                                         shows; fails when it shows fewer than three
//                                         colours (blank)
// Exit status 0 on success, 1 when the check fails, 2 on bad use or no display.
// Qt first: Xlib defines macros (Status, None, Bool) that Qt's headers cannot take.
#include <QImage>
#include <QSet>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct TFound {
    Window Id = 0;
    int Width = 0, Height = 0, X = 0, Y = 0;
};

long PidOf(Display* d, Window w)
{
    // Interned, not looked up: on a new server the atom exists only once the first
    // program has set it.
    static const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data) {
        if (count == 1 && format == 32)
            pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

// The largest viewable window of the process (its main window rather than a helper
// window of the toolkit), searched through the whole tree: a window manager puts the
// client inside a frame of its own.
void Search(Display* d, Window w, long pid, TFound& best, bool all)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a))
        return;
    if (a.map_state == IsViewable && a.width > 1 && a.height > 1 && PidOf(d, w) == pid &&
        (all || a.width * a.height > best.Width * best.Height)) {
        Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
        best = {w, a.width, a.height, x, y};
        if (all)
            std::printf("%lu %d %d %d %d\n", best.Id, best.Width, best.Height, best.X, best.Y);
    }
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n))
        return;
    for (unsigned int i = 0; i < n; ++i)
        Search(d, children[i], pid, best, all);
    if (children)
        XFree(children);
}

// Every viewable window of the process, one line each.
int List(Display* d, long pid)
{
    TFound any;
    Search(d, DefaultRootWindow(d), pid, any, true);
    return any.Id ? 0 : 1;
}

int Find(Display* d, long pid, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        TFound best;
        Search(d, DefaultRootWindow(d), pid, best, false);
        if (best.Id) {
            std::printf("%lu %d %d %d %d\n", best.Id, best.Width, best.Height, best.X, best.Y);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    std::fprintf(stderr, "display_probe: no viewable window of process %ld\n", pid);
    return 1;
}

int Close(Display* d, Window w)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XSync(d, False);
    return 0;
}

int Grab(Display* d, Window w, const char* file)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable) {
        std::fprintf(stderr, "display_probe: window %lu is not viewable\n", w);
        return 1;
    }
    // Read from the root window, so that child windows (native controls) are included.
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) {
        std::fprintf(stderr, "display_probe: cannot read window %lu\n", w);
        return 1;
    }
    QImage out(a.width, a.height, QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int row = 0; row < a.height; ++row)
        for (int col = 0; col < a.width; ++col) {
            const unsigned long p = XGetPixel(img, col, row);
            const QRgb rgb = qRgb((p & img->red_mask) >> 16, (p & img->green_mask) >> 8, p & img->blue_mask);
            out.setPixel(col, row, rgb);
            if (colours.size() < 1000)
                colours.insert(rgb);
        }
    XDestroyImage(img);
    if (!out.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "display_probe: cannot write %s\n", file);
        return 1;
    }
    std::printf("%lld colours\n", static_cast<long long>(colours.size()));
    return colours.size() >= 3 ? 0 : 1;
}

}   // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: display_probe find PID [TIMEOUT_MS] | list PID | close ID | grab ID|root FILE.png\n");
        return 2;
    }
    // Windows come and go while the tree is walked: an error about one that has gone
    // is not a failure of the probe.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "display_probe: cannot open the display\n");
        return 2;
    }
    const std::string op = argv[1];
    int rc = 2;
    if (op == "find")
        rc = Find(d, std::atol(argv[2]), argc > 3 ? std::atoi(argv[3]) : 5000);
    else if (op == "list")
        rc = List(d, std::atol(argv[2]));
    else if (op == "close")
        rc = Close(d, std::strtoul(argv[2], nullptr, 10));
    else if (op == "grab" && argc > 3)
        rc = Grab(d, std::string(argv[2]) == "root" ? DefaultRootWindow(d) : std::strtoul(argv[2], nullptr, 10),
                  argv[3]);
    XCloseDisplay(d);
    return rc;
}
