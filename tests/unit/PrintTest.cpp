#include "print/PrintController.h"
#include "print/PrintPreview.h"

#include "FormFixture.h"

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

} // namespace
