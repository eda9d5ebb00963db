#include "tabs/ClosedTabs.h"

#include "tabs/TabRegistry.h"

#include "FormFixture.h"

namespace {

class ClosedTabs : public TabsFixture
{
protected:
    TFakeChromium* Open(const QString& url)
    {
        FRegistry.OpenAddressTab(url);
        auto* view = static_cast<TFakeChromium*>(FRegistry.ActiveTab()->Browser.data());
        view->RaiseUrl(url);
        return view;
    }

    TClosedTabs FClosed{FRegistry};
};

TEST_F(ClosedTabs, TheLastClosedComesBackFirstWithItsHistory)
{
    EXPECT_FALSE(FClosed.ReopenLast());
    Open(QStringLiteral("http://127.0.0.1:8765/contracts"));
    Open(QStringLiteral("about:blank")); // nothing to bring back
    Open(QStringLiteral("http://127.0.0.1:8765/receipts"));
    FRegistry.CloseTab(2);
    FRegistry.CloseTab(2);
    FRegistry.CloseTab(2);
    ASSERT_EQ(FClosed.Count(), 2);

    EXPECT_TRUE(FClosed.ReopenLast());
    auto* view = static_cast<TFakeChromium*>(FRegistry.ActiveTab()->Browser.data());
    EXPECT_EQ(view->RestoredHistory, QByteArray("history:http://127.0.0.1:8765/receipts"));
    EXPECT_TRUE(FClosed.ReopenLast());
    view = static_cast<TFakeChromium*>(FRegistry.ActiveTab()->Browser.data());
    EXPECT_EQ(view->RestoredHistory, QByteArray("history:http://127.0.0.1:8765/contracts"));
    EXPECT_FALSE(FClosed.ReopenLast());
    EXPECT_EQ(FRegistry.VisibleTabs().size(), 3u);

    // A bounded list: the oldest go first.
    for (int i = 0; i < TClosedTabs::MaxKept + 5; ++i) {
        Open(QStringLiteral("http://127.0.0.1:8765/p%1").arg(i));
        FRegistry.CloseTab(FRegistry.IndexOfPage(FRegistry.ActiveTab()->Sheet));
    }
    EXPECT_EQ(FClosed.Count(), TClosedTabs::MaxKept);
}

} // namespace
