#pragma once

#include <QDialog>
#include <QPointer>
#include <QPrinter>

class QLabel;
class QPrintPreviewWidget;
class QPushButton;
class TChromium;

// The print window of one page: a preview of what will print, and "打印..."
// which opens the system print dialog (a printer, or a PDF file) and prints.
// A print that fails says so. The engine paints on the window's printer
// until it reports back, so closing it meanwhile (取消, the exit) only hides
// it: it ends once the engine is done, and says nothing more.
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

    // A safe document (and default file) name made of a page title.
    static QString DocumentName(const QString& title);

    void done(int result) override;

private:
    void PreviewPaintRequested(QPrinter* printer);
    void PrintClicked();
    void PrintDone(bool ok);
    // Ends a window that was closed while busy, once the engine is done.
    void EndIfClosed();

    QPointer<TChromium> FView;
    QPrinter FPrinter{QPrinter::HighResolution};
    QPrintPreviewWidget* FPreview = nullptr;
    QPushButton* FPrintButton = nullptr;
    QLabel* FStatus = nullptr;
    bool FPrinting = false;
    bool FRendering = false;
    bool FEndWhenIdle = false; // closed while the engine was still at work
    int FEndResult = Rejected;
};
