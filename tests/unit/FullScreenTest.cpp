#include "shell/FullScreen.h"

#include "config/ConfigFile.h"
#include "tabs/PageControl.h"

#include "FormFixture.h"

namespace {

// F11 and a page's full screen, on the real window over the fake engine.
class FullScreen : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        StartForm();
    }
    void PagePress(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false)
    {
        ViewOn(Pages().ActivePageIndex())->RaiseKey({key, modifiers, repeat});
        Pump();
    }
};

TEST_F(FullScreen, FullScreenIsNeverThePlacementWritten)
{
    FForm->setGeometry(60, 70, 800, 600);
    Pump();
    const TWindowPlacement before = FForm->CurrentPlacement();
    PagePress(Qt::Key_F11);
    ASSERT_TRUE(FForm->windowState().testFlag(Qt::WindowFullScreen));
    PagePress(Qt::Key_F11, Qt::NoModifier, true); // held: no flicker
    ASSERT_TRUE(FForm->windowState().testFlag(Qt::WindowFullScreen));
    const TWindowPlacement during = FForm->CurrentPlacement();
    EXPECT_EQ(during.Left, before.Left);
    EXPECT_EQ(during.Right, before.Right);
    EXPECT_EQ(during.Bottom, before.Bottom);
    EXPECT_EQ(during.State, 0);
    FForm->close(); // hides to the tray, writing the placement
    Pump();
    const TWindowPlacement written =
        TConfigFile(Config()).ReadPlacement(QSize(1, 1));
    EXPECT_EQ(written.Right, before.Right);
    EXPECT_EQ(written.State, 0);
    FForm->show();
    PagePress(Qt::Key_F11);
    EXPECT_FALSE(FForm->windowState().testFlag(Qt::WindowFullScreen));
}

TEST_F(FullScreen, FullScreenIsGrantedAndThePlacementStaysTheFormerOne)
{
    TFakeChromium* view = ViewOn(1);
    FForm->ShowInitialState();
    FForm->showNormal();
    FForm->setGeometry(40, 50, 700, 500);
    const TWindowPlacement before = FForm->CurrentPlacement();
    EXPECT_TRUE(view->RaiseFullScreen(true));
    EXPECT_TRUE(FForm->PageControl1().StripHidden());
    const TWindowPlacement during = FForm->CurrentPlacement();
    EXPECT_EQ(during.Left, before.Left);
    EXPECT_EQ(during.Right, before.Right);
    EXPECT_EQ(during.State, before.State);
    EXPECT_TRUE(view->RaiseFullScreen(false));
    EXPECT_FALSE(FForm->PageControl1().StripHidden());
    EXPECT_FALSE(FForm->isFullScreen());
}

// A page shown full screen that closes itself (its tab closes) leaves the
// window as it was before, the strip shown again.
TEST_F(FullScreen, APageThatClosesItselfWhileFullScreenEndsIt)
{
    FForm->setGeometry(60, 70, 800, 600);
    Pump();
    const TWindowPlacement before = FForm->CurrentPlacement();
    ASSERT_NE(Popup(1, true), nullptr);
    Pump();
    TFakeChromium* popup = ViewOn(2);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->RaiseFullScreen(true));
    ASSERT_TRUE(FForm->isFullScreen());
    popup->RaiseClose();
    Pump();
    EXPECT_EQ(ViewOn(2), nullptr);
    EXPECT_FALSE(FForm->isFullScreen());
    EXPECT_FALSE(Pages().StripHidden());
    EXPECT_EQ(FForm->CurrentPlacement().Right, before.Right);
}

} // namespace
