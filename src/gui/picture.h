// Pictures: loading (files, the clipboard, other objects), saving, copies, the
// filters of picture objects, window capture, icons and the fades.
#pragma once
#include <QImage>

#include <string>

#include "commands/drawing/pixels.h"

class TPoruBase;
struct TObjNode;

// A picture as a 32-bit pixel buffer and back.
TPixels PixelsFromImage(const QImage& img);
QImage ImageFromPixels(const TPixels& pix);

// Loads a picture by name: a file (by its extension), "クリップボード", or the name of
// an イメージ or フォーム. The result is 32-bit; an unknown object gives an empty picture.
QImage LoadPicture(TPoruBase& st, const std::string& name);

// Saves the picture of object `objName` to `file` (or the clipboard); with `confirm`
// the write is asked for first. Returns false when refused.
bool SavePicture(TPoruBase& st, const std::string& objName, const std::string& file, bool confirm);

// The picture of an イメージ or a フォーム's background; raises `notImage` (with the
// name in front) for other kinds and "オブジェクト"%s"は、作成されていません。" for none.
QImage* PictureOfObject(TPoruBase& st, const std::string& name, TObjNode*& obj, const char* notImageUtf8);
