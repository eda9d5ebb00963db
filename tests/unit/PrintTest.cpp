#include "print/PrintController.h"
#include "print/PrintPages.h"
#include "print/PrintPreview.h"

#include "FormFixture.h"

#include <QLabel>
#include <QPushButton>

namespace {

class PrintController : public TabsFixture
{
protected:
    QWidget FOwner;
    TPrintController FController{FRegistry, FOwner, FFlags};
};

TEST_F(PrintController, OnePrintWindowAtATimeAndAFailedPrintSaysSo)
{
    for (int i = 0; i < 3; ++i)
        FView->RaisePrint();
    TFormPrint* window = FController.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FOwner.findChildren<TFormPrint*>().size(), 1);

    const QString pdf = FData.File(QStringLiteral("receipt.pdf"));
    window->Printer().setOutputFormat(QPrinter::PdfFormat);
    window->Printer().setOutputFileName(pdf);
    FView->Prints.clear();
    window->PrintNow(); // asked before the preview's document came: it waits for it
    EXPECT_TRUE(FView->Prints.isEmpty());
    EXPECT_EQ(window->StatusText(), QStringLiteral("正在打印..."));
    FView->FinishPdfData(TFakeChromium::MakePdf(1));
    ASSERT_EQ(FView->Prints, QStringList{pdf});
    EXPECT_TRUE(window->IsPrinting());
    window->PrintNow(); // a second click while it runs does nothing
    EXPECT_EQ(FView->Prints.size(), 1);
    FView->FinishPrint(false);
    ASSERT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("打印失败！"));
    EXPECT_TRUE(window->isVisible()); // the user may try again

    window->Printer().setOutputFileName(QString());
    window->Printer().setOutputFormat(QPrinter::NativeFormat);
    window->PrintNow(); // to a printer this time; it succeeds and the window goes
    EXPECT_EQ(FView->Prints.size(), 2);
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return FController.Window() == nullptr; }));
}

TEST_F(PrintController, AFramesPrintPrintsACopyOfItsDocumentAndFallsBackToThePage)
{
    const TFrameDocument receipt{QUrl(QStringLiteral("http://127.0.0.1:8765/pages/receipt_frame.html")),
                                 QStringLiteral("<p>收据</p>")};
    Q_EMIT FView->FramePrintRequested(receipt);
    Q_EMIT FView->FramePrintRequested(receipt); // a second one while the first copy loads
    const QPointer<TFakeChromium> copy = FView->LastCopy;
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->isVisible());
    EXPECT_EQ(copy->Document.Html, receipt.Html);
    EXPECT_EQ(FController.Window(), nullptr); // not before the copy has loaded
    ASSERT_TRUE(WaitUntil([&] { return FController.Window() != nullptr; }));
    EXPECT_EQ(FController.Window()->View(), copy.data()); // the frame's copy prints, not the page
    EXPECT_EQ(FOwner.findChildren<TFormPrint*>().size(), 1);

    // The copy goes with its print window.
    FController.Window()->reject();
    EXPECT_TRUE(WaitUntil([&] { return copy.isNull(); }));

    // Without a copy, or when it cannot load, the whole page prints as before.
    for (const bool fails : {false, true}) {
        FView->NoCopies = !fails;
        FView->CopyFails = fails;
        Q_EMIT FView->FramePrintRequested(receipt);
        ASSERT_TRUE(WaitUntil([&] { return FController.Window() != nullptr; })) << fails;
        EXPECT_EQ(FController.Window()->View(), FView.data()) << fails;
        FController.Window()->reject();
        ASSERT_TRUE(WaitUntil([&] { return FController.Window() == nullptr; })) << fails;
    }
}

// Closing the print window while the engine still paints on its printer
// only hides it; it ends when the engine reports back, without a word.
TEST_F(PrintController, ClosedWhilePrintingItEndsWhenTheEngineIsDone)
{
    for (int round = 0; round < 3; ++round) {
        FView->RaisePrint();
        const QPointer<TFormPrint> window = FController.Window();
        ASSERT_NE(window, nullptr);
        FView->FinishPdfData(TFakeChromium::MakePdf(1));
        window->Printer().setOutputFormat(QPrinter::PdfFormat);
        window->Printer().setOutputFileName(FData.File(QStringLiteral("receipt.pdf")));
        window->PrintNow();
        ASSERT_TRUE(window->IsPrinting());
        window->reject(); // 取消 while it prints
        EXPECT_TRUE(window);
        EXPECT_FALSE(window->isVisible());
        FView->FinishPrint(false); // the engine reports back
        EXPECT_TRUE(WaitUntil([&] { return window == nullptr; }));
    }
    EXPECT_TRUE(FMessages.Boxes.empty());
    FView->RaisePrint(); // and it prints afterwards
    ASSERT_NE(FController.Window(), nullptr);
}

// The window shows at once; the preview's pages come from a PDF the engine
// makes in memory and fill in one by one, with the window answering meanwhile.
TEST_F(PrintController, ThePreviewShowsAtOnceAndFillsInPageByPage)
{
    FView->RaisePrint();
    const QPointer<TFormPrint> window = FController.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(FView->PendingPdfData); // nothing waits inside RaisePrint
    EXPECT_EQ(window->StatusText(), QStringLiteral("正在生成预览..."));

    FView->FinishPdfData(TFakeChromium::MakePdf(11));
    ASSERT_EQ(window->Pages()->PageCount(), 11);
    EXPECT_LT(window->Pages()->PagesDrawn(), 11); // drawn over later turns
    EXPECT_TRUE(WaitUntil([&] { return window->Pages()->PagesDrawn() == 11; }));
    EXPECT_EQ(window->StatusText(), QStringLiteral("共 11 页"));
    const auto sheets = window->Pages()->findChildren<QLabel*>();
    ASSERT_EQ(sheets.size(), 11);
    for (const QLabel* sheet : sheets) {
        EXPECT_FALSE(sheet->pixmap().isNull());
        EXPECT_GT(sheet->height(), sheet->width()); // a portrait sheet of the page's shape
    }

    // Closed while pages are still drawn: it ends at once.
    window->reject();
    EXPECT_TRUE(WaitUntil([&] { return window == nullptr; }));
}

TEST_F(PrintController, ClosedBeforeThePreviewCameItEndsAndTheLateDocumentFindsNothing)
{
    FView->RaisePrint();
    QPointer<TFormPrint> window = FController.Window();
    ASSERT_TRUE(FView->PendingPdfData);
    window->reject();
    EXPECT_TRUE(WaitUntil([&] { return window == nullptr; }));
    FView->FinishPdfData(TFakeChromium::MakePdf(2)); // the engine answers late

    // No document, or one that cannot be read: it says so and can still print.
    for (const QByteArray& pdf : {QByteArray(), QByteArray("<html>not a pdf</html>")}) {
        FView->RaisePrint();
        window = FController.Window();
        ASSERT_NE(window, nullptr);
        FView->FinishPdfData(pdf);
        EXPECT_TRUE(WaitUntil([&] { return window->StatusText() == QStringLiteral("无法生成预览。"); }));
        EXPECT_EQ(window->Pages()->PageCount(), 0);
        FController.End();
        EXPECT_TRUE(WaitUntil([&] { return FController.Window() == nullptr; }));
    }
    EXPECT_TRUE(FMessages.Boxes.empty());
}

// window.print(); window.close(), as receipts do: the tab stays until its
// print window is done, then closes.
class PrintAndClose : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        StartForm();
    }
};

TEST_F(PrintAndClose, APageThatPrintsAndClosesItselfClosesOnceItsPrintWindowIsDone)
{
    ASSERT_NE(Popup(1, true), nullptr);
    Pump();
    const QPointer<TFakeChromium> receipt = ViewOn(2);
    ASSERT_TRUE(receipt);
    receipt->RaisePrint();
    receipt->RaiseClose();
    Pump();
    EXPECT_EQ(ViewOn(2), receipt.data());
    const QPointer<TFormPrint> window = FForm->Printing().Window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->View(), receipt.data());
    window->reject();
    EXPECT_TRUE(WaitUntil([&] { return !receipt; }));
    EXPECT_TRUE(FMessages.Boxes.empty());
    EXPECT_TRUE(FForm->isVisible());
}

} // namespace
