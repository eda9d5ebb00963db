#include "page/PagePermissions.h"
#include "page/PermissionPrompter.h"

#include "config/IniFile.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"

#include "FormFixture.h"

#include <QCoreApplication>

namespace {

const QUrl Service(QStringLiteral("http://127.0.0.1:8765"));
const QUrl Other(QStringLiteral("https://maps.example.com"));

TEST(PermissionPolicy, DecidesByOriginFeatureAndStoredAnswer)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[SYSTEM]\nHANDLE=5\n[PERMISSIONS]\n"
                    "geolocation@http://127.0.0.1:8765=1\n"
                    "camera@https://maps.example.com=0\n"
                    "microphone@https://maps.example.com=yes\n");
    const TPermissionPolicy policy(ini, QStringLiteral("127.0.0.1:8765"));
    using D = TPermissionPolicy::TDecision;
    struct TCase
    {
        QUrl Origin;
        TPageFeature Feature;
        D Expected;
    } cases[] = {
        {Service, TPageFeature::Notifications, D::Allow},              // the service's own notifications
        {QUrl(QStringLiteral("http://127.0.0.1:8765/deep/page?q=1")), TPageFeature::Notifications, D::Allow},
        {QUrl(QStringLiteral("http://127.0.0.1:8766")), TPageFeature::Notifications, D::Ask}, // another port
        {QUrl(QStringLiteral("file:///tmp/x.html")), TPageFeature::Notifications, D::Deny},   // no site to ask about
        {Other, TPageFeature::Notifications, D::Ask},
        {Service, TPageFeature::Geolocation, D::Allow},                // answered before
        {Service, TPageFeature::MouseLock, D::Ask},
        {Other, TPageFeature::Camera, D::Deny},
        {Other, TPageFeature::Microphone, D::Ask},                     // a bad value counts as unanswered
        {Other, TPageFeature::ScreenCapture, D::Ask},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(policy.Decide(c.Origin, c.Feature), c.Expected) << c.Origin.toString().toStdString();

    // Sharing the screen is asked every time, also where an older version
    // kept a grant.
    policy.Remember(Other, TPageFeature::ScreenCapture, true);
    policy.Remember(Other, TPageFeature::Microphone, false);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::ScreenCapture), D::Ask);
    EXPECT_EQ(TIniFile(ini).ReadString(QStringLiteral("PERMISSIONS"), QStringLiteral("screen@https://maps.example.com"),
                                       QStringLiteral("none")),
              QStringLiteral("none"));
    WriteBytes(ini, "[SYSTEM]\nHANDLE=5\n[PERMISSIONS]\nscreen@https://maps.example.com=1\n"
                    "microphone@https://maps.example.com=0\n");
    EXPECT_EQ(policy.Decide(Other, TPageFeature::ScreenCapture), D::Ask);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Microphone), D::Deny);

    // A frame allowed under one site is not allowed under another; on its
    // own page its answer is the one kept without a page.
    const QUrl erp(QStringLiteral("http://127.0.0.1:8765/contracts?id=3"));
    const QUrl elsewhere(QStringLiteral("https://news.example.org/"));
    policy.Remember(Other, TPageFeature::Camera, true, erp);
    EXPECT_EQ(TPermissionPolicy::Key(Other, TPageFeature::Camera, erp),
              QStringLiteral("camera@https://maps.example.com|http://127.0.0.1:8765"));
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Camera, erp), D::Allow);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Camera, elsewhere), D::Ask);
    EXPECT_EQ(TPermissionPolicy::Key(Other, TPageFeature::Camera, QUrl(QStringLiteral("https://maps.example.com/x"))),
              TPermissionPolicy::Key(Other, TPageFeature::Camera));
    // The rest of the file is untouched.
    EXPECT_EQ(TIniFile(ini).ReadString(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), {}), QStringLiteral("5"));
    EXPECT_EQ(TPermissionPolicy::Question(Other, TPageFeature::ScreenCapture),
              QStringLiteral("网站 maps.example.com 请求共享您的屏幕，是否允许？"));
    // A look-alike name is shown as the name the browser really uses.
    EXPECT_EQ(TPermissionPolicy::SiteName(QUrl(QStringLiteral("https://xn--80ak6aa92e.com"))),
              QStringLiteral("xn--80ak6aa92e.com"));
    EXPECT_EQ(TPermissionPolicy::SiteName(QUrl(QStringLiteral("https://аррӏе.com"))), QStringLiteral("xn--80ak6aa92e.com"));
}

TEST(PermissionPolicy, ListsKeptAnswersAndForgetsThemOneByOne)
{
    TScratchDir dir;
    const QString ini = dir.File(QStringLiteral("config.ini"));
    WriteBytes(ini, "[PERMISSIONS]\n"
                    "geolocation@https://xn--80ak6aa92e.com=1\n"
                    "camera@https://maps.example.com|http://127.0.0.1:8765=0\n"
                    "microphone@https://maps.example.com=maybe\n"
                    "handwritten=1\n"
                    "[ZOOM]\n127.0.0.1=125\n");
    const TPermissionPolicy policy(ini, QStringLiteral("127.0.0.1:8765"));
    const auto listed = policy.Remembered();
    ASSERT_EQ(listed.size(), 3); // a value that is no answer is not listed
    EXPECT_EQ(listed[0].Site, QStringLiteral("xn--80ak6aa92e.com"));
    EXPECT_EQ(listed[0].Page, QString());
    EXPECT_EQ(listed[0].Feature, QStringLiteral("获取您的位置"));
    EXPECT_TRUE(listed[0].Allowed);
    EXPECT_EQ(listed[1].Site, QStringLiteral("maps.example.com"));
    EXPECT_EQ(listed[1].Page, QStringLiteral("127.0.0.1:8765"));
    EXPECT_EQ(listed[1].Feature, QStringLiteral("使用摄像头"));
    EXPECT_FALSE(listed[1].Allowed);
    EXPECT_EQ(listed[2].Site, QStringLiteral("handwritten")); // listed as it stands, so it can go too

    // Forgotten, the site is asked again; the others and the rest stay.
    const QUrl erp(QStringLiteral("http://127.0.0.1:8765/x"));
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Camera, erp), TPermissionPolicy::TDecision::Deny);
    policy.Forget(listed[1].Key);
    EXPECT_EQ(policy.Decide(Other, TPageFeature::Camera, erp), TPermissionPolicy::TDecision::Ask);
    policy.Forget(listed[2].Key);
    policy.Forget(QStringLiteral("not-there"));
    ASSERT_EQ(policy.Remembered().size(), 1);
    EXPECT_EQ(policy.Remembered().first().Key, listed[0].Key);
    EXPECT_EQ(TIniFile(ini).ReadString(QStringLiteral("ZOOM"), QStringLiteral("127.0.0.1"), {}), QStringLiteral("125"));
    EXPECT_EQ(TIniFile(ini).ReadString(QStringLiteral("PERMISSIONS"), QStringLiteral("microphone@https://maps.example.com"), {}),
              QStringLiteral("maybe"));

    // A file that cannot be written says so.
    EXPECT_THROW(TPermissionPolicy(dir.File(QStringLiteral("missing/config.ini")), {}).Forget(listed[0].Key), EAppError);
}

TEST(PermissionQueue, OneQuestionPerOriginAndFeatureAndViewsGoneAreDropped)
{
    TFakeChromium first, second;
    auto* third = new TFakeChromium;
    TPermissionQueue queue;
    EXPECT_TRUE(queue.Add(&first, {Other, TPageFeature::Geolocation, {}}));
    EXPECT_FALSE(queue.Add(&first, {Other, TPageFeature::Geolocation, {}}));  // asked again: same question
    EXPECT_FALSE(queue.Add(&second, {Other, TPageFeature::Geolocation, {}})); // another view: same question
    EXPECT_TRUE(queue.Add(third, {Other, TPageFeature::Camera, {}}));
    EXPECT_TRUE(queue.Add(&second, {Service, TPageFeature::Geolocation, {}}));

    ASSERT_TRUE(queue.Next());
    EXPECT_EQ(queue.Next()->Feature, TPageFeature::Geolocation);
    EXPECT_EQ(queue.Take(*queue.Next()).size(), 2);
    delete third;
    // The camera question's only asker is gone: the service's question is next.
    ASSERT_TRUE(queue.Next());
    EXPECT_EQ(queue.Next()->Origin, Service);
    const auto all = queue.TakeAll();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].View, &second);
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_FALSE(queue.Next());
}

class PermissionPrompter : public TabsFixture
{
protected:
    void SetUp() override
    {
        FMessages.Answer = IDYES;
        TabsFixture::SetUp();
    }

    TPermissionPrompter FPrompter{FRegistry, FFlags, Config(), QStringLiteral("127.0.0.1:8765")};
};

TEST_F(PermissionPrompter, AFloodOfRequestsGetsOneQuestionAndEveryRequestAnAnswer)
{
    for (int i = 0; i < 100; ++i)
        FView->RaisePermission(Other, TPageFeature::Geolocation);
    FView->RaisePermission(Service, TPageFeature::Notifications); // answered at once
    ASSERT_EQ(FView->Permissions.size(), 1u);
    EXPECT_TRUE(FView->Permissions[0].Granted);
    ASSERT_TRUE(WaitUntil([&] { return FView->Permissions.size() == 2; }));
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
    EXPECT_EQ(FMessages.Boxes[0].Text, QStringLiteral("网站 maps.example.com 请求获取您的位置，是否允许？\n\n"
                                                      "您的回答会被记住，可按 Ctrl+, 在“高级设置”中撤销。"));
    EXPECT_EQ(FMessages.Boxes[0].Flags & MB_DEFBUTTON2, MB_DEFBUTTON2); // No is the default
    EXPECT_TRUE(FView->Permissions[1].Granted);
    EXPECT_EQ(TIniFile(Config()).ReadString(QStringLiteral("PERMISSIONS"),
                                            TPermissionPolicy::Key(Other, TPageFeature::Geolocation, QUrl(FView->Url())),
                                            {}),
              QStringLiteral("1"));
    // Remembered: the next request is answered without a question.
    FView->RaisePermission(Other, TPageFeature::Geolocation);
    EXPECT_EQ(FView->Permissions.size(), 3u);
    EXPECT_EQ(FMessages.Boxes.size(), 1u);
}

TEST_F(PermissionPrompter, ABackgroundTabsRequestWaitsUntilItIsShown)
{
    FView->hide(); // as a tab that is not the current one
    FView->RaisePermission(Other, TPageFeature::Camera);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(FMessages.Boxes.empty());
    EXPECT_TRUE(FView->Permissions.empty());
    FView->show();
    ASSERT_TRUE(WaitUntil([&] { return FView->Permissions.size() == 1; }));
    EXPECT_EQ(FMessages.Boxes.size(), 1u);

    // Sharing the screen: asked, answered, and asked again next time.
    FView->RaisePermission(Other, TPageFeature::ScreenCapture);
    ASSERT_TRUE(WaitUntil([&] { return FView->Permissions.size() == 2; }));
    FView->RaisePermission(Other, TPageFeature::ScreenCapture);
    ASSERT_TRUE(WaitUntil([&] { return FView->Permissions.size() == 3; }));
    EXPECT_EQ(FMessages.Boxes.size(), 3u);
}

TEST_F(PermissionPrompter, TheProgramsEndDeniesWhatWaitsAndWhatComesAfter)
{
    FView->RaisePermission(Other, TPageFeature::Camera); // its question is not asked yet
    FFlags.FClosing = true;
    FPrompter.DenyPending();
    ASSERT_EQ(FView->Permissions.size(), 1u);
    EXPECT_FALSE(FView->Permissions[0].Granted);
    FView->RaisePermission(Other, TPageFeature::MouseLock);
    ASSERT_EQ(FView->Permissions.size(), 2u);
    EXPECT_FALSE(FView->Permissions[1].Granted);
    QCoreApplication::processEvents();
    EXPECT_TRUE(FMessages.Boxes.empty());
}

} // namespace
