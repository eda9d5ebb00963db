#include "page/LoadFailure.h"

#include "tabs/TabRegistry.h"
#include "widgets/LoadFailedPage.h"

#include "FormFixture.h"

#include <QLabel>
#include <QPushButton>

namespace {

TLoadResult Failure(const QString& url, int code)
{
    TLoadResult result;
    result.Url = QUrl(url);
    result.Ok = false;
    result.ErrorCode = code;
    result.Failure = LoadFailureOf(code);
    result.Description = QStringLiteral("net::ERR_%1").arg(code);
    return result;
}

TLoadResult Loaded(const QString& url)
{
    TLoadResult result;
    result.Url = QUrl(url);
    return result;
}

// Lets timers run for ms.
void RunFor(int ms)
{
    WaitUntil([] { return false; }, ms);
}

const QString Login = QStringLiteral("http://127.0.0.1:8765/pcClient/login.html?ComputerName=x&Mac=y");

TEST(LoadFailure, NetworkErrorsAreNamedAndTheOthersLeftToThePage)
{
    const struct
    {
        int Code;
        TLoadFailure Failure;
    } cases[] = {
        {-102, TLoadFailure::Refused},     {-101, TLoadFailure::Refused},      {-324, TLoadFailure::Refused},
        {-105, TLoadFailure::NameNotFound}, {-118, TLoadFailure::TimedOut},   {-7, TLoadFailure::TimedOut},
        {-106, TLoadFailure::NetworkDown}, {-21, TLoadFailure::NetworkDown},  {-130, TLoadFailure::Proxy},
        {-111, TLoadFailure::Proxy},       {-199, TLoadFailure::Other},       {-2, TLoadFailure::Other},  {-15, TLoadFailure::Other},
        {-110, TLoadFailure::ClientCertificate}, {-117, TLoadFailure::ClientCertificate},
        {-3, TLoadFailure::None},          {-202, TLoadFailure::None},        {-20, TLoadFailure::None},
        {-301, TLoadFailure::None},        {0, TLoadFailure::None},           {404, TLoadFailure::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadFailureOf(c.Code), c.Failure) << c.Code;

    // The fingerprint in the login address's query is never shown or logged.
    EXPECT_EQ(TLoadFailureCover::ShownAddress(QUrl(QStringLiteral("http://u:p@127.0.0.1:8765/a/login.html?Mac=1#x"))),
              QStringLiteral("http://127.0.0.1:8765/a/login.html"));
    const TRetryTiming timing{2000, 30000};
    QList<int> delays;
    for (int attempt = 0; attempt < 7; ++attempt)
        delays << TLoadFailureCover::RetryDelayMs(timing, attempt);
    EXPECT_EQ(delays, (QList<int>{2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    EXPECT_EQ(TLoadFailureCover::RetryDelayMs(timing, 100000), 30000);
}

class LoadFailureCover : public TabsFixture
{
protected:
    TLoadFailedPage* Cover(TChromium* view) const { return view->findChild<TLoadFailedPage*>(); }

    TLoadFailureCover FCover{FRegistry, FFlags, TRetryTiming{40, 80}};
};

TEST_F(LoadFailureCover, TheFirstTabRetriesTheLoginAddressUntilTheServiceAnswers)
{
    FCover.SetLoginUrl(Login);
    FView->Loads.clear();
    FView->RaiseLoadFinished(Failure(Login, -102));
    TLoadFailedPage* cover = Cover(FView);
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->Title(), QStringLiteral("无法连接到服务器"));
    EXPECT_EQ(cover->Text(), QStringLiteral("127.0.0.1 拒绝了连接，服务可能暂时停止或正在维护。"));
    EXPECT_EQ(cover->RetryNote(), QStringLiteral("将在 1 秒后自动重试。"));
    EXPECT_FALSE(cover->findChildren<QLabel*>().isEmpty());
    for (const QLabel* label : cover->findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains(QStringLiteral("Mac="))) << label->text().toStdString();

    // By itself, the login address again; failing again, the cover stays and waits longer.
    ASSERT_TRUE(WaitUntil([&] { return FView->Loads.size() == 1; }));
    EXPECT_EQ(FView->Loads, QStringList{Login});
    EXPECT_EQ(cover->RetryNote(), QStringLiteral("正在重试……"));
    FView->RaiseLoadFinished(Failure(Login, -105));
    EXPECT_EQ(Cover(FView), cover);
    EXPECT_EQ(cover->Title(), QStringLiteral("找不到服务器"));
    ASSERT_TRUE(WaitUntil([&] { return FView->Loads.size() == 2; }));

    // The network back: at once, without waiting for the timer.
    FView->RaiseLoadFinished(Failure(Login, -106));
    FCover.NetworkBack();
    EXPECT_EQ(FView->Loads.size(), 3);

    // A stopped load changes nothing; the service answering takes the cover away.
    FView->RaiseLoadFinished(Failure(Login, -3));
    EXPECT_EQ(Cover(FView), cover);
    FView->RaiseLoadFinished(Loaded(Login));
    EXPECT_TRUE(WaitUntil([&] { return Cover(FView) == nullptr; }));
    const int loads = FView->Loads.size();
    RunFor(200);
    EXPECT_EQ(FView->Loads.size(), loads); // no retry left behind
}

TEST_F(LoadFailureCover, OtherTabsWaitForTheUsersRetryOfTheirOwnAddress)
{
    FRegistry.OpenAddressTab(QStringLiteral("http://intranet.example/report?id=5"));
    QPointer<TFakeChromium> second = FEngine.Views.back();
    ASSERT_NE(second, FView);
    second->Loads.clear();
    second->RaiseLoadFinished(Failure(QStringLiteral("http://intranet.example/report?id=5"), -130));
    TLoadFailedPage* cover = Cover(second);
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->Title(), QStringLiteral("无法连接到代理服务器"));
    EXPECT_EQ(cover->RetryNote(), QString());
    FCover.NetworkBack();
    RunFor(150);
    EXPECT_TRUE(second->Loads.isEmpty());
    cover->RetryButton()->click();
    EXPECT_EQ(second->Loads, QStringList{QStringLiteral("http://intranet.example/report?id=5")});

    // In the first tab, an address off the service waits for the user too.
    FCover.SetLoginUrl(Login);
    FView->Loads.clear();
    FView->RaiseLoadFinished(Failure(QStringLiteral("http://127.0.0.1:9999/other"), -102));
    ASSERT_NE(Cover(FView), nullptr);
    EXPECT_EQ(Cover(FView)->RetryNote(), QString());
    RunFor(150);
    EXPECT_TRUE(FView->Loads.isEmpty());
    Cover(FView)->RetryButton()->click();
    EXPECT_EQ(FView->Loads, QStringList{QStringLiteral("http://127.0.0.1:9999/other")});
    FView->RaiseLoadFinished(Loaded(QStringLiteral("http://127.0.0.1:9999/other")));
    ASSERT_TRUE(WaitUntil([&] { return Cover(FView) == nullptr; }));

    // A server's own error page is a page: no cover.
    TLoadResult notFound = Failure(QStringLiteral("http://intranet.example/x"), 404);
    FView->RaiseLoadFinished(notFound);
    EXPECT_EQ(Cover(FView), nullptr);

    // Shutting down: nothing new; a view gone with its cover leaves nothing behind.
    FFlags.FClosing = true;
    FView->RaiseLoadFinished(Failure(Login, -102));
    EXPECT_EQ(Cover(FView), nullptr);
    FFlags.FClosing = false;
    FRegistry.CloseTab(FRegistry.IndexOfPage(FRegistry.PageOf(second)));
    RunFor(50);
    EXPECT_TRUE(second.isNull());
    FCover.NetworkBack();
}

} // namespace
