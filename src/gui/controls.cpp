#include "gui/controls.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "commands/tables/csv_table.h"
#include "core/codec.h"
#include "core/sjis.h"
#include "services/qt_text.h"

// ---- picture box -------------------------------------------------------------------

QImage SeeThroughTopLeft(const QImage& img)
{
    QImage shown = img.convertToFormat(QImage::Format_ARGB32);
    if (shown.isNull())
        return shown;
    const QRgb key = shown.pixel(0, 0);
    for (int y = 0; y < shown.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return shown;
}

TCanvasBox::TCanvasBox(QWidget* parent) : QWidget(parent) {}

void TCanvasBox::SetPicture(const QImage& img)
{
    picture_ = img.convertToFormat(QImage::Format_RGB32);
    update();
}

void TCanvasBox::FitPicture(int w, int h)
{
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (picture_.width() == w && picture_.height() == h)
        return;
    QImage grown(w, h, QImage::Format_RGB32);
    grown.fill(Fill);
    if (!picture_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, picture_);
    }
    picture_ = std::move(grown);
    update();
}

void TCanvasBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (picture_.isNull())
        return;
    const QImage shown = Transparent ? SeeThroughTopLeft(picture_) : picture_;
    if (Stretch)
        p.drawImage(rect(), shown);
    else
        p.drawImage(0, 0, shown);
}

// ---- form window ---------------------------------------------------------------------

TFormWindow::TFormWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    img_ = new TCanvasBox(this);
    img_->setObjectName(QStringLiteral("img"));
    img_->move(0, 0);
}

void TFormWindow::resizeEvent(QResizeEvent* e)
{
    img_->resize(size());
    img_->FitPicture(std::max(width(), img_->Picture().width()), std::max(height(), img_->Picture().height()));
    QWidget::resizeEvent(e);
    if (OnResized)
        OnResized();
}

// ---- track box -----------------------------------------------------------------------

TTrackBox::TTrackBox(QWidget* parent) : TCanvasBox(parent)
{
    Fill = palette().color(QPalette::Window);
}

void TTrackBox::mousePressEvent(QMouseEvent* e)
{
    const QPoint pt = e->position().toPoint();
    if (e->button() == Qt::LeftButton && pt.x() >= width() - 8 && pt.y() >= height() - 8) {
        dragging_ = true;
        start_ = e->globalPosition().toPoint();
        startSize_ = size();
        e->accept();
        return;
    }
    e->ignore();
}

void TTrackBox::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging_) {
        e->ignore();
        return;
    }
    const QPoint d = e->globalPosition().toPoint() - start_;
    resize(startSize_.width() + d.x(), startSize_.height() + d.y());
}

void TTrackBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (!dragging_) {
        e->ignore();
        return;
    }
    dragging_ = false;
}

void TTrackBox::resizeEvent(QResizeEvent* e)
{
    // Held at 10 x 10 or larger, then the change is reported.
    if (width() < 10 || height() < 10) {
        resize(std::max(width(), 10), std::max(height(), 10));
        return;
    }
    QWidget::resizeEvent(e);
    if (OnResized)
        OnResized();
}

void TTrackBox::paintEvent(QPaintEvent* e)
{
    TCanvasBox::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(width() - 6, height() - 6, 5, 5, palette().color(QPalette::Dark));
}

// ---- grid ------------------------------------------------------------------------------

TSortGrid::TSortGrid(QWidget* parent) : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setDefaultSectionSize(64);
    verticalHeader()->setDefaultSectionSize(24);
    verticalHeader()->setMinimumSectionSize(8);
    setRowCount(5);
    setColumnCount(5);
    StyleHeaderRow();
}

std::string TSortGrid::CellText(int row, int col) const
{
    const QTableWidgetItem* it = item(row, col);
    if (!it)
        return std::string();
    const QByteArray raw = it->data(Qt::UserRole).toByteArray();
    if (!raw.isNull())
        return std::string(raw.constData(), raw.size());
    return QStringToSjis(it->text());
}

void TSortGrid::SetCellText(int row, int col, const std::string& sjis)
{
    if (row >= rowCount())
        setRowCount(row + 1);
    if (col >= columnCount())
        setColumnCount(col + 1);
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, col, it);
    }
    it->setText(SjisToQString(sjis));
    it->setData(Qt::UserRole, QByteArray(sjis.data(), static_cast<qsizetype>(sjis.size())));
}

void TSortGrid::StyleHeaderRow()
{
    const QColor headerColour = palette().color(QPalette::Button);
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* it = item(0, c);
        if (!it) {
            it = new QTableWidgetItem;
            setItem(0, c, it);
        }
        it->setBackground(headerColour);
        it->setFlags(it->flags() & ~Qt::ItemIsEditable & ~Qt::ItemIsSelectable);
    }
}

void TSortGrid::LoadCsv(const std::string& sjisCsv)
{
    TCsvDb db;
    db.SetText(sjisCsv);
    const int rows = static_cast<int>(db.RowCount());
    const int cols = std::max<int>(1, static_cast<int>(db.Width()));
    clearContents();
    setRowCount(rows + 1);
    setColumnCount(cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            SetCellText(r, c, db.Cell(c, r));
    StyleHeaderRow();
    sortColumn_ = -1;
    resizeColumnsToContents();
}

std::string TSortGrid::CsvText(bool trimEmpty) const
{
    TCsvDb db;
    int first = 0, last = rowCount() - 1;
    auto rowEmpty = [this](int r) {
        for (int c = 0; c < columnCount(); ++c)
            if (!CellText(r, c).empty())
                return false;
        return true;
    };
    if (trimEmpty) {
        while (first <= last && rowEmpty(first))
            ++first;
        while (last >= first && rowEmpty(last))
            --last;
    }
    for (int r = first; r <= last; ++r) {
        TCsvCells cells;
        for (int c = 0; c < columnCount(); ++c)
            cells.push_back(CellText(r, c));
        db.Rows.push_back(std::move(cells));
    }
    return db.GetText();
}

void TSortGrid::SortByColumn(int col)
{
    ascending_ = (col == sortColumn_) ? !ascending_ : true;
    sortColumn_ = col;
    const int first = 1;
    const int last = std::min(rowCount() - 2, 65535);   // the last row stays in place
    if (last > first) {
        std::vector<std::vector<std::string>> rows;
        for (int r = first; r <= last; ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < columnCount(); ++c)
                cells.push_back(CellText(r, c));
            rows.push_back(std::move(cells));
        }
        auto key = [col](const std::vector<std::string>& row) {
            std::string k = col < static_cast<int>(row.size()) ? row[col] : std::string();
            for (size_t i = 0; i < k.size(); ++i) {
                unsigned char b = static_cast<unsigned char>(k[i]);
                if (IsLeadByte(b)) {
                    ++i;   // the trail byte of a two-byte character is never a letter
                    continue;
                }
                if (b >= 'a' && b <= 'z')
                    k[i] = static_cast<char>(b - 32);
            }
            return k;
        };
        const bool asc = ascending_;
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
            const std::string ka = key(a), kb = key(b);
            // byte order of unsigned bytes
            const int cmp = std::string_view(ka).compare(kb);
            return asc ? cmp < 0 : cmp > 0;
        });
        for (int r = first; r <= last; ++r)
            for (int c = 0; c < columnCount(); ++c)
                SetCellText(r, c, rows[r - first][c]);
    }
    // The header cell of the sort column shows the direction.
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem* it = item(0, c);
        if (!it)
            continue;
        QString t = it->text();
        if (t.endsWith(QStringLiteral(" ▲")) || t.endsWith(QStringLiteral(" ▼")))
            t.chop(2);
        it->setText(c == col ? t + (ascending_ ? QStringLiteral(" ▲") : QStringLiteral(" ▼")) : t);
    }
}

// ---- radio group ------------------------------------------------------------------------

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent)
{
    group_ = new QButtonGroup(this);
    new QVBoxLayout(this);
    connect(group_, &QButtonGroup::idClicked, this, [this](int) {
        if (OnClicked)
            OnClicked();
    });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QAbstractButton* b : group_->buttons()) {
        group_->removeButton(b);
        delete b;
    }
    int id = 0;
    for (const QString& text : items) {
        auto* b = new QRadioButton(text, this);
        layout()->addWidget(b);
        group_->addButton(b, id++);
        b->show();
    }
}

QStringList TRadioGroup::Items() const
{
    QStringList out;
    for (int i = 0; group_->button(i); ++i)
        out << group_->button(i)->text();
    return out;
}

int TRadioGroup::Selected() const
{
    return group_->checkedId();
}

void TRadioGroup::Select(int index)
{
    if (QAbstractButton* b = group_->button(index))
        b->setChecked(true);
}

// ---- browser --------------------------------------------------------------------------------

TBrowser::TBrowser(QWidget* parent) : QWidget(parent)
{
    callbacks_.BeforeNavigate = [this](const QUrl& url) { return !BeforeNavigate || BeforeNavigate(url); };
    engine_ = CreateBrowserEngine(this, &callbacks_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(engine_->View());
}

TBrowser::~TBrowser()
{
    delete engine_;   // its view, a child of this widget, goes with it
}

QUrl TBrowser::Location() const
{
    return engine_->Location();
}
QString TBrowser::Title() const
{
    return engine_->Title();
}
void TBrowser::Navigate(const QUrl& url)
{
    engine_->Navigate(url);
}
void TBrowser::forward()
{
    engine_->Forward();
}
void TBrowser::backward()
{
    engine_->Back();
}
