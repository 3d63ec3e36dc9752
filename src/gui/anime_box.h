// The animation box (object kind アニメ): shows its frames one after another on a
// timer, optionally as a push button (mode 1) or running only while the mouse is over
// it (mode 2), and plays a sound while the mouse is over it.
#pragma once
#include <QImage>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "gui/controls.h"

class TPoruBase;
struct TObjNode;

class TAnimeBox : public TCanvasBox {
public:
    explicit TAnimeBox(QWidget* parent = nullptr);

    // ---- frames ----
    void AddFrame(const QImage& img);   // a copy
    void ClearFrames();
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    // The frame shown: -1 while stopped (frame 0 is shown then).
    int CurrentFrame() const { return current_; }

    // ---- running ----
    void Start();
    void Stop();
    // One tick of the frame timer (the timer calls it; tests may too).
    void Tick();
    bool Running() const { return autoStart_; }
    bool TimerActive() const { return timer_.isActive(); }
    void SetInterval(int ms);
    int Interval() const { return interval_; }
    // Sets the passes left and the count a hover in mode 2 starts with again.
    void SetRepeatTime(int n);
    int RepeatTime() const { return repeat_; }
    // 0 neither mode, 1 push button, 2 animated while the mouse is over the box;
    // other numbers change nothing.
    void SetButtonMode(int mode);
    int ButtonMode() const { return useButton_ ? 1 : useButton2_ ? 2 : 0; }
    bool Hot() const { return hot_; }
    bool Pressed() const { return pressed_; }

    // The background of transparent frames (the box's palette colour).
    QColor Colour() const;
    void SetColour(const QColor& c);

    // The sound of the box: the name the script gave and the file to play.
    std::string WaveName, WavePath;
    // Set by the object family: the sound calls and the click report.
    std::function<void(const std::string& path)> PlaySound;
    std::function<void()> StopSound;
    std::function<void()> OnClick;

    // Hiding stops the animation, showing starts it (not in mode 2).
    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void StopSoundIfAny();

    std::vector<QImage> frames_;
    std::vector<QImage> seeThrough_;   // each frame with its top-left colour see-through
    int current_ = -1;
    QTimer timer_;
    int interval_ = 300;
    bool useButton_ = false, useButton2_ = false;
    bool autoStart_ = false;
    int repeat_ = -1, savedRepeat_ = -1;
    bool hot_ = false, pressed_ = false;
};

// The properties of the animation box that the property table hands over.
enum class TAnimeProp { Interval, ButtonMode, Repeat, Sound, Pictures, MorePictures };
std::string AnimeProperty(TPoruBase& st, TObjNode* rec, TAnimeProp prop);
void SetAnimeProperty(TPoruBase& st, TObjNode* rec, TAnimeProp prop, const std::string& value);
// Connects a new box to its record: the click report and the sound calls.
void WireAnimeBox(TPoruBase& st, TObjNode* rec);
