#include "print/PrintPreview.h"

#include "engine/Chromium.h"
#include "widgets/AppMessageBox.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QPrintDialog>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <memory>

TFormPrint::TFormPrint(TChromium* view, QWidget* parent)
    : QDialog(parent), FView(view)
{
    setWindowTitle(QStringLiteral("打印预览"));
    resize(720, 640);
    FPrinter.setDocName(DocumentName(view ? view->Title() : QString()));
    FPreview = new QPrintPreviewWidget(&FPrinter, this);
    connect(FPreview, &QPrintPreviewWidget::paintRequested, this, &TFormPrint::PreviewPaintRequested);
    FStatus = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    FPrintButton = buttons->addButton(QStringLiteral("打印..."), QDialogButtonBox::AcceptRole);
    FPrintButton->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(FPrintButton, &QPushButton::clicked, this, &TFormPrint::PrintClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FPreview, 1);
    layout->addWidget(FStatus);
    layout->addWidget(buttons);
    FPrintButton->setFocus();
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

void TFormPrint::PreviewPaintRequested(QPrinter* printer)
{
    // The preview wants its pages now: wait here for the engine, with the
    // event loop running so the window stays responsive.
    if (!FView || FRendering)
        return;
    FRendering = true;
    // The window stays alive meanwhile (done() only hides it). The view may
    // go, or its page process end; then the engine's answer may come after
    // this wait is over, and must find nothing of it.
    QEventLoop wait;
    const QPointer<QEventLoop> loop(&wait);
    const auto finished = std::make_shared<bool>(false);
    const QPointer<TFormPrint> self(this);
    FView->Print(printer, [loop, finished](bool) {
        *finished = true;
        if (loop)
            loop->quit();
    });
    const auto gone = connect(FView, &QObject::destroyed, &wait, &QEventLoop::quit);
    const auto crashed = connect(FView, &TChromium::RenderProcessTerminated, &wait, &QEventLoop::quit);
    if (!*finished)
        wait.exec();
    if (!self)
        return;
    disconnect(gone);
    disconnect(crashed);
    FRendering = false;
    EndIfClosed();
}

void TFormPrint::done(int result)
{
    // The engine still paints on this window's printer: hide now, end later.
    if (FRendering || FPrinting) {
        FEndWhenIdle = true;
        FEndResult = result;
        hide();
        return;
    }
    QDialog::done(result);
}

void TFormPrint::EndIfClosed()
{
    if (FEndWhenIdle && !FRendering && !FPrinting) {
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
    FStatus->clear();
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
