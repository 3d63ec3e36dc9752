// Drawing on the main window's surface and on named surfaces (イメージ, フォーム):
// lines, rectangles, ellipses, pixels and text with the pen, brush and font system
// variables. Shapes follow the classic raster rules: a rectangle or ellipse given by
// two corners excludes its right and bottom edges, a line leaves out its last pixel.
#pragma once
#include <QColor>
#include <QImage>

#include <string>
#include <vector>

class TPoruBase;
class TMainWindow;
struct TObjNode;

// The pen, brush and outline width from ペン色, 塗り色 and ペン太さ.
struct TDrawStyle {
    QColor Pen;
    QColor Brush;
    int Width = 1;
};
TDrawStyle CurrentDrawStyle(TPoruBase& st);

// The main window of a window host; nil in the console.
TMainWindow* DrawingWindow(TPoruBase& st);
// The main surface's picture, grown to the window and made 32-bit.
QImage* MainPicture(TPoruBase& st);
// Shows what was drawn: the object's canvas, or the main surface for nil.
void RepaintSurface(TPoruBase& st, TObjNode* obj);

// A picture made ready for drawing: 32-bit; an empty one takes `fallback` size, white.
void PrepareCanvas(QImage& img, QSize fallback);

// The canvas of the object with this record name (イメージ, フォーム, 母艦), nil when
// there is none; `obj` receives the record (nil when there is no such object).
QImage* CanvasByName(TPoruBase& st, const std::string& name, TObjNode*& obj);

// Raster shapes with the classic edge rules.
void DrawLineOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s);
void DrawRectangleOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s, bool outline);
void DrawEllipseOn(QImage& img, int x1, int y1, int x2, int y2, const TDrawStyle& s);

// Numbers of a coordinate or rectangle text: a word's value, backquotes and one pair of
// outer parentheses dropped, then the comma-separated parts calculated.
std::vector<int> ReadNumberList(TPoruBase& st, const std::string& raw);

// An object argument: its record name as written, or else its value.
std::string PopObjectName(TPoruBase& st);
