// The web engine of the browser control: a module of its own (porukana-web.so),
// loaded by the window run-time when the first browser is made. Pages are shown by
// Qt WebEngine; every navigation of the main frame that is not a server redirect
// is put to the control's before-navigate check first.
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include "gui/browser_engine.h"

namespace {

// Chromium refuses to run its sandbox as root, and has no GPU on a platform
// without a screen; what the user set is kept.
void PrepareChromium()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // The engine's account of its graphics set-up is not the program's output.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false\n"
                                                        "qt.webenginecontext.debug=false"));
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const QString platform = QGuiApplication::platformName();
    if ((platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) &&
        !qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --log-level=3");
}

class TWebEngine;

class TWebPage : public QWebEnginePage {
public:
    TWebPage(TWebEngine* owner, QObject* parent) : QWebEnginePage(parent), owner_(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    // The page's console messages are the page's business, not the program's.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    TWebEngine* owner_;
};

class TWebEngine : public IBrowserEngine {
public:
    TWebEngine(QWidget* parent, const TBrowserCallbacks* callbacks) : callbacks_(callbacks)
    {
        view_ = new QWebEngineView(parent);
        page_ = new TWebPage(this, view_);
        view_->setPage(page_);
        QObject::connect(page_, &QWebEnginePage::urlChanged, view_, [this](const QUrl& url) {
            if (!url.isEmpty())
                location_ = url;
        });
        QObject::connect(page_, &QWebEnginePage::loadStarted, view_, [this] { loaded_ = false; });
        QObject::connect(page_, &QWebEnginePage::loadFinished, view_, [this](bool) { loaded_ = true; });
    }
    ~TWebEngine() override { delete view_; }

    QWidget* View() override { return view_; }
    // The location is the address asked for at once (so that a program reads back
    // what it set), until the page says where it went.
    void Navigate(const QUrl& url) override
    {
        location_ = url;
        loaded_ = false;
        page_->load(url);
    }
    QUrl Location() const override { return location_; }
    QString Title() const override { return page_->title(); }
    void Forward() override { page_->triggerAction(QWebEnginePage::Forward); }
    void Back() override { page_->triggerAction(QWebEnginePage::Back); }
    bool Loaded() const override { return loaded_; }

    bool Ask(const QUrl& url)
    {
        if (callbacks_->BeforeNavigate && !callbacks_->BeforeNavigate(url)) {
            // Refused: the page stays where it was.
            location_ = page_->url();
            loaded_ = true;
            return false;
        }
        location_ = url;
        return true;
    }

private:
    const TBrowserCallbacks* callbacks_;
    QWebEngineView* view_;
    TWebPage* page_;
    QUrl location_;
    bool loaded_ = true;
};

bool TWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (!isMainFrame || type == NavigationTypeRedirect)
        return true;
    return owner_->Ask(url);
}

}   // namespace

extern "C" __attribute__((visibility("default"))) IBrowserEngine*
PorukanaCreateWebEngine(QWidget* parent, const TBrowserCallbacks* callbacks)
{
    PrepareChromium();
    return new TWebEngine(parent, callbacks);
}
