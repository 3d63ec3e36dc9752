#include "gui/picture.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <cstring>
#include <functional>

#include "commands/drawing/pixels_icon.h"
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/drawing.h"
#include "gui/main_window.h"
#include "gui/objects.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/normaliser.h"
#include "services/qt_text.h"

namespace {

[[noreturn]] void RangeError(TPoruBase& st)
{
    st.Error(J("範囲チェックエラー"));
}

// The lower-case extension of a file name without its dot ("" when none).
std::string LowerExtension(const std::string& name)
{
    const size_t slash = name.find_last_of("\\/:");
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return LowerAscii(std::string_view(name).substr(dot + 1));
}

// Icon `index` of an .ico file (only 0) or of a program or library file; empty when
// there is none.
QImage IconOfFile(const QString& native, const std::string& ext, int index)
{
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray bytes = file.readAll();
    if (ext == "ico")
        return index == 0 ? QImage::fromData(bytes, "ICO") : QImage();
    std::string ico;
    if (!ExtractPeIcon(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), index, ico))
        return QImage();
    return QImage::fromData(QByteArray(ico.data(), static_cast<qsizetype>(ico.size())), "ICO");
}

// An icon drawn onto an opaque bitmap of its size.
QImage Opaque(const QImage& icon)
{
    if (icon.isNull())
        return QImage();
    QImage opaque(icon.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter p(&opaque);
    p.drawImage(0, 0, icon);
    p.end();
    return opaque;
}

// Sizes a picture may be resampled to: at most 2^28 pixels (1 GB), so that a careless
// size fails with the range error instead of exhausting the memory.
void CheckPictureSize(TPoruBase& st, int64_t w, int64_t h)
{
    if (w > 0 && h > 0 && w * h > (int64_t(1) << 28))
        RangeError(st);
}

TMainWindow* RequireWindow(TPoruBase& st)
{
    TMainWindow* w = DrawingWindow(st);
    if (!w)
        RaiseNeedsWindow(st, st.CurrentCommand ? st.CurrentCommand->Name : std::string());
    return w;
}

// Draws a picture onto the main surface at the cursor (centred when the centring flag
// is set) and moves the cursor below it.
void ShowAtCursor(TPoruBase& st, const QImage& pic)
{
    TMainWindow* w = RequireWindow(st);
    QImage* surface = MainPicture(st);
    int x = st.LayoutX;
    if (st.Centring)
        x = (w->ClientWidth() - pic.width()) / 2;
    if (!pic.isNull()) {
        QPainter p(surface);
        p.drawImage(x, st.LayoutY, pic.convertToFormat(QImage::Format_RGB32));
    }
    st.LayoutY += pic.height();
    RepaintSurface(st, nullptr);
}

// 画像表示 (file).
void cmdShowPicture(TPoruBase& st)
{
    RequireWindow(st);
    const std::string name = PopObjectName(st);
    ShowAtCursor(st, LoadPicture(st, name));
}

// 画像拡大表示 (file, size).
void cmdShowPictureSized(TPoruBase& st)
{
    TMainWindow* w = RequireWindow(st);
    int pw, ph;
    st.PopCoordinates(st.PopRaw(), pw, ph);
    const std::string name = PopObjectName(st);
    CheckPictureSize(st, pw, ph);
    TPixels pix = PixelsFromImage(LoadPicture(st, name));
    Resample(pix, pw, ph);
    QImage* surface = MainPicture(st);
    const int x = st.Centring ? (w->ClientWidth() - pw) / 2 : st.LayoutX;
    if (!pix.Empty()) {
        QPainter p(surface);
        p.drawImage(x, st.LayoutY, ImageFromPixels(pix));
    }
    st.LayoutY += ph;
    RepaintSurface(st, nullptr);
}

// イメージ保存 (file, picture object).
void cmdSavePicture(TPoruBase& st)
{
    RequireWindow(st);
    const std::string objName = PopObjectName(st);
    const std::string file = st.PopText();
    SavePicture(st, objName, file, true);
}

// A place argument read as a rectangle (one to four numbers).
struct TPlace {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

TPlace PopPlace(TPoruBase& st)
{
    std::vector<int> n = ReadNumberList(st, st.PopRaw());
    n.resize(4, 0);
    return {n[0], n[1], n[2], n[3]};
}

// The source picture by name (イメージ or フォーム background), empty when missing.
QImage SourcePicture(TPoruBase& st, const std::string& name)
{
    TObjNode* obj = st.Objects.Find(name);
    if (!obj || (obj->ClassCode != okImage && obj->ClassCode != okForm))
        return QImage();
    QImage* img = obj->Index == 0 ? MainPicture(st) : ObjectCanvas(st, obj);
    return img ? img->convertToFormat(QImage::Format_RGB32) : QImage();
}

// イメージコピー (source, target, place).
void cmdCopyPicture(TPoruBase& st)
{
    RequireWindow(st);
    const TPlace place = PopPlace(st);
    const std::string target = PopObjectName(st);
    const std::string source = PopObjectName(st);
    QImage src = SourcePicture(st, source);
    TObjNode* obj = nullptr;
    QImage* dst = CanvasByName(st, target, obj);
    if (src.isNull() || !dst)
        return;
    if (place.Right > 0 || place.Bottom > 0) {
        CheckPictureSize(st, int64_t(place.Right) - place.Left, int64_t(place.Bottom) - place.Top);
        TPixels pix = PixelsFromImage(src);
        Resample(pix, place.Right - place.Left, place.Bottom - place.Top);
        src = ImageFromPixels(pix);
    }
    QPainter p(dst);
    p.drawImage(place.Left, place.Top, src);
    p.end();
    RepaintSurface(st, obj);
}

// イメージ部分コピー (source, rectangle, target, point).
void cmdCopyPicturePart(TPoruBase& st)
{
    RequireWindow(st);
    const TPlace at = PopPlace(st);
    const std::string target = PopObjectName(st);
    const TPlace part = PopPlace(st);
    const std::string source = PopObjectName(st);
    QImage src = SourcePicture(st, source);
    TObjNode* obj = nullptr;
    QImage* dst = CanvasByName(st, target, obj);
    if (src.isNull() || !dst)
        return;
    const QRect rect(QPoint(part.Left, part.Top), QPoint(part.Right - 1, part.Bottom - 1));
    QPainter p(dst);
    p.drawImage(QPoint(at.Left, at.Top), src, rect.normalized());
    p.end();
    RepaintSurface(st, obj);
}

// イメージ半透明コピー (source, target, place, percent).
void cmdBlendPicture(TPoruBase& st)
{
    RequireWindow(st);
    const int alpha = AlphaFromPercent(static_cast<double>(st.PopNumber()));
    const TPlace place = PopPlace(st);
    const std::string target = PopObjectName(st);
    const std::string source = PopObjectName(st);
    TObjNode* obj = nullptr;
    QImage* dst = PictureOfObject(st, target, obj, "\"は、イメージではありません。");
    if (alpha == 0)
        return;
    TPixels src = PixelsFromImage(SourcePicture(st, source));
    if (place.Right != 0 || place.Bottom != 0) {
        CheckPictureSize(st, int64_t(place.Right) - place.Left, int64_t(place.Bottom) - place.Top);
        Resample(src, place.Right - place.Left, place.Bottom - place.Top);
    }
    TPixels work = PixelsFromImage(*dst);
    BlendOnto(work, src, place.Left, place.Top, alpha);
    *dst = ImageFromPixels(work);
    RepaintSurface(st, obj);
}

// 画像ビット数変更 (picture, bits).
void cmdChangeDepth(TPoruBase& st)
{
    RequireWindow(st);
    const long double bits = st.PopNumber();
    const std::string name = PopObjectName(st);
    QImage::Format format;
    const int b = static_cast<int>(bits);
    switch (b) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 4:
    case 8:
        format = QImage::Format_Indexed8;
        break;
    case 16:
        format = QImage::Format_RGB16;
        break;
    case 24:
        format = QImage::Format_RGB888;
        break;
    case 32:
        format = QImage::Format_RGB32;
        break;
    default:
        st.ArgError(NumberToText(bits) + J("ビットはサポートしていません。"));
    }
    if (b != bits)
        st.ArgError(NumberToText(bits) + J("ビットはサポートしていません。"));
    TObjNode* obj = nullptr;
    QImage* img = PictureOfObject(st, name, obj, "\"は、イメージではありません。");
    QImage converted;
    if (b == 4) {
        // Sixteen colours: the classic palette of the sixteen-colour displays.
        static const QList<QRgb> kPalette16 = {
            qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
        };
        converted = img->convertToFormat(format, kPalette16);
    } else {
        converted = img->convertToFormat(format);
    }
    // The drawing commands work in 32-bit; the depth shows in the pixels.
    *img = converted.convertToFormat(QImage::Format_RGB32);
    RepaintSurface(st, obj);
}

// ---- filters ----

// Runs a filter on the picture of the object named on the stack; an object that has
// none yet gives a white picture of the control's size. A filter that turns the
// picture refits the control to it.
void FilterPicture(TPoruBase& st, const std::function<void(TPixels&)>& filter, bool turns = false)
{
    const std::string name = PopObjectName(st);
    TObjNode* obj = nullptr;
    QImage* img = PictureOfObject(st, name, obj, "\"は、イメージではありません。");
    TPixels pix = PixelsFromImage(*img);
    if (pix.Empty()) {
        QWidget* w = ObjectWidget(obj);
        const QSize size = w ? w->size() : QSize(1, 1);
        pix = TPixels(std::max(1, size.width()), std::max(1, size.height()), 0xFFFFFFFFu);
    }
    filter(pix);
    *img = ImageFromPixels(pix);
    if (turns)
        CanvasResized(st, obj);
    else
        RepaintSurface(st, obj);
}

template <void (*Filter)(TPixels&)> void cmdFilter(TPoruBase& st)
{
    RequireWindow(st);
    FilterPicture(st, Filter);
}

void cmdTurnRight(TPoruBase& st)
{
    RequireWindow(st);
    FilterPicture(st, RotateRight, true);
}

// A filter by an amount, which comes before the object's name.
template <void (*Filter)(TPixels&, double)> void cmdAmountFilter(TPoruBase& st)
{
    RequireWindow(st);
    const long double amount = st.PopNumber();
    FilterPicture(st, [amount](TPixels& pix) { Filter(pix, static_cast<double>(amount)); });
}

// Turning by half degrees, the corners left white.
void TurnHalfDegrees(TPixels& pix, double n)
{
    RotateHalfDegrees(pix, n);
}

void cmdBlur(TPoruBase& st)
{
    RequireWindow(st);
    const long double amount = st.PopNumber();
    FilterPicture(st, [&st, amount](TPixels& pix) {
        const long double r = std::trunc(amount / 10);
        if (!(r >= 0))
            RangeError(st);
        // A radius beyond the picture's size averages as the size itself does.
        BoxBlur(pix, static_cast<int>(std::min<long double>(r, std::max(pix.Width, pix.Height))));
    });
}

void cmdSharpen(TPoruBase& st)
{
    RequireWindow(st);
    const long double s = std::trunc(st.PopNumber());
    FilterPicture(st, [&st, s](TPixels& pix) {
        if (s < 0 || s > 255)
            RangeError(st);
        Sharpen(pix, static_cast<int>(s));
    });
}

void cmdSepia(TPoruBase& st)
{
    RequireWindow(st);
    const int32_t colour = ParseColourText(st.PopText(), 0);
    FilterPicture(st, [colour](TPixels& pix) { Sepia(pix, colour); });
}

// ---- window capture ----

// 窓キャプチャー (window, surface): the desktop or one of the run-time's windows.
void cmdCapture(TPoruBase& st)
{
    TMainWindow* main = RequireWindow(st);
    const std::string window = st.PopText();
    const bool implied = st.ImpliedSore;
    const std::string surfaceName = PopObjectName(st);
    TObjNode* obj = nullptr;
    QImage* dst = implied ? MainPicture(st) : CanvasByName(st, surfaceName, obj);
    if (!dst)
        st.Error(J("オブジェクト\"") + surfaceName + J("\"が特定できません。"));
    QImage shot;
    if (window == J("デスクトップ")) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            shot = screen->grabWindow(0).toImage();
    } else {
        QWidget* found = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == SjisToQString(window)) {
                found = w;
                break;
            }
        if (!found)
            return;
        found->activateWindow();
        st.Host->WaitMs(st, 300);
        shot = found->grab().toImage();
        main->activateWindow();
    }
    if (shot.isNull())
        return;
    QPainter p(dst);
    p.drawImage(0, 0, shot);
    p.end();
    RepaintSurface(st, obj);
}

// アイコン抽出 (file, index, picture object): an icon of an .ico file.
void cmdExtractIcon(TPoruBase& st)
{
    RequireWindow(st);
    THashNode* word = st.PopWord(false);
    const long double index = std::trunc(st.PopNumber());
    if (index < 0)
        RangeError(st);
    const std::string file = st.PopText();
    if (word->Kind != wkObject)
        st.Error("\"" + word->Name + J("\"は、オブジェクトではありません。"));
    TObjNode* obj = st.Objects.Find(word->Name);
    if (!obj || obj->ClassCode != okImage)
        st.Error("\"" + word->Name + J("\"は、オブジェクトではありません。イメージを指定します。"));
    const std::string path = ResolveReadPath(st, file);
    const QImage icon = Opaque(IconOfFile(QString::fromUtf8(ToNativePath(path)), LowerExtension(path),
                                          index > 1e6 ? -1 : static_cast<int>(index)));
    QImage* img = ObjectCanvas(st, obj);
    if (!img)
        return;
    *img = icon.convertToFormat(QImage::Format_RGB32);
    CanvasResized(st, obj);
}

// ---- fades ----

template <bool Out> void cmdFade(TPoruBase& st)
{
    TMainWindow* w = RequireWindow(st);
    const long double speed = std::trunc(st.PopNumber());
    QImage* surface = MainPicture(st);
    // What the window shows now, controls included, becomes the picture.
    QImage screen = w->centralWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    TPixels pix = PixelsFromImage(screen);
    for (int step = 0; step < 26; ++step) {
        if (Out)
            FadeDarken(pix, 255 - step * 10);
        else
            FadeLighten(pix, step * 10);
        QPainter p(surface);
        p.drawImage(0, 0, ImageFromPixels(pix));
        p.end();
        w->Surface()->raise();
        w->Surface()->repaint();
        if (speed > 0) {
            for (long double i = 0; i <= speed && !st.Stopping; ++i)
                st.Host->WaitMs(st, 2);
            if (st.Stopping)
                break;
        }
    }
    w->Surface()->lower();
    w->update();
}

HandlerRegistrar reg({
    {Cmd::ShowPicture, cmdShowPicture},
    {Cmd::ShowPictureSized, cmdShowPictureSized},
    {Cmd::Capture, cmdCapture},
    {Cmd::CopyPicture, cmdCopyPicture},
    {Cmd::FadeOut, cmdFade<true>},
    {Cmd::FadeIn, cmdFade<false>},
    {Cmd::SavePicture, cmdSavePicture},
    {Cmd::FlipVertical, cmdFilter<FlipVertical>},
    {Cmd::FlipHorizontal, cmdFilter<FlipHorizontal>},
    {Cmd::TurnRight, cmdTurnRight},
    {Cmd::Negate, cmdFilter<Negate>},
    {Cmd::Greyscale, cmdFilter<Greyscale>},
    {Cmd::Solarize, cmdFilter<Solarize>},
    {Cmd::Brightness, cmdAmountFilter<Brightness>},
    {Cmd::Gamma, cmdAmountFilter<Gamma>},
    {Cmd::Rotate, cmdAmountFilter<TurnHalfDegrees>},
    {Cmd::EdgeDetect, cmdFilter<EdgeDetect>},
    {Cmd::Blur, cmdBlur},
    {Cmd::Sharpen, cmdSharpen},
    {Cmd::Sepia, cmdSepia},
    {Cmd::BlendPicture, cmdBlendPicture},
    {Cmd::CopyPicturePart, cmdCopyPicturePart},
    {Cmd::ChangeDepth, cmdChangeDepth},
    {Cmd::ExtractIcon, cmdExtractIcon},
});

}   // namespace

TPixels PixelsFromImage(const QImage& img)
{
    if (img.isNull())
        return TPixels();
    const QImage src = img.convertToFormat(QImage::Format_RGB32);
    TPixels pix(src.width(), src.height());
    for (int y = 0; y < src.height(); ++y)
        std::memcpy(pix.Data.data() + static_cast<size_t>(y) * pix.Width, src.constScanLine(y),
                    static_cast<size_t>(src.width()) * 4);
    return pix;
}

QImage ImageFromPixels(const TPixels& pix)
{
    if (pix.Empty())
        return QImage();
    QImage img(pix.Width, pix.Height, QImage::Format_RGB32);
    for (int y = 0; y < pix.Height; ++y)
        std::memcpy(img.scanLine(y), pix.Data.data() + static_cast<size_t>(y) * pix.Width,
                    static_cast<size_t>(pix.Width) * 4);
    return img;
}

QImage* PictureOfObject(TPoruBase& st, const std::string& name, TObjNode*& obj, const char* notImageUtf8)
{
    obj = st.Objects.Find(name);
    if (!obj)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    if (obj->ClassCode != okImage && obj->ClassCode != okForm)
        st.Error("\"" + name + J(notImageUtf8));
    QImage* img = obj->Index == 0 ? MainPicture(st) : ObjectCanvas(st, obj);
    if (!img)
        st.Error("\"" + name + J(notImageUtf8));
    return img;
}

QImage LoadPicture(TPoruBase& st, const std::string& name)
{
    if (name == J("クリップボード"))
        return QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    const std::string ext = LowerExtension(name);
    if (ext.empty()) {
        TObjNode* obj = st.Objects.Find(ToHalf(name));
        if (!obj)
            return QImage();
        if (obj->ClassCode != okImage && obj->ClassCode != okForm)
            st.Error(J("画像として、\"") + name + J("\"を読み込めません。"));
        QImage* img = obj->Index == 0 ? MainPicture(st) : ObjectCanvas(st, obj);
        return img ? img->convertToFormat(QImage::Format_RGB32) : QImage();
    }
    const std::string path = ResolveReadPath(st, name);
    const QString native = QString::fromUtf8(ToNativePath(path));
    const QByteArray format = ext == "jpeg" ? QByteArray("jpg") : QByteArray::fromStdString(ext);
    if (ext == "exe") {
        if (!QFile::exists(native))
            st.Error(J("画像ファイル\"") + name + J("\"が読込めません。"));
        return Opaque(IconOfFile(native, ext, 0));
    }
    if (ext != "bmp" && ext != "ico" && ext != "jpg" && ext != "jpeg" && ext != "png" &&
        !QImageReader::supportedImageFormats().contains(format))
        st.Error("\"" + name + "\"" + J("が読込めません。未対応のファイル形式です。"));
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        st.Error(J("画像ファイル\"") + name + J("\"が読込めません。"));
    file.close();
    QImageReader reader(native, format);
    reader.setDecideFormatFromContent(true);
    QImage img = reader.read();
    if (img.isNull())
        st.Error(J("画像ファイル\"") + name + J("\"が読込めません。") + QStringToSjis(reader.errorString()));
    if (ext == "ico")
        return Opaque(img);   // an icon is drawn onto an opaque bitmap of its size
    return img.convertToFormat(QImage::Format_RGB32);
}

bool SavePicture(TPoruBase& st, const std::string& objName, const std::string& file, bool confirm)
{
    TObjNode* obj = nullptr;
    QImage* img = PictureOfObject(st, objName, obj, "\"はイメージではありません。");
    QImage pic = *img;
    if (obj->ClassCode == okForm) {
        QWidget* w = obj->Index == 0 ? static_cast<QWidget*>(DrawingWindow(st)->Surface()) : ObjectWidget(obj);
        if (w && !pic.isNull())
            pic = pic.copy(0, 0, w->width(), w->height());
    }
    if (file == J("クリップボード")) {
        QGuiApplication::clipboard()->setImage(pic);
        return true;
    }
    if (confirm && !SecurityGate(st, file, J("イメージを\"") + file + J("\"へ保存します。")))
        return false;
    const std::string ext = LowerExtension(file);
    QByteArray format;
    int quality = -1;
    if (ext == "bmp") {
        format = "bmp";
    } else if (ext == "jpg" || ext == "jpeg") {
        format = "jpg";
        const long double q = ToNumber(SystemWordValue(st, "JPEG圧縮率"));
        if (!(q >= 1 && q <= 100))
            RangeError(st);
        quality = static_cast<int>(q);
    } else if (ext == "png") {
        format = "png";
    } else if (ext == "ico") {
        format = "ico";
    } else {
        st.Error("\"." + ext + J("\"は、未対応の画像ファイルです。"));
    }
    QImageWriter writer(QString::fromUtf8(ToNativePath(file)), format);
    if (quality > 0)
        writer.setQuality(quality);
    const QImage out =
        format == "ico" ? pic.convertToFormat(QImage::Format_ARGB32) : pic.convertToFormat(QImage::Format_RGB888);
    if (!writer.write(out))
        st.Error(J("ファイル\"") + file + J("\"の、読み込みか書き込みに、失敗しました。") +
                 QStringToSjis(writer.errorString()));
    return true;
}
