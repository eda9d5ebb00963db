#include "page/CrashCover.h"

#include "widgets/CrashedPage.h"

#include "FormFixture.h"

#include <QPushButton>

namespace {

class CrashCover : public TabsFixture
{
protected:
    TCrashCover FCover{FRegistry, FFlags};
};

TEST_F(CrashCover, ACrashedPageShowsItsCoverAndReloadsTheLoginAddress)
{
    FView->RaiseRenderProcessTerminated(TRenderTermination::Normal);
    EXPECT_EQ(FView->findChild<TCrashedPage*>(), nullptr);
    FView->RaiseRenderProcessTerminated(TRenderTermination::Crashed);
    FView->RaiseRenderProcessTerminated(TRenderTermination::Killed);
    ASSERT_EQ(FView->findChildren<TCrashedPage*>().size(), 1);
    FView->Loads.clear();
    FView->findChild<TCrashedPage*>()->ReloadButton()->click();
    // The first tab goes back to the login address, which the test never set.
    ASSERT_EQ(FView->Loads.size(), 1);
    EXPECT_TRUE(WaitUntil([&] { return FView->findChild<TCrashedPage*>() == nullptr; }));
}

} // namespace
