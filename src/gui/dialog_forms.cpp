#include "gui/dialog_forms.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "commands/dialogs/dialogs.h"
#include "core/codec.h"
#include "services/qt_text.h"

namespace {

constexpr int kButtonW = 75;
constexpr int kButtonH = 25;
constexpr int kButtonGap = 8;
// The list of the choice dialog shows this many lines.
constexpr int kListLines = 8;

Qt::WindowFlags DialogFlags()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
}

void Place(QWidget* w, const TRectI& r)
{
    w->setGeometry(r.X, r.Y, r.W, r.H);
}

// The OK and キャンセル buttons side by side on a panel.
QWidget* ButtonPanel(QWidget* parent, QPushButton*& ok, QPushButton*& cancel)
{
    QWidget* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("pnlButtons"));
    ok = new QPushButton(QStringLiteral("OK"), panel);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setGeometry(0, 0, kButtonW, kButtonH);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("キャンセル"), panel);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setGeometry(kButtonW + kButtonGap, 0, kButtonW, kButtonH);
    panel->resize(2 * kButtonW + kButtonGap, kButtonH);
    return panel;
}

// Sets a plain-text label and sizes it to its text.
void SetLabel(QLabel* label, const QString& text, const QFont& font, const QColor& colour)
{
    ApplyTextFont(label, font, colour);
    label->setText(text);
    label->resize(label->sizeHint());
}

}   // namespace

QString DialogTitle()
{
    return QStringLiteral("ぽるかな");
}

void CentreDialogOnScreen(QWidget* dialog, const QWidget* near)
{
    QScreen* scr = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
    if (!scr)
        return;
    const QRect area = scr->availableGeometry();
    dialog->move(area.x() + (area.width() - dialog->width()) / 2, area.y() + (area.height() - dialog->height()) / 2);
}

void ApplyTextFont(QWidget* widget, const QFont& font, const QColor& colour)
{
    widget->setFont(font);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    widget->setPalette(pal);
}

void ApplyImeState(QWidget* edit, int ime)
{
    edit->setAttribute(Qt::WA_InputMethodEnabled, true);
    edit->setProperty("imeMode", ime >= 1 && ime <= 4 ? ime : 0);
}

QString MessageText(const std::string& sjis)
{
    QString text = SjisToQString(sjis);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

int MessageBoxTitleWidth(const QString& title)
{
    // The title's text in the title bar's font, and room for the icon and the buttons
    // a window manager puts beside it.
    return QFontMetrics(QApplication::font()).horizontalAdvance(title) + 120;
}

// ---- TfrmMsgBox ------------------------------------------------------------------------

TfrmMsgBox::TfrmMsgBox(QWidget* parent) : QDialog(parent, DialogFlags())
{
    setObjectName(QStringLiteral("frmMsgBox"));
    setWindowTitle(DialogTitle());
    setModal(true);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmMsgBox::Prepare(const QString& text, const QFont& font, const QColor& colour, int heightLimit)
{
    SetLabel(lblMsg, text, font, colour);
    TMessageBoxGeometry g = MessageBoxGeometry(lblMsg->width(), lblMsg->height(), kButtonW, kButtonH, heightLimit);
    // A box only as wide as a short message leaves the title bar no room, and window
    // managers cut the title to "…": the box is at least as wide as its title needs.
    const int titleW = MessageBoxTitleWidth(windowTitle());
    if (g.ClientW < titleW) {
        g.ClientW = titleW;
        g.Button.X = (g.ClientW - g.Button.W) / 2;
    }
    Place(lblMsg, g.Label);
    Place(btnOk, g.Button);
    setFixedSize(g.ClientW, g.ClientH);
    CentreDialogOnScreen(this, parentWidget());
}

void TfrmMsgBox::Run()
{
    btnOk->setFocus();
    exec();
}

// ---- TfrmInputBox ----------------------------------------------------------------------

TfrmInputBox::TfrmInputBox(QWidget* parent) : QDialog(parent, DialogFlags())
{
    setObjectName(QStringLiteral("frmInputBox"));
    setWindowTitle(DialogTitle());
    setModal(true);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    edtInput = new QLineEdit(this);
    edtInput->setObjectName(QStringLiteral("edtInput"));
    pnlButtons = ButtonPanel(this, btnOk, btnCancel);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtInput, &QLineEdit::returnPressed, this, &QDialog::accept);
}

void TfrmInputBox::Prepare(const QString& message, const QString& initial, const QFont& font, const QColor& colour,
                           int ime)
{
    SetLabel(lblMsg, message, font, colour);
    ApplyTextFont(edtInput, font, colour);
    ApplyImeState(edtInput, ime);
    edtInput->setText(initial);
    const TInputBoxGeometry g = InputBoxGeometry(lblMsg->width(), lblMsg->height(), edtInput->sizeHint().height(),
                                                 pnlButtons->width(), pnlButtons->height());
    Place(lblMsg, g.Label);
    Place(edtInput, g.Edit);
    Place(pnlButtons, g.Panel);
    setFixedSize(g.ClientW, g.ClientH);
    CentreDialogOnScreen(this, parentWidget());
}

bool TfrmInputBox::Run(QString& answer)
{
    edtInput->setFocus();
    edtInput->selectAll();
    if (exec() != QDialog::Accepted)
        return false;
    answer = edtInput->text();
    return true;
}

// ---- TfrmPoruCombo ---------------------------------------------------------------------

TfrmPoruCombo::TfrmPoruCombo(QWidget* parent) : QDialog(parent, DialogFlags())
{
    setObjectName(QStringLiteral("frmPoruCombo"));
    setWindowTitle(DialogTitle());
    setModal(true);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
    lstItems = new QListWidget(this);
    lstItems->setObjectName(QStringLiteral("lstItems"));
    lstItems->setSelectionMode(QAbstractItemView::SingleSelection);
    lstItems->installEventFilter(this);
    edtResult = new QLineEdit(this);
    edtResult->setObjectName(QStringLiteral("edtResult"));
    pnlButtons = ButtonPanel(this, btnOk, btnCancel);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtResult, &QLineEdit::returnPressed, this, &QDialog::accept);
    connect(lstItems, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { TakeItem(lstItems->row(item)); });
    connect(lstItems, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = lstItems->selectedItems();
        if (!selected.isEmpty())
            TakeItem(lstItems->row(selected.first()));
    });
    connect(lstItems, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        TakeItem(lstItems->row(item));
        accept();
    });
}

void TfrmPoruCombo::Prepare(const QString& message, const std::vector<std::string>& items, const QString& initial,
                            bool editable, const QFont& font, const QColor& colour, int ime)
{
    items_ = items;
    SetLabel(lblMsg, message, font, colour);
    ApplyTextFont(lstItems, font, colour);
    ApplyTextFont(edtResult, font, colour);
    ApplyImeState(edtResult, ime);
    lstItems->clear();
    for (const std::string& item : items_)
        lstItems->addItem(SjisToQString(item));
    edtResult->setText(initial);
    edtResult->setReadOnly(!editable);
    const int listH = QFontMetrics(font).height() * kListLines + 2 * lstItems->frameWidth();
    const TChoiceGeometry g = ChoiceGeometry(lblMsg->width(), lblMsg->height(), listH, edtResult->sizeHint().height(),
                                             pnlButtons->width(), pnlButtons->height());
    Place(lblMsg, g.Label);
    Place(lstItems, g.List);
    Place(edtResult, g.Field);
    Place(pnlButtons, g.Panel);
    setFixedSize(g.ClientW, g.ClientH);
    CentreDialogOnScreen(this, parentWidget());
}

bool TfrmPoruCombo::Run(QString& answer)
{
    lstItems->setFocus();
    const int result = exec();
    if (result != QDialog::Accepted) {
        edtResult->clear();
        return false;
    }
    answer = edtResult->text();
    return true;
}

void TfrmPoruCombo::TakeItem(int row)
{
    if (row >= 0 && row < lstItems->count())
        edtResult->setText(lstItems->item(row)->text());
}

bool TfrmPoruCombo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != lstItems || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return QDialog::eventFilter(watched, event);
    // The first item whose first byte is the character's first byte (Shift_JIS).
    const std::string typed = QStringToSjis(text);
    int found = -1;
    for (size_t i = 0; i < items_.size() && !typed.empty(); ++i)
        if (!items_[i].empty() && items_[i][0] == typed[0]) {
            found = static_cast<int>(i);
            break;
        }
    if (found >= 0) {
        lstItems->setCurrentRow(found);
        TakeItem(found);
    } else {
        lstItems->clearSelection();
    }
    return true;
}

// ---- TfrmSelectButton ------------------------------------------------------------------

TfrmSelectButton::TfrmSelectButton(QWidget* parent) : QDialog(parent, DialogFlags())
{
    setObjectName(QStringLiteral("frmSelectButton"));
    setWindowTitle(DialogTitle());
    setModal(true);
    lblMsg = new QLabel(this);
    lblMsg->setObjectName(QStringLiteral("lblMsg"));
    lblMsg->setTextFormat(Qt::PlainText);
}

void TfrmSelectButton::Prepare(const QString& message, const QStringList& choices, const QFont& font,
                               const QColor& colour, int mainWidth)
{
    for (QPushButton* b : buttons)
        delete b;
    buttons.clear();
    SetLabel(lblMsg, message, font, colour);
    const QFontMetrics fm(lblMsg->font());
    int widest = 0;
    for (const QString& c : choices)
        widest = std::max(widest, fm.horizontalAdvance(c));
    const TButtonChooserGeometry g =
        ButtonChooserGeometry(lblMsg->width(), lblMsg->height(), fm.ascent() + fm.descent(), widest,
                              static_cast<int>(choices.size()), mainWidth);
    inRow = g.Row;
    Place(lblMsg, g.Label);
    for (int i = 0; i < choices.size(); ++i) {
        auto* b = new QPushButton(choices[i], this);
        b->setObjectName(QStringLiteral("btnChoice%1").arg(i + 1));
        b->setFont(lblMsg->font());
        Place(b, g.Buttons[static_cast<size_t>(i)]);
        connect(b, &QPushButton::clicked, this, [this, i] {
            chosen_ = i;
            accept();
        });
        buttons.push_back(b);
    }
    setFixedSize(g.ClientW, g.ClientH);
    CentreDialogOnScreen(this, parentWidget());
}

int TfrmSelectButton::Run()
{
    chosen_ = -1;
    if (!buttons.empty())
        buttons.front()->setFocus();
    if (exec() != QDialog::Accepted)
        return -1;
    return chosen_;
}
