#include "gui/anime_box.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/text.h"
#include "gui/objects_internal.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "media/player.h"

TAnimeBox::TAnimeBox(QWidget* parent) : TCanvasBox(parent)
{
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void TAnimeBox::AddFrame(const QImage& img)
{
    frames_.push_back(img.convertToFormat(QImage::Format_ARGB32));
    seeThrough_.push_back(SeeThroughTopLeft(img));
    update();
}

void TAnimeBox::ClearFrames()
{
    frames_.clear();
    seeThrough_.clear();
    update();
}

void TAnimeBox::Start()
{
    if (frames_.empty())
        return;
    current_ = 0;
    autoStart_ = true;
    timer_.start(interval_);
    update();
}

void TAnimeBox::Stop()
{
    StopSoundIfAny();
    current_ = -1;
    timer_.stop();
    autoStart_ = false;
    update();
}

void TAnimeBox::Tick()
{
    timer_.stop();
    if (frames_.empty()) {
        Stop();
        return;
    }
    if (!(useButton_ && pressed_)) {
        if (++current_ >= FrameCount()) {
            // In mode 2 frame 0 is the resting picture and is left out of the cycle.
            current_ = useButton2_ && FrameCount() > 1 ? 1 : 0;
            if (repeat_ > 0 && --repeat_ < 1) {
                Stop();
                return;
            }
        }
    }
    update();
    timer_.start(interval_);
}

void TAnimeBox::SetInterval(int ms)
{
    interval_ = std::max(ms, 0);
    if (autoStart_ && timer_.isActive())
        timer_.start(interval_);
}

void TAnimeBox::SetRepeatTime(int n)
{
    repeat_ = savedRepeat_ = n;
}

void TAnimeBox::SetButtonMode(int mode)
{
    switch (mode) {
    case 0:
        useButton_ = useButton2_ = false;
        break;
    case 1:
        useButton_ = true;
        useButton2_ = false;
        break;
    case 2:
        Stop();
        useButton_ = false;
        useButton2_ = true;
        break;
    default:
        return;
    }
    update();
}

QColor TAnimeBox::Colour() const
{
    return palette().color(backgroundRole());
}

void TAnimeBox::SetColour(const QColor& c)
{
    QPalette pal = palette();
    pal.setColor(backgroundRole(), c);
    setPalette(pal);
    update();
}

void TAnimeBox::setVisible(bool visible)
{
    const bool was = !isHidden();
    TCanvasBox::setVisible(visible);
    if (was == visible)
        return;
    if (!visible)
        Stop();
    else if (!useButton2_)
        Start();
}

void TAnimeBox::StopSoundIfAny()
{
    if (!WaveName.empty() && StopSound)
        StopSound();
}

void TAnimeBox::paintEvent(QPaintEvent*)
{
    if (!isVisible())
        return;
    const bool inverted = pressed_ && (useButton_ || useButton2_);
    // Drawn on a pixel copy first, so that the pressed look can invert all of it.
    QImage canvas(size(), QImage::Format_ARGB32);
    canvas.fill(inverted ? Colour() : QColor(Qt::transparent));
    QPainter p(&canvas);
    if (Transparent)
        p.fillRect(rect(), Colour());
    if (!frames_.empty()) {
        const size_t i = static_cast<size_t>(std::clamp(current_, 0, FrameCount() - 1));
        const QImage& frame = Transparent ? seeThrough_[i] : frames_[i];
        if (Stretch)
            p.drawImage(rect(), frame);
        else
            p.drawImage(0, 0, frame);
    }
    if (hot_ && useButton_) {
        // A raised border: shadow below and right, light above and left.
        const int pen = width() / 24 + 1;
        const QColor shadow = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
        p.fillRect(0, height() - pen, width(), pen, shadow);
        p.fillRect(width() - pen, 0, pen, height(), shadow);
        p.fillRect(0, 0, width(), pen, light);
        p.fillRect(0, 0, pen, height(), light);
    }
    p.end();
    if (inverted)
        canvas.invertPixels(QImage::InvertRgb);
    QPainter(this).drawImage(0, 0, canvas);
}

void TAnimeBox::enterEvent(QEnterEvent*)
{
    if (!isVisible())
        return;
    if (!WaveName.empty()) {
        if (StopSound)
            StopSound();
        if (PlaySound)
            PlaySound(WavePath);
    }
    if (useButton2_) {
        repeat_ = savedRepeat_;
        Start();
    } else {
        hot_ = true;
        update();
    }
}

void TAnimeBox::leaveEvent(QEvent*)
{
    StopSoundIfAny();
    if (useButton2_) {
        Stop();
    } else {
        hot_ = false;
        update();
    }
}

// The mouse-down report comes first (the event filter of the object family); the
// click is reported on the press, not on the release.
void TAnimeBox::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    update();
    if (OnClick)
        OnClick();
}

void TAnimeBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    pressed_ = false;
    update();
}

// ---- properties -------------------------------------------------------------------------------

namespace {

TAnimeBox* BoxOf(TObjNode* rec)
{
    return static_cast<TAnimeBox*>(ObjectWidget(rec));
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line = Trim(line);
        if (!line.empty())
            out.push_back(std::move(line));
        start = end + 1;
    }
    return out;
}

int Numeric(const std::string& text)
{
    const long double v = std::trunc(ToNumber(Trim(text)));
    return static_cast<int>(std::clamp<long double>(v, -2147483647.0L, 2147483647.0L));
}

// Appends the pictures named one a line; the box takes each frame's size in turn.
void AppendPictures(TPoruBase& st, TAnimeBox* box, const std::string& value)
{
    for (const std::string& name : Lines(value)) {
        const QImage img = LoadPictureFile(st, name);
        if (img.isNull())
            continue;
        box->AddFrame(img);
        box->resize(img.size());
    }
}

}   // namespace

std::string AnimeProperty(TPoruBase& st, TObjNode* rec, TAnimeProp prop)
{
    TAnimeBox* box = BoxOf(rec);
    switch (prop) {
    case TAnimeProp::Interval:
        return std::to_string(box->Interval());
    case TAnimeProp::ButtonMode:
        return std::to_string(box->ButtonMode());
    case TAnimeProp::Repeat:
        return std::to_string(box->RepeatTime());
    case TAnimeProp::Sound:
        st.LastTypeTag = "s";
        return box->WaveName;
    default:
        return std::string();
    }
}

void SetAnimeProperty(TPoruBase& st, TObjNode* rec, TAnimeProp prop, const std::string& value)
{
    TAnimeBox* box = BoxOf(rec);
    switch (prop) {
    case TAnimeProp::Interval:
        box->SetInterval(Numeric(value));
        return;
    case TAnimeProp::ButtonMode:
        box->SetButtonMode(Numeric(value));
        return;
    case TAnimeProp::Repeat:
        box->SetRepeatTime(ToIntOrDefault(TrimView(value), 0));
        return;
    case TAnimeProp::Sound: {
        const std::string name = Trim(value);
        box->WavePath = name.empty() ? std::string() : ToNativePath(ResolveReadPath(st, name));
        box->WaveName = name;
        return;
    }
    case TAnimeProp::Pictures:
        box->ClearFrames();
        AppendPictures(st, box, value);
        box->Start();
        return;
    case TAnimeProp::MorePictures:
        box->Stop();
        AppendPictures(st, box, value);
        box->Start();
        return;
    }
}

void WireAnimeBox(TPoruBase& st, TObjNode* rec)
{
    TAnimeBox* box = BoxOf(rec);
    TPoruBase* sp = &st;
    const int id = rec->Index;
    box->OnClick = [sp, id] { FireEvent(*sp, id, esClick); };
    box->PlaySound = [sp](const std::string& path) {
        if (IMediaService* media = FindService<IMediaService>(*sp))
            media->PlayWave(path, true);
    };
    box->StopSound = [sp] {
        if (IMediaService* media = FindService<IMediaService>(*sp))
            media->StopWave();
    };
}
