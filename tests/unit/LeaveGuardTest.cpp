#include "page/LeaveGuard.h"

#include "tabs/TabRegistry.h"

#include "FormFixture.h"

#include <QTimer>

namespace {

class LeaveGuard : public TabsFixture
{
protected:
    void SetUp() override
    {
        TabsFixture::SetUp();
        FRegistry.OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/contract.html"));
        FForm = static_cast<TFakeChromium*>(FRegistry.FindTab(FRegistry.IdAt(2))->Browser.data());
        ASSERT_TRUE(FForm);
        FId = FRegistry.IdAt(2);
        FForm->StaysOnRequest = true; // unsaved input: the page asks
    }
    int Tabs() const { return static_cast<int>(FRegistry.VisibleTabs().size()); }

    bool FQuestionUp = false;
    TLeaveGuard FGuard{FRegistry, FFlags, 300, [this] { return FQuestionUp; }};
    QPointer<TFakeChromium> FForm;
    int FId = 0;
};

TEST_F(LeaveGuard, ThePageDecidesAndStayingKeepsTheTab)
{
    ASSERT_EQ(Tabs(), 2);
    FQuestionUp = true; // its "leave this page?" is up; the user chooses to stay
    FGuard.CloseTab(FId);
    FGuard.CloseTab(FId); // a second gesture while it asks
    EXPECT_EQ(FForm->CloseRequests, 1);
    WaitUntil([] { return false; }, 700);
    EXPECT_EQ(Tabs(), 2);
    ASSERT_TRUE(FForm);

    // Asked again, it may be asked again (the answer was stay).
    FGuard.CloseTab(FId);
    EXPECT_EQ(FForm->CloseRequests, 2);
}

TEST_F(LeaveGuard, AQuestionAnsweredInAnInstantStillCountsAsTheUsersStay)
{
    FGuard.CloseTab(FId);
    // The page's question, up and answered "stay" between two looks.
    FForm->RaiseJsDialog({QUrl(), TJsDialogType::Confirm, QStringLiteral("离开此页？"), {}});
    WaitUntil([] { return false; }, 700); // longer than the wait for a hung page
    EXPECT_EQ(Tabs(), 2);
    FGuard.CloseTab(FId); // asked again, not ignored as still waiting
    EXPECT_EQ(FForm->CloseRequests, 2);
}

TEST_F(LeaveGuard, APageThatNeitherAnswersNorAsksIsClosedAfterAWhile)
{
    FGuard.CloseTab(FId);
    EXPECT_EQ(Tabs(), 2);
    EXPECT_TRUE(WaitUntil([&] { return Tabs() == 1; }, 3000));
    EXPECT_TRUE(FForm.isNull());

    // The first tab is never closed, nor its page asked.
    FGuard.CloseTab(FRegistry.IdAt(1));
    EXPECT_EQ(FView->CloseRequests, 0);

    // Nothing to ask: a tab that is gone, or the program ending.
    FGuard.CloseTab(FId);
    FRegistry.OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/other.html"));
    QPointer<TFakeChromium> other = static_cast<TFakeChromium*>(FRegistry.FindTab(FRegistry.IdAt(2))->Browser.data());
    ASSERT_TRUE(other);
    other->StaysOnRequest = true;
    FFlags.FClosing = true;
    FGuard.CloseTab(FRegistry.IdAt(2)); // closed at once, its page not asked
    EXPECT_TRUE(other.isNull());
    EXPECT_EQ(Tabs(), 1);
}

TEST_F(LeaveGuard, BeforeTheEndEveryPageIsAskedTheFirstLastAndOneThatStaysKeepsTheProgram)
{
    FForm->StaysOnRequest = false; // nothing unsaved
    FRegistry.OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/draft.html"));
    QPointer<TFakeChromium> draft = static_cast<TFakeChromium*>(FRegistry.FindTab(FRegistry.IdAt(3))->Browser.data());
    ASSERT_TRUE(draft);
    draft->StaysOnRequest = true;
    // Its question comes up and is answered "stay": no close request follows.
    QObject::connect(draft, &TFakeChromium::CloseRequested, draft, [] { ADD_FAILURE() << "left"; });
    QTimer::singleShot(0, [this] { FQuestionUp = true; });
    QTimer::singleShot(400, [this] { FQuestionUp = false; });
    EXPECT_FALSE(FGuard.AskAllToLeave());
    EXPECT_EQ(FView->CloseRequests, 0); // the first tab was not asked
    EXPECT_FALSE(FFlags.FLeaving);
    // The page that agreed has gone: its tab closes; the one that stayed is kept.
    EXPECT_TRUE(FForm.isNull());
    ASSERT_TRUE(draft);
    EXPECT_EQ(Tabs(), 2);

    // Everyone agrees: true, the first tab asked last, no tab closed here.
    draft->StaysOnRequest = false;
    QStringList order;
    QObject::disconnect(draft, &TFakeChromium::CloseRequested, draft, nullptr);
    QObject::connect(draft, &TFakeChromium::CloseRequested, draft, [&order] { order << "draft"; });
    QObject::connect(FView, &TFakeChromium::CloseRequested, FView, [&order] { order << "first"; });
    EXPECT_TRUE(FGuard.AskAllToLeave());
    EXPECT_EQ(order, (QStringList{"draft", "first"}));
    EXPECT_EQ(Tabs(), 2);
}

} // namespace
