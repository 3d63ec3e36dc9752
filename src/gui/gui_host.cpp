#include "gui/gui_host.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "commands/files/security.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "gui/dialog_answers.h"
#include "gui/error_dialog.h"
#include "gui/main_window.h"
#include "gui/objects_internal.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

const char* const kAppTitle = "ぽるかな";

const char* ChoiceName(ErrorChoice c)
{
    switch (c) {
    case ErrorChoice::Continue:
        return "continue";
    case ErrorChoice::Debug:
        return "debug";
    case ErrorChoice::Stop:
        break;
    }
    return "stop";
}

QScreen* ScreenOf(const QWidget* w)
{
    QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

// Shows a message box with one OK button, centred on the screen.
void ShowPlainBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("OK"));
    box.exec();
}

// The security gate's question: the confirmation text with the buttons はい,
// いいえ, 全てはい and 全ていいえ; closing the box answers いいえ.
TGateAnswer AskGate(const std::string& text)
{
    if (DialogsScripted()) {
        std::string answer = NextDialogAnswer();
        RecordDialog(kAppTitle, text, answer.empty() ? "いいえ" : answer);
        return ParseGateAnswer(Utf8ToSjis(answer));
    }
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAppTitle), SjisToQString(text));
    QAbstractButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QAbstractButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    QAbstractButton* allYes = box.addButton(QStringLiteral("全てはい"), QMessageBox::YesRole);
    QAbstractButton* allNo = box.addButton(QStringLiteral("全ていいえ"), QMessageBox::NoRole);
    box.setEscapeButton(no);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return TGateAnswer::Yes;
    if (clicked == allYes)
        return TGateAnswer::AllYes;
    if (clicked == allNo)
        return TGateAnswer::AllNo;
    return TGateAnswer::No;
}

void ShowWarningBox(const std::string& caption, const std::string& text)
{
    if (DialogsScripted()) {
        RecordDialog(SjisToUtf8(caption), text, std::string());
        return;
    }
    QMessageBox box(QMessageBox::Warning, SjisToQString(caption), SjisToQString(text), QMessageBox::Ok);
    box.exec();
}

// The height of a line of text in a font ("あ" or "Z" alike): ascent plus descent,
// without the leading between lines.
int TextHeight(const QFontMetrics& fm)
{
    return fm.ascent() + fm.descent();
}

}   // namespace

TGuiHost::TGuiHost(TMainWindow* window, TPoruBase& st) : window_(window)
{
    InstallFaceSubstitutions();
    window_->SetCloseHandler([&st] { return st.RequestClose(); });
    errorDialog_ = new TfrmError(window_);
    errorDialog_->PlaceOver(window_);
    SetGateQuestion([](TPoruBase&, const std::string& text) { return AskGate(text); });
    SetGateWarning(
        [](TPoruBase&, const std::string& caption, const std::string& text) { ShowWarningBox(caption, text); });
    st.Host = this;
    WireMainWindow(st);
    InstallBusyPump(st);
}

TGuiHost::~TGuiHost()
{
    SetGateQuestion(nullptr);
    SetGateWarning(nullptr);
    window_->SetCloseHandler(nullptr);
}

int TGuiHost::TabWidth(TPoruBase& st)
{
    THashNode* node = st.Sys.TabCount;
    return node ? ToIntOrDefault(TrimView(node->Value), 8) : 8;
}

int TGuiHost::LineHeight(const QFont& font)
{
    return TextHeight(QFontMetrics(font)) * 12 / 10;
}

void TGuiHost::ShowText(TPoruBase& st, const std::string& text)
{
    TDrawSurface* surface = window_->Surface();
    surface->EnsurePictureSize(surface->width(), surface->height());
    QImage& picture = surface->Picture();

    const std::vector<std::string> lines = DisplayLines(text, TabWidth(st));
    const QFont font = CurrentTextFont(st);
    const int clientWidth = window_->ClientWidth();

    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(CurrentTextColour(st));
    painter.setBackgroundMode(Qt::TransparentMode);
    // Metrics of the picture itself, so that measuring and drawing agree.
    const QFontMetrics fm(font, &picture);
    const int lineHeight = TextHeight(fm) * 12 / 10;
    int x = st.LayoutX;
    int64_t y = st.LayoutY;
    for (const std::string& line : lines) {
        const QString s = SjisToQString(line);
        if (st.Centring)
            x = (clientWidth - fm.horizontalAdvance(s)) / 2;
        painter.drawText(x, static_cast<int>(y) + fm.ascent(), s);
        y += lineHeight;
    }
    painter.end();
    st.LayoutY = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
    surface->update();
}

void TGuiHost::MessageBox(const std::string& text)
{
    if (DialogsScripted()) {
        RecordDialog(kAppTitle, text, std::string());
        return;
    }
    QString shown = SjisToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ShowPlainBox(shown);
}

void TGuiHost::WarningBox(const std::string& caption, const std::string& text)
{
    ShowWarningBox(caption, text);
}

// Every error is also written to standard error in the console's form, so that a
// window program started from a terminal or an editor leaves its errors there.
// Only what was added since the last dialog is written.
ErrorChoice TGuiHost::ShowErrorDialog(TPoruBase& st, const std::string& accumulated)
{
    const bool continued =
        accumulated.size() >= errorWritten_.size() && accumulated.compare(0, errorWritten_.size(), errorWritten_) == 0;
    std::string fresh = SjisToUtf8(continued ? accumulated.substr(errorWritten_.size()) : accumulated);
    errorWritten_ = accumulated;
    std::erase(fresh, '\r');
    if (!fresh.empty()) {
        if (fresh.back() != '\n')
            fresh += '\n';
        std::fputs(fresh.c_str(), stderr);
        std::fflush(stderr);
    }
    const std::string caption = errorDialog_->windowTitle().toStdString();
    if (DialogsScripted()) {
        ErrorChoice choice = ErrorChoiceFromAnswer(NextDialogAnswer(), st.DebugMode);
        RecordDialog(caption, accumulated, ChoiceName(choice));
        return choice;
    }
    // A main window kept on top would hide the dialog: make it normal meanwhile.
    const bool onTop = window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    const bool visible = window_->isVisible();
    if (onTop) {
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        if (visible)
            window_->show();
    }
    ErrorChoice choice = errorDialog_->Choose(SjisToQString(accumulated), st.DebugMode);
    if (onTop) {
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible && !window_->IsClosed())
            window_->show();
    }
    return choice;
}

void TGuiHost::Warning(TPoruBase& st, const std::string& formatted)
{
    // Outside debug mode a warning is only collected in the accumulated error text,
    // which the next error dialog shows. A run without a screen reports it at once.
    if (DialogsScripted())
        RecordDialog("注意", formatted, std::string());
}

void TGuiHost::ProcessEvents()
{
    QCoreApplication::processEvents();
}

void TGuiHost::WaitMs(TPoruBase& st, int64_t ms)
{
    QElapsedTimer clock;
    clock.start();
    ProcessEvents();
    // Short slices, so that a close (which sets Stopping) ends the wait promptly.
    while (!st.Stopping && !window_->IsClosed()) {
        const int64_t left = ms - clock.elapsed();
        if (left <= 0)
            break;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<int64_t>(left, 20)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

int64_t TGuiHost::TickMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TGuiHost::ShowMainWindow()
{
    window_->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window_->raise();
}

void TGuiHost::RequestClose(TPoruBase& st)
{
    window_->RequestClose();
}

void* TGuiHost::MainWindowControl()
{
    return window_;
}

int TGuiHost::ScreenWidth()
{
    return ScreenOf(window_)->geometry().width();
}

int TGuiHost::ScreenHeight()
{
    return ScreenOf(window_)->geometry().height();
}

std::string TGuiHost::ObjectValue(TPoruBase& st, THashNode* obj)
{
    return ObjectDirectValue(st, obj);
}

void TGuiHost::SetObjectValue(TPoruBase& st, THashNode* obj, const std::string& value)
{
    SetObjectDirectValue(st, obj, value);
}

std::string TGuiHost::ObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop)
{
    return GetProperty(st, obj, prop);
}

void TGuiHost::SetObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop, const std::string& value)
{
    SetProperty(st, obj, prop, value);
}

std::string TGuiHost::ObjectEvent(TPoruBase& st, const std::string& objName, const std::string& event)
{
    std::string name = Trim(objName);
    if (!name.empty() && (name.front() == '"' || name.front() == '`'))
        name = st.ExpandLiteral(name);
    THashNode* w = st.Words.FindExact(name);
    if (!w)
        st.Error(Utf8ToSjis("単語\"") + name + Utf8ToSjis("\"は、定義されていません。"));
    if (w->Kind != wkObject)
        st.Error("\"" + name + Utf8ToSjis("\"は、オブジェクトではありません。"));
    return GetProperty(st, w, event);
}
