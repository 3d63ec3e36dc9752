#include "gui/print.h"

#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

#include "core/codec.h"
#include "core/hash.h"
#include "gui/dialog_answers.h"
#include "gui/drawing.h"
#include "gui/main_window.h"
#include "gui/objects.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

TPrinterSetup& Setup()
{
    static TPrinterSetup setup;
    return setup;
}

bool RunPrinterSetup(TPoruBase& st, QPrinter& printer)
{
    if (Setup())
        return Setup()(printer);
    if (DialogsScripted()) {
        const std::string answer = NextDialogAnswer();
        RecordDialog("印刷", Utf8ToSjis("プリンタの設定"), answer);
        if (answer.empty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromUtf8(answer));
        return true;
    }
    QPrintDialog dialog(&printer, DrawingWindow(st));
    return dialog.exec() == QDialog::Accepted;
}

TMainWindow* RequireWindow(TPoruBase& st)
{
    TMainWindow* w = DrawingWindow(st);
    if (!w)
        RaiseNeedsWindow(st, st.CurrentCommand ? st.CurrentCommand->Name : std::string());
    return w;
}

// Prints a picture on one page, scaled by its width when it is wider than tall,
// otherwise by its height, into the rectangle 0,0 - (w/f)-1,(h/f)-1.
void PrintPicture(QPrinter& printer, const QImage& pic)
{
    if (pic.isNull())
        return;
    QPainter p;
    if (!p.begin(&printer))
        return;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double f =
        pic.width() > pic.height() ? double(pic.width()) / page.width() : double(pic.height()) / page.height();
    const int w = static_cast<int>(pic.width() / f), h = static_cast<int>(pic.height() / f);
    p.drawImage(QRect(0, 0, w - 1, h - 1), pic.convertToFormat(QImage::Format_RGB888));
    p.end();
}

// 母艦印刷: the whole main window.
void cmdPrintWindow(TPoruBase& st)
{
    TMainWindow* w = RequireWindow(st);
    QPrinter printer(QPrinter::HighResolution);
    if (!RunPrinterSetup(st, printer))
        return;
    w->activateWindow();
    st.Host->ProcessEvents();
    printer.setDocName(w->windowTitle());
    PrintPicture(printer, w->grab().toImage());
}

// イメージ印刷 (picture object).
void cmdPrintPicture(TPoruBase& st)
{
    RequireWindow(st);
    QPrinter printer(QPrinter::HighResolution);
    if (!RunPrinterSetup(st, printer)) {
        st.PopRaw();
        return;
    }
    const std::string raw = st.PopRaw();
    std::string name = raw;
    THashNode* word = st.Words.FindExact(raw);
    if (!word) {
        name = st.EvaluateValue(raw);
        word = st.Words.FindExact(name);
    }
    TObjNode* obj = word && word->Kind == wkObject ? st.Objects.Find(word->Name) : nullptr;
    if (!obj || obj->ClassCode != okImage)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    QImage* pic = ObjectCanvas(st, obj);
    if (!pic)
        st.Error(J("オブジェクト\"") + name + J("\"は、作成されていません。"));
    printer.setDocName(SjisToQString(name));
    PrintPicture(printer, *pic);
}

// 簡易印刷 (text): the lines as a plain text document.
void cmdPrintText(TPoruBase& st)
{
    const std::string text = st.PopText();
    RequireWindow(st);
    QPrinter printer(QPrinter::HighResolution);
    if (!RunPrinterSetup(st, printer))
        return;
    QString plain = SjisToQString(text);
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextDocument doc;
    doc.setPlainText(plain);
    doc.print(&printer);
}

HandlerRegistrar
    reg({{Cmd::PrintWindow, cmdPrintWindow}, {Cmd::PrintText, cmdPrintText}, {Cmd::PrintPicture, cmdPrintPicture}});

}   // namespace

void SetPrinterSetup(TPrinterSetup setup)
{
    Setup() = std::move(setup);
}
