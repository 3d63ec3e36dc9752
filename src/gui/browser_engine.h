// The engine behind the browser control. The web engine (Qt WebEngine) lives in a
// module of its own, loaded when the first browser is made, so that the run-time
// starts without it and a stand-alone program can leave it out; where the module is
// missing or cannot load, a text browser (local HTML files only) takes its place.
#pragma once
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

class IBrowserEngine {
public:
    virtual ~IBrowserEngine() = default;
    // The widget showing the page (owned by the browser control's widget).
    virtual QWidget* View() = 0;
    virtual void Navigate(const QUrl& url) = 0;
    virtual QUrl Location() const = 0;
    virtual QString Title() const = 0;
    virtual void Forward() = 0;
    virtual void Back() = 0;
    // True once the page asked for last has loaded (or failed to).
    virtual bool Loaded() const = 0;
};

// What the engine asks and tells its control.
struct TBrowserCallbacks {
    // Asked with the URL before every navigation of the page itself; false cancels it.
    std::function<bool(const QUrl&)> BeforeNavigate;
};

// The symbol the web module exports, of type TCreateBrowserEngine.
#define PORUKANA_WEB_ENGINE_SYMBOL "PorukanaCreateWebEngine"
using TCreateBrowserEngine = IBrowserEngine* (*)(QWidget* parent, const TBrowserCallbacks* callbacks);

// The web engine when its module loads, else the text browser. PORUKANA_BROWSER=text
// asks for the text browser; PORUKANA_WEB_MODULE names the module to load instead
// of lib/porukana/porukana-web.so beside the executable's folder.
IBrowserEngine* CreateBrowserEngine(QWidget* parent, const TBrowserCallbacks* callbacks);
// "web" or "text": the engine CreateBrowserEngine gives (loads the module once).
QString BrowserEngineName();
// The text browser itself.
IBrowserEngine* CreateTextBrowserEngine(QWidget* parent, const TBrowserCallbacks* callbacks);
