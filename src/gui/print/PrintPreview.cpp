#include "print/PrintPreview.h"

#include "engine/Chromium.h"
#include "print/PrintPages.h"
#include "widgets/AppMessageBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPrintDialog>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

TFormPrint::TFormPrint(TChromium* view, QWidget* parent)
    : QDialog(parent), FView(view)
{
    setWindowTitle(QStringLiteral("打印预览"));
    resize(720, 640);
    FPrinter.setDocName(DocumentName(view ? view->Title() : QString()));
    FPages = new TPrintPages(this);
    connect(FPages, &TPrintPages::Progress, this, &TFormPrint::PreviewProgress);
    connect(FPages, &TPrintPages::Unreadable, this, &TFormPrint::PreviewFailed);
    FStatus = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    FPrintButton = buttons->addButton(QStringLiteral("打印..."), QDialogButtonBox::AcceptRole);
    FPrintButton->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(FPrintButton, &QPushButton::clicked, this, &TFormPrint::PrintClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FPages, 1);
    layout->addWidget(FStatus);
    layout->addWidget(buttons);
    FPrintButton->setFocus();

    ShowPreviewState(QStringLiteral("正在生成预览..."));
    if (!FView) {
        PreviewFailed();
        return;
    }
    FPreviewPending = true;
    const QPointer<TFormPrint> self(this);
    FView->PrintToPdfData(FPrinter.pageLayout(), [self](const QByteArray& pdf) {
        if (self)
            self->PreviewMade(pdf);
    });
}

TFormPrint::~TFormPrint() = default;

QString TFormPrint::DocumentName(const QString& title)
{
    QString name = title;
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
    name = name.trimmed();
    // No dots: the print dialog would take what follows one for an extension.
    name.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (name.isEmpty())
        name = QStringLiteral("网页");
    return name.left(80);
}

QString TFormPrint::StatusText() const
{
    return FStatus->text();
}

void TFormPrint::PreviewMade(const QByteArray& pdf)
{
    FPreviewPending = false;
    if (pdf.isEmpty())
        PreviewFailed();
    else
        FPages->SetDocument(pdf);
    if (FPrinting)
        StartPrint();
}

void TFormPrint::PreviewProgress(int drawn, int count)
{
    ShowPreviewState(drawn < count ? QStringLiteral("正在生成预览... %1/%2 页").arg(drawn).arg(count)
                                   : QStringLiteral("共 %1 页").arg(count));
}

void TFormPrint::ShowPreviewState(const QString& text)
{
    // While printing the status line says so; the preview's state follows after.
    FPreviewState = text;
    if (!FPrinting)
        FStatus->setText(FPreviewState);
}

void TFormPrint::PreviewFailed()
{
    // Printing may still work; only the preview is missing.
    ShowPreviewState(QStringLiteral("无法生成预览。"));
}

void TFormPrint::done(int result)
{
    // The engine still paints on this window's printer: hide now, end later.
    if (FPrinting) {
        FEndWhenIdle = true;
        FEndResult = result;
        hide();
        return;
    }
    QDialog::done(result);
}

void TFormPrint::EndIfClosed()
{
    if (FEndWhenIdle && !FPrinting) {
        FEndWhenIdle = false;
        QDialog::done(FEndResult);
    }
}

void TFormPrint::PrintClicked()
{
    if (FPrinting)
        return;
    auto* dialog = new QPrintDialog(&FPrinter, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, &TFormPrint::PrintNow);
    dialog->open();
}

void TFormPrint::PrintNow()
{
    if (FPrinting)
        return;
    if (!FView) {
        PrintDone(false);
        return;
    }
    FPrinting = true;
    FPrintButton->setEnabled(false);
    FStatus->setText(QStringLiteral("正在打印..."));
    // The engine makes one document at a time: a print asked for before the
    // preview's document came starts when it comes.
    if (!FPreviewPending)
        StartPrint();
}

void TFormPrint::StartPrint()
{
    if (!FView) {
        PrintDone(false);
        return;
    }
    const QPointer<TFormPrint> self(this);
    auto done = [self](bool ok) {
        if (self)
            self->PrintDone(ok);
    };
    // A PDF file is written by the engine itself, so its text stays text.
    if (FPrinter.outputFormat() == QPrinter::PdfFormat && !FPrinter.outputFileName().isEmpty())
        FView->PrintToPdf(FPrinter.outputFileName(), FPrinter.pageLayout(), done);
    else
        FView->Print(&FPrinter, done);
}

void TFormPrint::PrintDone(bool ok)
{
    FPrinting = false;
    FPrintButton->setEnabled(true);
    FStatus->setText(FPreviewState);
    if (FEndWhenIdle) {
        EndIfClosed(); // closed meanwhile: the user no longer waits for it
        return;
    }
    if (!ok) {
        AppMessageBox(QStringLiteral("打印失败！"), 0x30);
        return;
    }
    accept();
}
