#include "porupad/dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include "langsvc/document.h"
#include "porupad/code_editor.h"

// --- find and replace ---

TFindDialog::TFindDialog(QWidget* parent, std::function<TCodeEditor*()> editor)
    : QDialog(parent), editor_(std::move(editor))
{
    setWindowTitle(QStringLiteral("検索と置換"));
    find_ = new QLineEdit(this);
    replace_ = new QLineEdit(this);
    regex_ = new QCheckBox(QStringLiteral("正規表現"), this);
    caseSensitive_ = new QCheckBox(QStringLiteral("大文字と小文字を区別する"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("検索する文字列:"), find_);
    form->addRow(QStringLiteral("置換後の文字列:"), replace_);
    form->addRow(regex_);
    form->addRow(caseSensitive_);
    auto* next = new QPushButton(QStringLiteral("次を検索"), this);
    auto* previous = new QPushButton(QStringLiteral("前を検索"), this);
    auto* one = new QPushButton(QStringLiteral("置換"), this);
    auto* all = new QPushButton(QStringLiteral("すべて置換"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    next->setDefault(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {next, previous, one, all, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(next, &QPushButton::clicked, this, [this] { FindNext(false); });
    connect(previous, &QPushButton::clicked, this, [this] { FindNext(true); });
    connect(one, &QPushButton::clicked, this, [this] { ReplaceOne(); });
    connect(all, &QPushButton::clicked, this, [this] { ReplaceAll(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

void TFindDialog::SetPattern(const QString& text)
{
    find_->setText(text);
}

namespace {

QRegularExpression PatternOf(const QString& text, bool regex, bool caseSensitive)
{
    QRegularExpression re(regex ? text : QRegularExpression::escape(text));
    if (!caseSensitive)
        re.setPatternOptions(QRegularExpression::CaseInsensitiveOption);
    return re;
}

}   // namespace

bool TFindDialog::FindNext(bool backward)
{
    TCodeEditor* e = editor_();
    if (!e || find_->text().isEmpty())
        return false;
    const QRegularExpression re = PatternOf(find_->text(), regex_->isChecked(), caseSensitive_->isChecked());
    if (!re.isValid()) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("正規表現に誤りがあります: ") + re.errorString());
        return false;
    }
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = e->document()->find(re, e->textCursor(), flags);
    if (found.isNull()) {   // wrap around
        QTextCursor from(e->document());
        if (backward)
            from.movePosition(QTextCursor::End);
        found = e->document()->find(re, from, flags);
    }
    if (found.isNull())
        return false;
    e->setTextCursor(found);
    return true;
}

bool TFindDialog::ReplaceOne()
{
    TCodeEditor* e = editor_();
    if (!e)
        return false;
    const QRegularExpression re = PatternOf(find_->text(), regex_->isChecked(), caseSensitive_->isChecked());
    QTextCursor c = e->textCursor();
    const QRegularExpressionMatch m = re.match(c.selectedText());
    if (c.hasSelection() && m.hasMatch() && m.capturedLength() == c.selectedText().size()) {
        QString replacement = replace_->text();
        if (regex_->isChecked())
            replacement = c.selectedText().replace(re, replacement);
        c.insertText(replacement);
    }
    return FindNext(false);
}

int TFindDialog::ReplaceAll()
{
    TCodeEditor* e = editor_();
    if (!e || find_->text().isEmpty())
        return 0;
    const QRegularExpression re = PatternOf(find_->text(), regex_->isChecked(), caseSensitive_->isChecked());
    if (!re.isValid())
        return 0;
    QString text = e->toPlainText();
    int count = 0;
    for (auto it = re.globalMatch(text); it.hasNext(); it.next())
        ++count;
    if (count == 0)
        return 0;
    if (regex_->isChecked())
        text.replace(re, replace_->text());
    else
        text.replace(find_->text(), replace_->text(),
                     caseSensitive_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    // One undo step for the whole replacement.
    QTextCursor c(e->document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.insertText(text);
    c.endEditBlock();
    return count;
}

// --- command palette ---

TPaletteDialog::TPaletteDialog(QWidget* parent, std::function<void(const QString&)> insert)
    : QDialog(parent), insert_(std::move(insert))
{
    setWindowTitle(QStringLiteral("命令パレット"));
    resize(560, 420);
    query_ = new QLineEdit(this);
    query_->setPlaceholderText(QStringLiteral("命令の名前・説明で検索（空白で区切って絞り込み）"));
    list_ = new QListWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(query_);
    layout->addWidget(list_);
    connect(query_, &QLineEdit::textChanged, this, [this](const QString& q) { SetQuery(q); });
    connect(query_, &QLineEdit::returnPressed, this, &TPaletteDialog::accept);
    connect(list_, &QListWidget::itemActivated, this, [this] { accept(); });
    SetQuery(QString());
}

void TPaletteDialog::SetQuery(const QString& query)
{
    if (query_->text() != query) {
        query_->setText(query);   // calls back here
        return;
    }
    list_->clear();
    for (const langsvc::TCandidate& c : langsvc::SearchCommands(query.toStdString())) {
        if (c.Kind != langsvc::TCandidateKind::Command && c.Kind != langsvc::TCandidateKind::Control)
            continue;
        auto* item = new QListWidgetItem(
            QString::fromStdString(c.Label) + QStringLiteral("　　") + QString::fromStdString(c.Plain), list_);
        item->setData(Qt::UserRole, QString::fromStdString(c.Plain));
        if (list_->count() >= 300)
            break;
    }
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void TPaletteDialog::accept()
{
    QListWidgetItem* item = list_->currentItem();
    if (item)
        insert_(item->data(Qt::UserRole).toString());
    QDialog::accept();
}

// --- settings ---

TSettingsDialog::TSettingsDialog(QWidget* parent, const std::map<QString, QAction*>& actions) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("設定"));
    QSettings s;
    newEncoding_ = new QComboBox(this);
    newEncoding_->addItem(QStringLiteral("UTF-8"), QStringLiteral("utf8"));
    newEncoding_->addItem(QStringLiteral("Shift_JIS"), QStringLiteral("shiftjis"));
    newEncoding_->setCurrentIndex(s.value(QStringLiteral("newEncoding")).toString() == QLatin1String("shiftjis"));
    fontSize_ = new QSpinBox(this);
    fontSize_->setRange(6, 48);
    fontSize_->setValue(s.value(QStringLiteral("fontSize"), 11).toInt());
    tabWidth_ = new QSpinBox(this);
    tabWidth_->setRange(1, 16);
    tabWidth_->setValue(s.value(QStringLiteral("tabWidth"), 4).toInt());
    backupSeconds_ = new QSpinBox(this);
    backupSeconds_->setRange(5, 3600);
    backupSeconds_->setValue(s.value(QStringLiteral("backupSeconds"), 30).toInt());
    checkDelay_ = new QSpinBox(this);
    checkDelay_->setRange(100, 10000);
    checkDelay_->setSingleStep(100);
    checkDelay_->setValue(s.value(QStringLiteral("checkDelayMs"), 600).toInt());
    windowRuntime_ = new QLineEdit(s.value(QStringLiteral("windowRuntime")).toString(), this);
    windowRuntime_->setPlaceholderText(QStringLiteral("porukana（空なら自動）"));
    consoleRuntime_ = new QLineEdit(s.value(QStringLiteral("consoleRuntime")).toString(), this);
    consoleRuntime_->setPlaceholderText(QStringLiteral("porukana-cli（空なら自動）"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("新しいファイルの文字コード:"), newEncoding_);
    form->addRow(QStringLiteral("文字の大きさ:"), fontSize_);
    form->addRow(QStringLiteral("タブの幅（文字数）:"), tabWidth_);
    form->addRow(QStringLiteral("バックアップの間隔（秒）:"), backupSeconds_);
    form->addRow(QStringLiteral("文法チェックまでの待ち（ミリ秒）:"), checkDelay_);
    form->addRow(QStringLiteral("ウィンドウ版ランタイム:"), windowRuntime_);
    form->addRow(QStringLiteral("コンソール版ランタイム:"), consoleRuntime_);

    auto* keysBox = new QGroupBox(QStringLiteral("キー割り当て"), this);
    auto* keysForm = new QFormLayout;
    for (const auto& [key, action] : actions) {
        auto* edit = new QKeySequenceEdit(action->shortcut(), keysBox);
        keys_[key] = edit;
        keysForm->addRow(action->text().remove(QLatin1Char('&')) + QStringLiteral(":"), edit);
    }
    auto* keysInner = new QWidget;
    keysInner->setLayout(keysForm);
    auto* scroll = new QScrollArea(keysBox);
    scroll->setWidget(keysInner);
    scroll->setWidgetResizable(true);
    auto* keysLayout = new QVBoxLayout(keysBox);
    keysLayout->addWidget(scroll);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Save();
        QDialog::accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(keysBox, 1);
    layout->addWidget(buttons);
    resize(520, 640);
}

void TSettingsDialog::Save()
{
    QSettings s;
    s.setValue(QStringLiteral("newEncoding"), newEncoding_->currentData());
    s.setValue(QStringLiteral("fontSize"), fontSize_->value());
    s.setValue(QStringLiteral("tabWidth"), tabWidth_->value());
    s.setValue(QStringLiteral("backupSeconds"), backupSeconds_->value());
    s.setValue(QStringLiteral("checkDelayMs"), checkDelay_->value());
    s.setValue(QStringLiteral("windowRuntime"), windowRuntime_->text().trimmed());
    s.setValue(QStringLiteral("consoleRuntime"), consoleRuntime_->text().trimmed());
    for (const auto& [key, edit] : keys_)
        s.setValue(QStringLiteral("keys/") + key, edit->keySequence().toString(QKeySequence::PortableText));
}
