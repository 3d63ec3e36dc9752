#include "gui/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

extern bool gInBusyPulse;

TDrawSurface::TDrawSurface(QWidget* parent) : QWidget(parent)
{
    colour_ = palette().color(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TDrawSurface::SetWindowColour(const QColor& colour)
{
    colour_ = colour;
    update();
}

void TDrawSurface::EnsurePictureSize(int w, int h)
{
    if (!picture_.isNull() && picture_.width() >= w && picture_.height() >= h)
        return;
    int nw = std::max(w, picture_.isNull() ? 0 : picture_.width());
    int nh = std::max(h, picture_.isNull() ? 0 : picture_.height());
    if (nw <= 0 || nh <= 0)
        return;
    QImage grown(nw, nh, QImage::Format_RGB32);
    grown.fill(colour_);
    if (!picture_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, picture_);
    }
    picture_ = std::move(grown);
}

void TDrawSurface::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(rect(), colour_);
    if (!picture_.isNull())
        p.drawImage(0, 0, picture_);
}

void TDrawSurface::resizeEvent(QResizeEvent* event)
{
    EnsurePictureSize(width(), height());
    QWidget::resizeEvent(event);
}

TMainWindow::TMainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("ぽるかな"));
    surface_ = new TDrawSurface(this);
    surface_->setObjectName(QStringLiteral("img"));
    setCentralWidget(surface_);
    // The client area starts at 640 x 400; the surface's picture follows it.
    resize(kClientWidth, kClientHeight);
    surface_->resize(kClientWidth, kClientHeight);
    surface_->EnsurePictureSize(kClientWidth, kClientHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, surface_->WindowColour());
    setPalette(pal);
}

void TMainWindow::CentreOnScreen()
{
    QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!scr)
        return;
    const QRect area = scr->availableGeometry();
    move((area.x() + area.width() - width()) / 2, (area.y() + area.height() - height()) / 2);
}

bool TMainWindow::RequestClose()
{
    if (closed_)
        return true;
    if (!AskCloseHandler())
        return false;
    approved_ = true;
    close();
    // A window that was never shown gets no close event; finish it here.
    Finish();
    return true;
}

void TMainWindow::ForceClose()
{
    if (closed_)
        return;
    approved_ = true;
    close();
    Finish();
}

void TMainWindow::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();
        return;
    }
    if (!approved_ && gInBusyPulse) {
        // The interpreter is between two statements of a long computation: the close
        // handler (and its close label) runs when the pulse has finished processing
        // events, not inside that processing.
        closePending_ = true;
        event->ignore();
        return;
    }
    if (!approved_ && !AskCloseHandler()) {
        event->ignore();
        return;
    }
    approved_ = false;
    event->accept();
    Finish();
}

void TMainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (resizedHandler_)
        resizedHandler_();
}

bool TMainWindow::AskCloseHandler()
{
    // A second close request while the handler runs (its close label may wait for
    // events) is refused; the first request decides.
    if (asking_)
        return false;
    if (!closeHandler_)
        return true;
    asking_ = true;
    bool agreed = closeHandler_();
    asking_ = false;
    return agreed;
}

void TMainWindow::Finish()
{
    if (closed_)
        return;
    closed_ = true;
    if (closedHandler_)
        closedHandler_();
}
