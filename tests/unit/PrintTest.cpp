#include "print/PrintController.h"
#include "print/PrintPreview.h"

#include "FormFixture.h"

#include <QTimer>

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
    window->PrintNow();
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

// Closing the print window while the engine still paints on its printer
// only hides it; it ends when the engine reports back, without a word.
TEST_F(PrintController, ClosedWhilePrintingItEndsWhenTheEngineIsDone)
{
    for (int round = 0; round < 3; ++round) {
        FView->RaisePrint();
        const QPointer<TFormPrint> window = FController.Window();
        ASSERT_NE(window, nullptr);
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

// The preview's pages come from the engine while the window waits; closing
// it meanwhile, and the page's process ending meanwhile, end it cleanly.
TEST_F(PrintController, ClosedWhileThePreviewRendersItEndsWhenTheEngineIsDone)
{
    FView->HoldPrinterPrints = true;
    QPointer<TFormPrint> window;
    QTimer::singleShot(0, [&] {
        window = FController.Window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(FView->PendingPrint); // the preview waits for the engine's pages
        window->reject();
        EXPECT_TRUE(window);
        QTimer::singleShot(0, [&] { FView->FinishPrint(true); });
    });
    FView->RaisePrint(); // the preview waits for its pages in here
    EXPECT_TRUE(WaitUntil([&] { return FController.Window() == nullptr; }));

    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(FView->PendingPrint);
        FView->RaiseRenderProcessTerminated(TRenderTermination::Crashed);
    });
    FView->RaisePrint(); // the page's process ends: the preview stops waiting
    ASSERT_NE(FController.Window(), nullptr);
    FController.End();
    EXPECT_TRUE(WaitUntil([&] { return FController.Window() == nullptr; }));
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
