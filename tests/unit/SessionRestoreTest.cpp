#include "tabs/SessionRestore.h"

#include "tabs/TabRegistry.h"

#include "FormFixture.h"

#include <QFile>

namespace {

class SessionRestore : public TabsFixture
{
protected:
    QString Path() const { return FData.File(QStringLiteral("session.json")); }
    bool WriteLastRun()
    {
        WriteBytes(Path(), R"x({"tabs":["http://127.0.0.1:8765/contracts?id=7","file:///etc/passwd",)x"
                           R"x("javascript:alert(1)","https://intranet.example/report"]})x");
        return true;
    }
    QStringList VisibleUrls() const
    {
        QStringList urls;
        for (const TBrowserTab* tab : FRegistry.VisibleTabs())
            urls << static_cast<TFakeChromium*>(tab->Browser.data())->Loads.value(0);
        return urls;
    }

    bool FWritten = WriteLastRun();
    QList<int> FAsked;
    bool FAnswer = true;
    TSessionRestore FSession{FRegistry, FFlags, Path(),
                             [this](int count) {
                                 FAsked << count;
                                 return FAnswer;
                             },
                             50};
};

TEST_F(SessionRestore, AfterACrashTheLastTabsAreOfferedOnceTheLoginPageHasLoaded)
{
    EXPECT_EQ(FSession.Pending().size(), 2); // pages only
    EXPECT_TRUE(FAsked.isEmpty());           // not before the login page
    TLoadResult loaded;
    loaded.Url = QUrl(QStringLiteral("http://127.0.0.1:8765/"));
    FView->RaiseLoadFinished(loaded);
    ASSERT_TRUE(WaitUntil([&] { return FAsked.size() == 1; }));
    EXPECT_EQ(FAsked.first(), 2);
    EXPECT_EQ(VisibleUrls().mid(1), (QStringList{"http://127.0.0.1:8765/contracts?id=7", "https://intranet.example/report"}));
    FView->RaiseLoadFinished(loaded); // once only
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(FAsked.size(), 1);

    // While running, the file follows the tabs; a normal end removes it.
    auto* report = static_cast<TFakeChromium*>(FRegistry.VisibleTabs().back()->Browser.data());
    report->RaiseUrl(QStringLiteral("https://intranet.example/report?page=2"));
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(Path()).contains("page=2"); }));
    EXPECT_FALSE(ReadBytes(Path()).contains("8765/\""));
    FSession.EndedNormally();
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(SessionRestore, NoMeansTheTabsAreNotOpenedAndNotOfferedAgain)
{
    FAnswer = false;
    TLoadResult loaded;
    FView->RaiseLoadFinished(loaded);
    ASSERT_TRUE(WaitUntil([&] { return FAsked.size() == 1; }));
    EXPECT_EQ(FRegistry.VisibleTabs().size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(Path()) == R"({"tabs":[]})"; }));
}

} // namespace
