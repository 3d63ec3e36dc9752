// The browser engines: the text browser, and the loading of the web engine module.
#include "gui/browser_engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextBrowser>

#include <dlfcn.h>

#include <cstdio>

namespace {

// Local HTML files through QTextBrowser; other addresses are shown as text, since
// the text browser fetches nothing from the network.
class TTextEngine : public QTextBrowser, public IBrowserEngine {
public:
    TTextEngine(QWidget* parent, const TBrowserCallbacks* callbacks) : QTextBrowser(parent), callbacks_(callbacks)
    {
        setOpenLinks(true);
        setOpenExternalLinks(false);
    }
    QWidget* View() override { return this; }
    void Navigate(const QUrl& url) override { setSource(url); }
    QUrl Location() const override { return location_; }
    QString Title() const override { return documentTitle(); }
    void Forward() override { forward(); }
    void Back() override { backward(); }
    bool Loaded() const override { return true; }

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override
    {
        if (callbacks_->BeforeNavigate && !callbacks_->BeforeNavigate(name))
            return;
        location_ = name;
        if (name.scheme().isEmpty() || name.isLocalFile() || name.scheme() == QLatin1String("qrc")) {
            QTextBrowser::doSetSource(name, type);
            return;
        }
        setPlainText(name.toString());
    }

private:
    const TBrowserCallbacks* callbacks_;
    QUrl location_;
};

QString ModulePath()
{
    const QByteArray named = qgetenv("PORUKANA_WEB_MODULE");
    if (!named.isEmpty())
        return QString::fromLocal8Bit(named);
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../lib/porukana/porukana-web.so"));
}

// The module's factory, looked up once; nil when the text browser is to be used.
TCreateBrowserEngine WebFactory()
{
    static bool tried = false;
    static TCreateBrowserEngine factory = nullptr;
    if (tried)
        return factory;
    tried = true;
    if (qgetenv("PORUKANA_BROWSER") == "text")
        return nullptr;
    const QString path = QDir::cleanPath(ModulePath());
    if (!QFile::exists(path))
        return nullptr;   // a build or a packed program without the web engine
    void* module = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "porukana: ブラウザのウェブエンジンを読み込めません（%s）。テキスト表示で代用します。\n",
                     dlerror());
        return nullptr;
    }
    factory = reinterpret_cast<TCreateBrowserEngine>(dlsym(module, PORUKANA_WEB_ENGINE_SYMBOL));
    return factory;
}

}   // namespace

IBrowserEngine* CreateBrowserEngine(QWidget* parent, const TBrowserCallbacks* callbacks)
{
    if (TCreateBrowserEngine factory = WebFactory())
        if (IBrowserEngine* engine = factory(parent, callbacks))
            return engine;
    return CreateTextBrowserEngine(parent, callbacks);
}

IBrowserEngine* CreateTextBrowserEngine(QWidget* parent, const TBrowserCallbacks* callbacks)
{
    return new TTextEngine(parent, callbacks);
}

QString BrowserEngineName()
{
    return WebFactory() ? QStringLiteral("web") : QStringLiteral("text");
}
