// Widget classes of the object kinds that Qt has no ready widget for: the picture
// box, the form window with its background picture, the resizable track box, the
// sortable grid, the radio group and the browser with a navigation check.
#pragma once
#include <QButtonGroup>
#include <QGroupBox>
#include <QImage>
#include <QTableWidget>
#include <QWidget>

#include <functional>
#include <string>

#include "gui/browser_engine.h"

// A copy of a picture in which every pixel of its top-left pixel's colour is see-through.
QImage SeeThroughTopLeft(const QImage& img);

// A picture box: paints its picture (stretched to the box when asked), keeps it
// when the box changes size. The picture is what drawing commands draw on.
class TCanvasBox : public QWidget {
public:
    explicit TCanvasBox(QWidget* parent = nullptr);
    QImage& Picture() { return picture_; }
    void SetPicture(const QImage& img);
    bool Stretch = false;
    bool Transparent = false;
    QColor Fill = Qt::white;
    // Makes the picture w x h, keeping what was drawn (new parts filled).
    void FitPicture(int w, int h);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage picture_;
};

// The window of a フォーム: a top-level widget whose background is a picture box
// named "img" covering the client area. Closing only hides it.
class TFormWindow : public QWidget {
public:
    explicit TFormWindow(QWidget* owner);
    TCanvasBox* Background() const { return img_; }
    std::function<void()> OnResized;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    TCanvasBox* img_;
};

// The track box: a paint box that the user sizes by dragging its lower right
// corner; it stays at least 10 x 10.
class TTrackBox : public TCanvasBox {
public:
    explicit TTrackBox(QWidget* parent = nullptr);
    std::function<void()> OnResized;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool dragging_ = false;
    QPoint start_;
    QSize startSize_;
};

// The grid: row 0 is the fixed header row (drawn like a header), the Qt headers are
// hidden. Cells hold Shift_JIS texts as their display strings converted to UTF-8.
class TSortGrid : public QTableWidget {
public:
    explicit TSortGrid(QWidget* parent = nullptr);
    bool Sortable = false;
    // Loads CSV text: row 0 becomes the header row, one empty row is added at the end.
    void LoadCsv(const std::string& sjisCsv);
    // All cells as CSV text; `trimEmpty` drops leading and trailing empty rows.
    std::string CsvText(bool trimEmpty) const;
    std::string CellText(int row, int col) const;
    void SetCellText(int row, int col, const std::string& sjis);
    void StyleHeaderRow();
    // Sorts rows 1 .. rowCount-2 by a column: upper-cased ASCII, byte order of the
    // Shift_JIS text; alternate clicks alternate the direction.
    void SortByColumn(int col);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }

private:
    int sortColumn_ = -1;
    bool ascending_ = false;
};

// The radio group: a frame with one radio button per item.
class TRadioGroup : public QGroupBox {
public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    QButtonGroup* Group() const { return group_; }
    void SetItems(const QStringList& items);
    QStringList Items() const;
    int Selected() const;
    void Select(int index);
    std::function<void()> OnClicked;

private:
    QButtonGroup* group_;
};

// The browser: shows pages through its engine (the web engine, or the text browser
// where that is missing) and asks before the page navigates.
class TBrowser : public QWidget {
public:
    explicit TBrowser(QWidget* parent = nullptr);
    ~TBrowser() override;
    // Asked with the URL before every navigation; false cancels it.
    std::function<bool(const QUrl&)> BeforeNavigate;
    QUrl Location() const;
    QString Title() const;
    void Navigate(const QUrl& url);
    void forward();
    void backward();
    IBrowserEngine* Engine() const { return engine_; }
    QSize sizeHint() const override { return QSize(250, 150); }

private:
    TBrowserCallbacks callbacks_;
    IBrowserEngine* engine_ = nullptr;
};
