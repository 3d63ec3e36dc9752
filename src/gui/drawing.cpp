#include "gui/drawing.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "core/codec.h"
#include "core/text.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "gui/objects.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

int TabWidth(TPoruBase& st)
{
    return st.Sys.TabCount ? ToIntOrDefault(TrimView(st.Sys.TabCount->Value), 8) : 8;
}

// The window-only commands need the window host.
TMainWindow* RequireWindow(TPoruBase& st)
{
    TMainWindow* w = DrawingWindow(st);
    if (!w)
        RaiseNeedsWindow(st, st.CurrentCommand ? st.CurrentCommand->Name : std::string());
    return w;
}

// Fills the pixels [x1, x2) x [y1, y2), clipped to the picture.
void FillBox(QImage& img, int64_t x1, int64_t y1, int64_t x2, int64_t y2, QRgb colour)
{
    x1 = std::max<int64_t>(x1, 0);
    y1 = std::max<int64_t>(y1, 0);
    x2 = std::min<int64_t>(x2, img.width());
    y2 = std::min<int64_t>(y2, img.height());
    for (int64_t y = y1; y < y2; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(y)));
        std::fill(row + x1, row + std::max(x1, x2), colour);
    }
}

// A shape's two corners from the arguments: "?から,?へ" with the start point
// optional (left out: nullopt start, as ImpliedSore tells).
struct TTwoPoints {
    bool HasStart = false;
    std::string EndRaw;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

TTwoPoints PopTwoPoints(TPoruBase& st, bool endIsRectangleWhenAlone)
{
    TTwoPoints p;
    p.EndRaw = st.PopRaw();
    const bool implied = st.ImpliedSore;
    std::string startRaw = st.PopRaw();
    p.HasStart = !implied;
    if (p.HasStart || !endIsRectangleWhenAlone)
        st.PopCoordinates(p.EndRaw, p.x2, p.y2);
    if (p.HasStart)
        st.PopCoordinates(startRaw, p.x1, p.y1);
    return p;
}

// The four numbers of a rectangle x1,y1,x2,y2 (missing ones are 0).
void FourNumbers(TPoruBase& st, const std::string& raw, int& x1, int& y1, int& x2, int& y2)
{
    std::vector<int> n = ReadNumberList(st, raw);
    n.resize(4, 0);
    x1 = n[0];
    y1 = n[1];
    x2 = n[2];
    y2 = n[3];
}

enum class TShape { Line, Rectangle, Ellipse };

// 線, 四角形, 円形 on the main surface.
template <TShape Shape> void cmdMainShape(TPoruBase& st)
{
    RequireWindow(st);
    TTwoPoints p = PopTwoPoints(st, Shape != TShape::Line);
    QImage* img = MainPicture(st);
    const TDrawStyle s = CurrentDrawStyle(st);
    if (Shape == TShape::Line) {
        if (!p.HasStart) {
            p.x1 = st.LayoutX;
            p.y1 = st.LayoutY;
        }
        DrawLineOn(*img, p.x1, p.y1, p.x2, p.y2, s);
    } else if (!p.HasStart) {
        FourNumbers(st, p.EndRaw, p.x1, p.y1, p.x2, p.y2);
        if (Shape == TShape::Rectangle)
            DrawRectangleOn(*img, p.x1, p.y1, p.x2, p.y2, s, false);
        else
            DrawEllipseOn(*img, p.x1, p.y1, p.x2, p.y2, s);
    } else if (Shape == TShape::Rectangle) {
        DrawRectangleOn(*img, p.x1, p.y1, p.x2, p.y2, s, true);
    } else {
        DrawEllipseOn(*img, p.x1, p.y1, p.x2, p.y2, s);
    }
    RepaintSurface(st, nullptr);
}

// The picture object of the named-surface commands: an イメージ or a フォーム.
QImage* NamedPicture(TPoruBase& st, const std::string& name, TObjNode*& obj)
{
    obj = st.Objects.Find(name);
    if (!obj)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    if (obj->ClassCode != okImage && obj->ClassCode != okForm)
        st.Error("\"" + name + J("\"は、イメージではありません。"));
    QImage* img = ObjectCanvas(st, obj);
    if (!img)
        st.Error("\"" + name + J("\"は、イメージではありません。"));
    QWidget* w = ObjectWidget(obj);
    PrepareCanvas(*img, w ? w->size() : QSize(1, 1));
    return img;
}

// 線描画, 四角形描画, 円形描画 (picture, start, end).
template <TShape Shape> void cmdNamedShape(TPoruBase& st)
{
    RequireWindow(st);
    int x1, y1, x2, y2;
    st.PopCoordinates(st.PopRaw(), x2, y2);
    st.PopCoordinates(st.PopRaw(), x1, y1);
    const std::string name = PopObjectName(st);
    TObjNode* obj = nullptr;
    QImage* img = NamedPicture(st, name, obj);
    const TDrawStyle s = CurrentDrawStyle(st);
    if (Shape == TShape::Line)
        DrawLineOn(*img, x1, y1, x2, y2, s);
    else if (Shape == TShape::Rectangle)
        DrawRectangleOn(*img, x1, y1, x2, y2, s, true);
    else
        DrawEllipseOn(*img, x1, y1, x2, y2, s);
    RepaintSurface(st, obj);
}

// The surface of 点描画 and 座標色取得: the main surface when left out.
QImage* PixelSurface(TPoruBase& st, bool implied, const std::string& name, TObjNode*& obj)
{
    obj = nullptr;
    if (implied)
        return MainPicture(st);
    return CanvasByName(st, name, obj);
}

// リスト, グリッド, ラベル and アニメ are drawn on the control itself: pixels set there lie on
// a transparent layer the control keeps over itself, and pixels are read from what the
// window shows at that place (the control, its layer and whatever shows through).
bool HasOwnCanvas(const TObjNode* obj)
{
    return obj && (obj->ClassCode == okList || obj->ClassCode == okGrid || obj->ClassCode == okLabel ||
                   obj->ClassCode == okAnime);
}

class TCanvasLayer : public QWidget {
public:
    explicit TCanvasLayer(QWidget* control) : QWidget(control)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        resize(control->size());
        control->installEventFilter(this);
        show();
        raise();
    }
    void SetPixel(int x, int y, QRgb colour)
    {
        if (Picture.size() != size()) {
            QImage grown(size(), QImage::Format_ARGB32);
            grown.fill(Qt::transparent);
            QPainter(&grown).drawImage(0, 0, Picture);
            Picture = grown;
        }
        Picture.setPixel(x, y, colour | 0xff000000u);
        update(x, y, 1, 1);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, Picture); }
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Resize)
            resize(static_cast<QWidget*>(watched)->size());
        return false;
    }

private:
    QImage Picture;
};

// The widget of an own-canvas object when the point lies on it, else nil: the client
// area (viewport) of a list or grid, the control itself otherwise.
QWidget* OwnCanvasAt(TObjNode* obj, int x, int y)
{
    QWidget* w = HasOwnCanvas(obj) ? ObjectWidget(obj) : nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
        w = area->viewport();
    return w && QRect(QPoint(0, 0), w->size()).contains(x, y) ? w : nullptr;
}

// The arguments of the pixel commands (point, then surface): the picture and the
// point, or nil when the point lies outside it or there is no picture; `own` is the
// control when the surface is a control's own canvas instead.
QImage* PixelArguments(TPoruBase& st, int& x, int& y, TObjNode*& obj, QWidget*& own)
{
    RequireWindow(st);
    st.PopCoordinates(st.PopRaw(), x, y);
    const bool implied = st.ImpliedSore;
    const std::string name = PopObjectName(st);
    obj = nullptr;
    QImage* img = PixelSurface(st, implied, name, obj);
    own = img ? nullptr : OwnCanvasAt(obj, x, y);
    return img && img->valid(x, y) ? img : nullptr;
}

// 点描画 (surface, point).
void cmdSetPixel(TPoruBase& st)
{
    int x, y;
    TObjNode* obj;
    QWidget* own;
    QImage* img = PixelArguments(st, x, y, obj, own);
    if (own) {
        auto* layer = own->findChild<TCanvasLayer*>(QString(), Qt::FindDirectChildrenOnly);
        if (!layer)
            layer = new TCanvasLayer(own);
        layer->SetPixel(x, y, CurrentDrawStyle(st).Pen.rgb());
        return;
    }
    if (!img)
        return;
    if (img->format() != QImage::Format_RGB32)
        *img = img->convertToFormat(QImage::Format_RGB32);
    img->setPixel(x, y, CurrentDrawStyle(st).Pen.rgb());
    RepaintSurface(st, obj);
}

// 座標色取得 (surface, point): the colour value of the pixel.
void cmdGetPixel(TPoruBase& st)
{
    int x, y;
    TObjNode* obj;
    QWidget* own;
    QImage* img = PixelArguments(st, x, y, obj, own);
    if (own) {
        // Rendered from the top-level window so that a control without a background of
        // its own shows the window behind it, as on the screen.
        QWidget* top = own->window();
        // Only the one pixel is rendered.
        const QImage shown = top->grab(QRect(own->mapTo(top, QPoint(x, y)), QSize(1, 1))).toImage();
        if (shown.valid(0, 0))
            st.SetSoreNumber(ValueFromColour(QColor(shown.pixel(0, 0))));
        return;
    }
    if (!img)
        return;
    st.SetSoreNumber(ValueFromColour(QColor(img->pixel(x, y))));
}

// 文字描画 (picture, point, text).
void cmdDrawText(TPoruBase& st)
{
    RequireWindow(st);
    const std::string text = st.PopText();
    int x, y;
    st.PopCoordinates(st.PopRaw(), x, y);
    const std::string name = PopObjectName(st);
    TObjNode* obj = nullptr;
    QImage* img = NamedPicture(st, name, obj);
    const QFont font = CurrentTextFont(st);
    const int lineHeight = TGuiHost::LineHeight(font);
    QPainter painter(img);
    painter.setFont(font);
    painter.setPen(CurrentTextColour(st));
    const QFontMetrics fm(font, img);
    int64_t top = y;
    for (const std::string& line : DisplayLines(text, TabWidth(st))) {
        painter.drawText(x, static_cast<int>(top) + fm.ascent(), SjisToQString(line));
        top += lineHeight;
    }
    painter.end();
    RepaintSurface(st, obj);
}

// 移動 (point): the layout cursor.
void cmdMoveCursor(TPoruBase& st)
{
    int x, y;
    st.PopCoordinates(st.PopRaw(), x, y);
    st.LayoutX = x;
    st.LayoutY = y;
}

// 画面クリア (colour): left out, the window's colour.
void cmdClearScreen(TPoruBase& st)
{
    TMainWindow* w = RequireWindow(st);
    const bool implied = st.ImpliedSore;
    const std::string text = st.PopText();
    TDrawSurface* surface = w->Surface();
    QColor colour = surface->WindowColour();
    if (!implied)
        colour = ColourFromValue(ParseColourText(text, 0));
    surface->SetWindowColour(colour);
    QImage& pic = surface->Picture();
    const QSize size = pic.isNull() ? surface->size() : pic.size().expandedTo(surface->size());
    pic = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    pic.fill(colour);
    st.LayoutX = 10;
    st.LayoutY = 10;
    surface->update();
}

// 描画処理反映: repaint and let pending messages be dispatched.
void cmdRefresh(TPoruBase& st)
{
    if (TMainWindow* w = DrawingWindow(st))
        w->Surface()->repaint();
    if (st.Host)
        st.Host->ProcessEvents();
}

HandlerRegistrar reg({
    {Cmd::MoveCursor, cmdMoveCursor},
    {Cmd::ClearScreen, cmdClearScreen},
    {Cmd::Line, cmdMainShape<TShape::Line>},
    {Cmd::Rectangle, cmdMainShape<TShape::Rectangle>},
    {Cmd::Ellipse, cmdMainShape<TShape::Ellipse>},
    {Cmd::Refresh, cmdRefresh},
    {Cmd::SetPixel, cmdSetPixel},
    {Cmd::DrawText, cmdDrawText},
    {Cmd::DrawLine, cmdNamedShape<TShape::Line>},
    {Cmd::DrawRectangle, cmdNamedShape<TShape::Rectangle>},
    {Cmd::DrawEllipse, cmdNamedShape<TShape::Ellipse>},
    {Cmd::GetPixel, cmdGetPixel},
});

}   // namespace

TDrawStyle CurrentDrawStyle(TPoruBase& st)
{
    TDrawStyle s;
    s.Pen = ColourFromValue(ParseColourText(SystemWordValue(st, "ペン色"), 0));
    s.Brush = ColourFromValue(ParseColourText(SystemWordValue(st, "塗り色"), 0));
    s.Width = std::max(1, ToIntOrDefault(TrimView(SystemWordValue(st, "ペン太さ")), 1));
    return s;
}

TMainWindow* DrawingWindow(TPoruBase& st)
{
    if (!st.Host || !st.Host->IsGui())
        return nullptr;
    return static_cast<TMainWindow*>(st.Host->MainWindowControl());
}

QImage* MainPicture(TPoruBase& st)
{
    TMainWindow* w = DrawingWindow(st);
    if (!w)
        return nullptr;
    TDrawSurface* surface = w->Surface();
    surface->EnsurePictureSize(surface->width(), surface->height());
    QImage& pic = surface->Picture();
    if (pic.format() != QImage::Format_RGB32)
        pic = pic.convertToFormat(QImage::Format_RGB32);
    return &pic;
}

void RepaintSurface(TPoruBase& st, TObjNode* obj)
{
    if (obj) {
        RepaintObject(st, obj);
        return;
    }
    if (TMainWindow* w = DrawingWindow(st))
        w->Surface()->update();
}

void PrepareCanvas(QImage& img, QSize fallback)
{
    if (img.isNull()) {
        img = QImage(fallback.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        img.fill(Qt::white);
    } else if (img.format() != QImage::Format_RGB32) {
        img = img.convertToFormat(QImage::Format_RGB32);
    }
}

QImage* CanvasByName(TPoruBase& st, const std::string& name, TObjNode*& obj)
{
    obj = st.Objects.Find(name);
    if (!obj)
        return nullptr;
    if (obj->Index == 0)
        return MainPicture(st);
    QImage* img = ObjectCanvas(st, obj);
    if (img) {
        QWidget* w = ObjectWidget(obj);
        PrepareCanvas(*img, w ? w->size() : QSize(1, 1));
    }
    return img;
}

void DrawLineOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s)
{
    // Bresenham from the start to the pixel before the end; every pixel stamps a
    // square of the pen's width centred on it.
    const QRgb colour = s.Pen.rgb();
    const int half = s.Width / 2;
    int64_t x = x1, y = y1;
    const int64_t dx = std::llabs(int64_t(x2) - x1), dy = -std::llabs(int64_t(y2) - y1);
    if (std::max(dx, -dy) > (int64_t(1) << 16)) {
        // A line this long is clipped by the painter instead of walked pixel by pixel;
        // its missing last pixel lies far outside any picture.
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(s.Pen, s.Width, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QLineF(x1, y1, x2, y2));
        return;
    }
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int64_t err = dx + dy;
    while (!(x == x2 && y == y2)) {
        FillBox(img, x - half, y - half, x - half + s.Width, y - half + s.Width, colour);
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void DrawRectangleOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s, bool outline)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    FillBox(img, x1, y1, x2, y2, s.Brush.rgb());
    if (!outline || x1 == x2 || y1 == y2)
        return;
    // The pen is centred on the outline that runs through the first and the last
    // pixel of each side.
    const QRgb pen = s.Pen.rgb();
    const int64_t half = s.Width / 2, w = s.Width;
    const int64_t l = x1 - half, t = y1 - half, r = int64_t(x2) - 1 - half, b = int64_t(y2) - 1 - half;
    FillBox(img, l, t, r + w, t + w, pen);   // top
    FillBox(img, l, b, r + w, b + w, pen);   // bottom
    FillBox(img, l, t, l + w, b + w, pen);   // left
    FillBox(img, r, t, r + w, b + w, pen);   // right
}

void DrawEllipseOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s)
{
    if (x1 > x2)
        std::swap(x1, x2);
    if (y1 > y2)
        std::swap(y1, y2);
    if (x2 - x1 < 1 || y2 - y1 < 1)
        return;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(s.Pen);
    pen.setWidth(s.Width);
    p.setPen(pen);
    p.setBrush(s.Brush);
    // A stroked QRect covers one pixel more than its size: the ellipse spans x1..x2-1.
    p.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

std::string PopObjectName(TPoruBase& st)
{
    const std::string raw = st.PopRaw();
    if (st.Objects.Find(raw))
        return raw;
    return st.EvaluateValue(raw);
}

std::vector<int> ReadNumberList(TPoruBase& st, const std::string& raw)
{
    std::string t = raw;
    if (st.Words.FindExact(t)) {
        const char* q = t.c_str();
        t = st.ReadValue(q);
    }
    if (t.size() >= 2 && t.front() == '`' && t.back() == '`')
        t = t.substr(1, t.size() - 2);
    std::string_view v = TrimView(t);
    if (v.size() >= 2 && v.front() == '(' && v.back() == ')')
        v = v.substr(1, v.size() - 2);
    std::vector<int> out;
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i <= v.size(); ++i) {
        if (i < v.size() && (v[i] == '(' || v[i] == ')')) {
            depth += v[i] == '(' ? 1 : -1;
            continue;
        }
        if (i == v.size() || (v[i] == ',' && depth == 0)) {
            const std::string part(TrimView(v.substr(start, i - start)));
            if (!part.empty()) {
                long double n = ToNumber(st.CalculateText(part));
                if (n != n)
                    n = 0;
                out.push_back(n > 2147483647.0L ? 2147483647 : (n < -2147483648.0L ? INT32_MIN : static_cast<int>(n)));
            }
            start = i + 1;
        }
    }
    return out;
}
