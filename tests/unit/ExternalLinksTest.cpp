#include "page/ExternalLinks.h"

#include "widgets/AppMessageBox.h"

#include "FormFixture.h"

#include <QCoreApplication>

namespace {

class ExternalLinks : public TabsFixture
{
protected:
    QList<QUrl> FOpened;
    TExternalLinks FLinks{FRegistry, FFlags, [this](const QUrl& url) { FOpened << url; },
                          [](const QString& scheme) {
                              return scheme == QLatin1String("mailto") ? QStringLiteral("雷鸟邮件") : QString();
                          }};
};

TEST_F(ExternalLinks, OpenedOnlyAfterAClickAndAYes)
{
    const QUrl mail(QStringLiteral("mailto:sales@example.com?subject=%E5%90%88%E5%90%8C"));
    const QUrl app(QStringLiteral("weixin://dl/chat"));

    // The page's script alone: nothing asked, nothing opened.
    Q_EMIT FView->ExternalLinkRequested(app, false);
    QCoreApplication::processEvents();
    EXPECT_TRUE(FMessages.Boxes.empty());

    // A click: the question names the scheme and the program; No is the
    // default and opens nothing.
    FMessages.Answer = IDNO;
    Q_EMIT FView->ExternalLinkRequested(mail, true);
    ASSERT_TRUE(WaitUntil([&] { return FMessages.Boxes.size() == 1; }));
    EXPECT_EQ(FMessages.Boxes[0].Text, TExternalLinks::Question(mail, QStringLiteral("雷鸟邮件")));
    EXPECT_TRUE(FMessages.Boxes[0].Text.contains(QStringLiteral("mailto:")));
    EXPECT_TRUE(FMessages.Boxes[0].Text.contains(QStringLiteral("雷鸟邮件")));
    EXPECT_EQ(FMessages.Boxes[0].Flags & MB_DEFBUTTON2, MB_DEFBUTTON2);
    EXPECT_TRUE(FOpened.isEmpty());

    FMessages.Answer = IDYES;
    Q_EMIT FView->ExternalLinkRequested(app, true);
    ASSERT_TRUE(WaitUntil([&] { return FOpened.size() == 1; }));
    EXPECT_EQ(FOpened[0], app);
    EXPECT_TRUE(FMessages.Boxes[1].Text.contains(QStringLiteral("系统未设置")));

    // While the program ends, nothing is asked.
    FFlags.FClosing = true;
    Q_EMIT FView->ExternalLinkRequested(app, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(FMessages.Boxes.size(), 2u);
    EXPECT_EQ(FOpened.size(), 1);
}

} // namespace
