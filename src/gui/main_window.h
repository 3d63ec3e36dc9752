// The main window 母艦: a window whose client area is a drawing surface that keeps
// what was drawn on it (a picture the size of the client area, grown with the
// window), plus the close handling that asks the interpreter first.
#pragma once
#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QWidget>

#include <functional>

// The drawing surface: the central widget of the main window. It paints its picture
// and fills whatever lies beyond the picture with the window's colour.
class TDrawSurface : public QWidget {
public:
    explicit TDrawSurface(QWidget* parent = nullptr);

    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    QColor WindowColour() const { return colour_; }
    void SetWindowColour(const QColor& colour);
    // Makes the picture at least w x h, keeping what was drawn.
    void EnsurePictureSize(int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage picture_;
    QColor colour_;
};

class TMainWindow : public QMainWindow {
public:
    static constexpr int kClientWidth = 640;
    static constexpr int kClientHeight = 400;

    explicit TMainWindow(QWidget* parent = nullptr);

    TDrawSurface* Surface() const { return surface_; }
    // The width of the client area (what centred text is centred in).
    int ClientWidth() const { return surface_->width(); }

    // Places the window centred in the available geometry of its screen.
    void CentreOnScreen();

    // Asked before the window closes; returning false keeps it open.
    void SetCloseHandler(std::function<bool()> handler) { closeHandler_ = std::move(handler); }
    // Called once when the window has closed.
    void SetClosedHandler(std::function<void()> handler) { closedHandler_ = std::move(handler); }
    // Called after the window changed size (the script's change event of 母艦).
    void SetResizedHandler(std::function<void()> handler) { resizedHandler_ = std::move(handler); }

    // Runs the close handler and closes the window when it agrees. Returns whether
    // the window closed.
    bool RequestClose();
    bool IsClosed() const { return closed_; }
    // A close request that came while the interpreter was busy waits for the run
    // loop's pulse, which takes it here (true once per request).
    bool TakePendingClose()
    {
        const bool pending = closePending_;
        closePending_ = false;
        return pending;
    }
    // Closes the window whatever the close handler says (after a stop signal).
    void ForceClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TDrawSurface* surface_;
    std::function<bool()> closeHandler_;
    std::function<void()> closedHandler_;
    std::function<void()> resizedHandler_;
    bool approved_ = false;   // the close handler already agreed to this close
    bool closed_ = false;
    bool asking_ = false;         // the close handler is running (it may process events)
    bool closePending_ = false;   // a close request waits for the run loop's pulse
    bool AskCloseHandler();
    void Finish();
};
