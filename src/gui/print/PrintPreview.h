#pragma once

#include <QDialog>
#include <QPointer>
#include <QPrinter>

class QLabel;
class QPushButton;
class TChromium;
class TPrintPages;

// The print window of one page: a preview of what will print, and "打印..."
// which opens the system print dialog (a printer, or a PDF file) and prints.
// A print that fails says so. The preview is drawn from a PDF the engine
// makes in memory, page by page as the window shows. The engine paints on
// the window's printer until it reports back, so closing it while it prints
// (取消, the exit) only hides it: it ends once the engine is done, and says
// nothing more.
class TFormPrint : public QDialog
{
    Q_OBJECT

public:
    TFormPrint(TChromium* view, QWidget* parent);
    ~TFormPrint() override;

    QPrinter& Printer() { return FPrinter; }
    // Prints with the printer as it is set now (the print dialog's answer).
    void PrintNow();
    QPushButton* PrintButton() const { return FPrintButton; }
    // The page it prints, while it is there.
    TChromium* View() const { return FView; }
    bool IsPrinting() const { return FPrinting; }
    TPrintPages* Pages() const { return FPages; }
    QString StatusText() const;

    // A safe document (and default file) name made of a page title.
    static QString DocumentName(const QString& title);

    void done(int result) override;

private:
    void PreviewMade(const QByteArray& pdf);
    void PreviewProgress(int drawn, int count);
    void PreviewFailed();
    void ShowPreviewState(const QString& text);
    void PrintClicked();
    void StartPrint();
    void PrintDone(bool ok);
    // Ends a window that was closed while busy, once the engine is done.
    void EndIfClosed();

    QPointer<TChromium> FView;
    QPrinter FPrinter{QPrinter::HighResolution};
    TPrintPages* FPages = nullptr;
    QPushButton* FPrintButton = nullptr;
    QLabel* FStatus = nullptr;
    bool FPrinting = false;
    bool FPreviewPending = false; // the engine makes the preview's document
    QString FPreviewState; // what the status line says when not printing
    bool FEndWhenIdle = false; // closed while the engine was still at work
    int FEndResult = Rejected;
};
