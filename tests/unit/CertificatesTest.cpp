#include "page/CertificateGuard.h"
#include "page/CertificatePolicy.h"

#include "widgets/CertificatePage.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

QSslCertificate Fixture(const char* name)
{
    const QList<QSslCertificate> read = QSslCertificate::fromPath(QStringLiteral(VELMAR_TEST_DATA) + QLatin1String(name));
    return read.isEmpty() ? QSslCertificate() : read.first();
}

TCertificateError Error(const QString& url, const QSslCertificate& certificate, bool issuerOnly = true,
                        bool overridable = true)
{
    TCertificateError error;
    error.Url = QUrl(url);
    error.Description = QStringLiteral("The certificate is not trusted.");
    error.Overridable = overridable;
    error.IssuerUnknownOnly = issuerOnly;
    error.Chain = {certificate};
    return error;
}

TEST(Certificates, PinnedServiceCertificateAuthoritiesAndTheUsersChoice)
{
    const QSslCertificate self = Fixture("self-signed.pem");
    const QSslCertificate office = Fixture("office-leaf.pem");
    const QSslCertificate authority = Fixture("office-ca.pem");
    ASSERT_FALSE(self.isNull());
    ASSERT_FALSE(office.isNull());
    ASSERT_FALSE(authority.isNull());
    const QString selfPrint = TCertificatePolicy::Fingerprint(self);
    EXPECT_EQ(selfPrint.size(), 64);

    TScratchDir dir;
    const QString config = dir.File(QStringLiteral("config.ini"));
    const TCertificatePolicy none(config, QStringLiteral("127.0.0.1:8765"), {}, {});
    const TCertificatePolicy pinned(config, QStringLiteral("127.0.0.1:8765"), selfPrint, {});
    const TCertificatePolicy pinnedElsewhere(config, QStringLiteral("erp.example.com"), selfPrint, {});
    const TCertificatePolicy bundle(config, QStringLiteral("127.0.0.1:8765"), {}, {authority});
    const struct
    {
        const TCertificatePolicy& Policy;
        TCertificateError Error;
        TCertificateVerdict Verdict;
    } cases[] = {
        {none, Error(QStringLiteral("https://127.0.0.1:8443/"), self), TCertificateVerdict::Refused},
        // The pin holds for the service's host name, on any port.
        {pinned, Error(QStringLiteral("https://127.0.0.1:8443/a"), self), TCertificateVerdict::Trusted},
        {pinned, Error(QStringLiteral("https://localhost:8443/"), self), TCertificateVerdict::Refused},
        {pinned, Error(QStringLiteral("https://127.0.0.1/"), office), TCertificateVerdict::Refused},
        {pinnedElsewhere, Error(QStringLiteral("https://127.0.0.1/"), self), TCertificateVerdict::Refused},
        // The administrator's authority vouches for its own certificates, for
        // the names in them, when the issuer is the only problem.
        {bundle, Error(QStringLiteral("https://127.0.0.1:8443/"), office), TCertificateVerdict::Trusted},
        {bundle, Error(QStringLiteral("https://localhost/"), office), TCertificateVerdict::Trusted},
        {bundle, Error(QStringLiteral("https://other.example/"), office), TCertificateVerdict::Refused},
        {bundle, Error(QStringLiteral("https://127.0.0.1/"), office, false), TCertificateVerdict::Refused},
        {bundle, Error(QStringLiteral("https://127.0.0.1/"), self), TCertificateVerdict::Refused},
        {none, Error(QStringLiteral("https://127.0.0.1/"), QSslCertificate()), TCertificateVerdict::Refused},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Policy.Decide(c.Error), c.Verdict)
            << c.Error.Url.toString().toStdString() << " " << c.Error.Chain.first().subjectDisplayName().toStdString();

    // The user's choice: this host with this certificate, and only where the
    // engine lets the error be passed over.
    none.AcceptForHost(QStringLiteral("127.0.0.1"), selfPrint);
    EXPECT_EQ(none.Decide(Error(QStringLiteral("https://127.0.0.1:9443/"), self)), TCertificateVerdict::AcceptedByUser);
    EXPECT_EQ(none.Decide(Error(QStringLiteral("https://127.0.0.1/"), office)), TCertificateVerdict::Refused);
    EXPECT_EQ(none.Decide(Error(QStringLiteral("https://localhost/"), self)), TCertificateVerdict::Refused);
    EXPECT_EQ(none.Decide(Error(QStringLiteral("https://127.0.0.1/"), self, true, false)), TCertificateVerdict::Refused);
    // A written fingerprint in any case and with colons reads the same.
    WriteBytes(config, "[CERTIFICATE_EXCEPTIONS]\nlocalhost=" +
                           TCertificatePolicy::ReadableFingerprint(selfPrint).toLatin1() + "\n");
    EXPECT_EQ(none.Decide(Error(QStringLiteral("https://LOCALHOST/"), self)), TCertificateVerdict::AcceptedByUser);
}

TEST(Certificates, ARefusedPageIsCoveredAndGoingOnIsRememberedAndShown)
{
    TScratchDir dir;
    const QString config = dir.File(QStringLiteral("config.ini"));
    TCertificateGuard guard(config, QStringLiteral("127.0.0.1:8765"));
    QWidget window;
    auto* view = new TFakeChromium(&window);
    window.resize(800, 600);
    const QSslCertificate self = Fixture("self-signed.pem");
    const QString url = QStringLiteral("https://127.0.0.1:8443/page");

    // A part of the page (a picture, a script) is refused without a cover.
    TCertificateError part = Error(url, self);
    part.MainFrame = false;
    EXPECT_FALSE(guard.Decide(view, part));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->findChild<TCertificatePage*>(), nullptr);

    // An error that may not be passed over offers no way on.
    EXPECT_FALSE(guard.Decide(view, Error(url, self, true, false)));
    ASSERT_TRUE(WaitUntil([&] { return view->findChild<TCertificatePage*>() != nullptr; }));
    EXPECT_EQ(view->findChild<TCertificatePage*>()->ContinueButton(), nullptr);

    // The page itself: covered, once, whatever the engine asks again.
    EXPECT_FALSE(guard.Decide(view, Error(url, self)));
    EXPECT_FALSE(guard.Decide(view, Error(url, self)));
    ASSERT_TRUE(WaitUntil([&] {
        const auto covers = view->findChildren<TCertificatePage*>();
        return covers.size() == 1 && covers.first()->ContinueButton();
    }));
    auto* cover = view->findChild<TCertificatePage*>();
    EXPECT_EQ(cover->Host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(cover->geometry(), view->rect());

    view->Loads.clear();
    cover->ContinueButton()->click();
    EXPECT_EQ(view->Loads, QStringList{url});
    EXPECT_TRUE(WaitUntil([&] { return view->findChild<TCertificatePage*>() == nullptr; }));
    EXPECT_EQ(TConfigFile(config).ReadCertificateException(QStringLiteral("127.0.0.1")),
              TCertificatePolicy::Fingerprint(self));

    // Loaded again: let through, with the warning in sight while on that host.
    QList<std::pair<TChromium*, bool>> warnings;
    QObject::connect(&guard, &TCertificateGuard::WarningChanged, &guard,
                     [&warnings](TChromium* shown, bool on) { warnings.append({shown, on}); });
    EXPECT_TRUE(guard.Decide(view, Error(url, self)));
    ASSERT_TRUE(WaitUntil([&] { return view->findChild<TCertificateWarning*>() != nullptr; }));
    EXPECT_TRUE(guard.Decide(view, Error(url, self)));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->findChildren<TCertificateWarning*>().size(), 1);
    // The strip over the page goes away on a click; the tab's warning stays.
    auto* strip = view->findChild<TCertificateWarning*>();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(strip, &press);
    EXPECT_TRUE(strip->isHidden());
    EXPECT_EQ(warnings.size(), 1);
    view->Load(QStringLiteral("https://127.0.0.1:8443/other"));
    QCoreApplication::processEvents();
    EXPECT_NE(view->findChild<TCertificateWarning*>(), nullptr);
    view->Load(QStringLiteral("http://127.0.0.1:8765/home"));
    view->Load(QStringLiteral("http://elsewhere.example/"));
    EXPECT_TRUE(WaitUntil([&] { return view->findChild<TCertificateWarning*>() == nullptr; }));
    // Once on, once off, though the host changed twice.
    EXPECT_EQ(warnings, (QList<std::pair<TChromium*, bool>>{{view, true}, {view, false}}));

    // A view that went before its cover came is left alone.
    EXPECT_FALSE(guard.Decide(view, Error(QStringLiteral("https://localhost/"), self)));
    delete view;
    QCoreApplication::processEvents();
}

} // namespace
