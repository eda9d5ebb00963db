#include "tabs/TabStripAccessible.h"

#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"

#include "FormFixture.h"

#include <QAccessible>

namespace {

class TabStripAccessible : public TabsFixture
{
};

TEST_F(TabStripAccessible, ScreenReadersSeeATabListWithOneNamedTabPerVisiblePage)
{
    FRegistry.OpenAddressTab(QStringLiteral("http://127.0.0.1:8765/contracts"));
    FRegistry.SetCaption(FPages.Page(2), QStringLiteral("合同列表"));

    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(&FPages);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->role(), QAccessible::PageTabList);
    // Two tabs (page 0 and the placeholder have none), then the content.
    QList<QAccessibleInterface*> tabs;
    for (int i = 0; i < strip->childCount(); ++i)
        if (strip->child(i) && strip->child(i)->role() == QAccessible::PageTab)
            tabs << strip->child(i);
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_EQ(tabs[0]->text(QAccessible::Name), QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(tabs[1]->text(QAccessible::Name), QStringLiteral("合同列表"));
    EXPECT_FALSE(tabs[0]->state().selected);
    EXPECT_TRUE(tabs[1]->state().selected);
    EXPECT_EQ(strip->indexOfChild(tabs[1]), 1);
    EXPECT_EQ(tabs[1]->parent(), strip);
    EXPECT_EQ(strip->child(1), tabs[1]); // the same interface each time

    // Pressing selects; the first tab cannot be closed, the others can.
    auto* firstActions = tabs[0]->actionInterface();
    ASSERT_NE(firstActions, nullptr);
    EXPECT_EQ(firstActions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    firstActions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(FPages.ActivePageIndex(), 1);
    EXPECT_TRUE(tabs[0]->state().selected);
    QList<int> closes;
    QObject::connect(&FPages, &TPageControl::CloseTabRequested, &FPages, [&closes](int index) { closes << index; });
    tabs[1]->actionInterface()->doAction(TPageTabAccessible::CloseAction());
    EXPECT_EQ(closes, QList<int>{2});

    // A closed tab's interface goes invalid and the list follows.
    FRegistry.CloseTab(2);
    EXPECT_FALSE(tabs[1]->isValid());
    int count = 0;
    for (int i = 0; i < strip->childCount(); ++i)
        count += strip->child(i) && strip->child(i)->role() == QAccessible::PageTab ? 1 : 0;
    EXPECT_EQ(count, 1);
}

} // namespace
