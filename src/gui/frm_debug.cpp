#include "gui/frm_debug.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

#include "core/codec.h"
#include "gui/dialog_forms.h"
#include "gui/dialog_memo.h"
#include "gui/dialog_platform.h"
#include "gui/text_font.h"
#include "interp/debug_link.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

// A value in one cell: line breaks as "\n", as the console shows them.
QString CellText(const std::string& value)
{
    QString s = SjisToQString(value);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    s.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
    return s;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);   // Enter belongs to the search field and the table
    return b;
}

}   // namespace

TfrmDebug::TfrmDebug(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint)
{
    setObjectName(QStringLiteral("frmDebug"));
    setWindowTitle(QStringLiteral("デバッグ"));
    setModal(true);
    setSizeGripEnabled(true);
    QFont formFont(MapFaceName(QStringLiteral("ＭＳ Ｐゴシック")));
    formFont.setPixelSize(12);
    setFont(formFont);
    // Children in this order, which is also the order of the focus chain.
    MakeProgramView();
    MakeFilters();
    MakeVariableTable();
    MakeButtons();
    LayOut();
    Connect();
}

// The current line, the program text and the control structures.
void TfrmDebug::MakeProgramView()
{
    lblLine = new QLabel(this);
    lblLine->setObjectName(QStringLiteral("lblLine"));
    memProgram = new QPlainTextEdit(this);
    memProgram->setObjectName(QStringLiteral("memProgram"));
    memProgram->setReadOnly(true);
    memProgram->setLineWrapMode(QPlainTextEdit::NoWrap);
    memProgram->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont fixed(MapFaceName(QStringLiteral("ＭＳ ゴシック")));
    fixed.setPixelSize(12);
    memProgram->setFont(fixed);
    lstControl = new QListWidget(this);
    lstControl->setObjectName(QStringLiteral("lstControl"));
}

// The level, the two boxes and the search.
void TfrmDebug::MakeFilters()
{
    edtLevel = new QLineEdit(QStringLiteral("0"), this);
    edtLevel->setObjectName(QStringLiteral("edtLevel"));
    edtLevel->setMaximumWidth(48);
    chkSystem = new QCheckBox(QStringLiteral("システム変数を表示"), this);
    chkSystem->setObjectName(QStringLiteral("chkSystem"));
    chkObjects = new QCheckBox(QStringLiteral("GUIオブジェクトも表示"), this);
    chkObjects->setObjectName(QStringLiteral("chkObjects"));
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    btnSearch = Button(this, "btnSearch", QStringLiteral("実行"));
}

void TfrmDebug::MakeVariableTable()
{
    grdVars = new QTableWidget(0, 4, this);
    grdVars->setObjectName(QStringLiteral("grdVars"));
    grdVars->setHorizontalHeaderLabels(
        {QStringLiteral("名前"), QStringLiteral("値"), QStringLiteral("型"), QStringLiteral("宣言レベル")});
    grdVars->verticalHeader()->setVisible(false);
    grdVars->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdVars->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdVars->setSelectionMode(QAbstractItemView::SingleSelection);
    grdVars->horizontalHeader()->setStretchLastSection(true);
    grdVars->setColumnWidth(0, 140);
    grdVars->setColumnWidth(1, 220);
    grdVars->setColumnWidth(2, 120);
    grdVars->installEventFilter(this);
}

void TfrmDebug::MakeButtons()
{
    btnContinue = Button(this, "btnContinue", QStringLiteral("連続実行(&O)"));
    btnStep = Button(this, "btnStep", QStringLiteral("一行毎に実行(&L)"));
    btnStop = Button(this, "btnStop", QStringLiteral("実行中断(&C)"));
    btnHelp = Button(this, "btnHelp", QStringLiteral("？"));
    // The caption is a lone mark: say what it does on hovering and to screen readers.
    btnHelp->setToolTip(QStringLiteral("デバッグダイアログの説明"));
    btnHelp->setAccessibleName(QStringLiteral("デバッグダイアログの説明"));
    btnSync = Button(this, "btnSync", QStringLiteral("エディタと同期(&E)"));
}

void TfrmDebug::LayOut()
{
    auto* top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(memProgram);
    top->addWidget(lstControl);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 1);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("レベル"), this));
    filters->addWidget(edtLevel);
    filters->addWidget(new QLabel(QStringLiteral("以上を表示"), this));
    filters->addWidget(chkSystem);
    filters->addWidget(chkObjects);
    filters->addStretch(1);
    filters->addWidget(new QLabel(QStringLiteral("↓検索"), this));
    filters->addWidget(edtSearch);
    filters->addWidget(btnSearch);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnContinue);
    buttons->addWidget(btnStep);
    buttons->addWidget(btnStop);
    buttons->addStretch(1);
    buttons->addWidget(btnHelp);
    buttons->addWidget(btnSync);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblLine);
    layout->addWidget(top, 2);
    layout->addLayout(filters);
    layout->addWidget(grdVars, 3);
    layout->addLayout(buttons);
    resize(640, 560);
}

void TfrmDebug::Connect()
{
    connect(btnContinue, &QPushButton::clicked, this, [this] { Finish(DebugChoice::Continue); });
    connect(btnStep, &QPushButton::clicked, this, [this] { Finish(DebugChoice::Step); });
    connect(btnStop, &QPushButton::clicked, this, [this] { Finish(DebugChoice::Stop); });
    connect(btnHelp, &QPushButton::clicked, this, [this] {
        QMessageBox box(QMessageBox::NoIcon, DialogTitle(), HelpText(), QMessageBox::Ok, this);
        SetStandardIcon(box, QMessageBox::Information);
        box.setObjectName(QStringLiteral("boxDebugHelp"));
        box.exec();
    });
    connect(btnSync, &QPushButton::clicked, this, [this] {
        if (st_)
            SendLineToEditor(*st_);
    });
    connect(chkSystem, &QCheckBox::toggled, this, [this](bool on) {
        const QSignalBlocker quiet(edtLevel);
        edtLevel->setText(SjisToQString(DebugFilterAfterSystemBox(QStringToSjis(edtLevel->text()), on)));
        Refill();
    });
    connect(chkObjects, &QCheckBox::toggled, this, [this] { Refill(); });
    connect(edtLevel, &QLineEdit::textChanged, this, [this] { Refill(); });
    connect(btnSearch, &QPushButton::clicked, this, [this] { Search(); });
    connect(edtSearch, &QLineEdit::returnPressed, this, [this] { Search(); });
    connect(grdVars, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OpenRow(row); });
}

QString TfrmDebug::HelpText()
{
    return QStringLiteral(
        "デバッグダイアログ\n\nこれは、プログラムに不具合が起こったときに、\nプログラムを一行ずつ実行したり、\n"
        "実行中の変数の値を調べたりするのに便利です。");
}

void TfrmDebug::PlaceOver(const QWidget* mainWindow)
{
    if (!mainWindow)
        return;
    const QRect main = mainWindow->frameGeometry();
    move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
}

DebugChoice TfrmDebug::Run(TPoruBase& st, const std::string& word)
{
    Fill(st, word);
    exec();
    Clear();
    return choice_;
}

void TfrmDebug::Fill(TPoruBase& st, const std::string& word)
{
    st_ = &st;
    choice_ = DebugChoice::Closed;
    if (edtLevel->text().isEmpty() && !chkSystem->isChecked()) {
        const QSignalBlocker quiet(edtLevel);
        edtLevel->setText(QStringLiteral("0"));
    }
    // Errors while filling are not the program's: the dialog shows what it could.
    try {
        Refill();
        lstControl->clear();
        for (const std::string& c : DebugControlEntries(st.RunControl))
            lstControl->addItem(SjisToQString(c));
        if (lstControl->count() > 0)
            lstControl->setCurrentRow(lstControl->count() - 1);
        const int32_t line = st.CurrentLineNo();
        lblLine->setText(QStringLiteral("現在の実行行:") + QString::number(line));
        QStringList lines;
        for (const std::string& l : DebugProgramLines(st.Source))
            lines << SjisToQString(l);
        memProgram->setPlainText(lines.join(QLatin1Char('\n')));
        ShowLine(line);
    } catch (const std::exception&) {
    }
    const int named = word.empty() ? -1 : DebugRowNamed(rows_, word);
    if (named >= 0) {
        grdVars->selectRow(named);
        grdVars->scrollToItem(grdVars->item(named, 0));
    } else if (!edtSearch->text().trimmed().isEmpty()) {
        Search();
    }
}

// The caret at the start of the line, the line in view.
void TfrmDebug::ShowLine(int32_t line)
{
    const QTextBlock block = memProgram->document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    QTextCursor c(block);
    memProgram->setTextCursor(c);
    memProgram->centerCursor();
}

void TfrmDebug::Clear()
{
    rows_.clear();
    grdVars->setRowCount(0);
    memProgram->clear();
    lstControl->clear();
    st_ = nullptr;
}

void TfrmDebug::Refill()
{
    if (!st_)
        return;
    rows_ = DebugVariableRows(st_->Words, QStringToSjis(edtLevel->text()), chkObjects->isChecked());
    grdVars->clearSelection();
    grdVars->setRowCount(static_cast<int>(rows_.size()));
    for (size_t i = 0; i < rows_.size(); ++i) {
        const TDebugRow& r = rows_[i];
        const QString cells[4] = {SjisToQString(r.Name), CellText(r.Value), SjisToQString(r.Type),
                                  QString::number(r.Level)};
        for (int col = 0; col < 4; ++col)
            grdVars->setItem(static_cast<int>(i), col, new QTableWidgetItem(cells[col]));
    }
}

void TfrmDebug::Search()
{
    const int row = DebugFindRow(rows_, QStringToSjis(edtSearch->text()));
    if (row < 0)
        return;
    grdVars->selectRow(row);
    grdVars->scrollToItem(grdVars->item(row, 0));
}

void TfrmDebug::OpenRow(int row)
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    const TDebugRow r = rows_[static_cast<size_t>(row)];
    TfrmPoruMemo memo(this);
    memo.Prepare(MessageText(r.Value), font(), palette().color(QPalette::Text), 0);
    memo.setWindowTitle(SjisToQString(r.Name));
    QString ignored;
    memo.Run(ignored);
}

bool TfrmDebug::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grdVars && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenRow(grdVars->currentRow());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmDebug::Finish(DebugChoice choice)
{
    choice_ = choice;
    accept();
}

DebugChoice DebugChoiceFromAnswer(const std::string& answer)
{
    DebugChoice c = DebugChoice::Continue;
    return ParseDebugAnswer(answer, c) ? c : DebugChoice::Continue;
}
