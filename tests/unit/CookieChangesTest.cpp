#include "engine/CookieChanges.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QNetworkCookie Cookie(const char* name, const char* value, const char* domain, bool session = false)
{
    QNetworkCookie cookie(name, value);
    cookie.setDomain(QString::fromLatin1(domain));
    cookie.setPath(QStringLiteral("/"));
    if (!session)
        cookie.setExpirationDate(QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC));
    return cookie;
}

TEST(CookieChanges, TheLatestStateOfEachCookieSurvivesTheFile)
{
    TScratchDir dir;
    TCookieChanges changes;
    changes.Added(Cookie("velmar_session", "old", "127.0.0.1"));
    changes.Removed(Cookie("velmar_session", "old", "127.0.0.1")); // overwritten:
    changes.Added(Cookie("velmar_session", "new", "127.0.0.1"));  // removed, then added
    changes.Added(Cookie("theme", "dark", ".example.com"));
    changes.Removed(Cookie("theme", "dark", ".example.com")); // a sign-out
    changes.Added(Cookie("tab", "3", "erp.example.com", true)); // ends with the session
    const QString path = dir.File(QStringLiteral("CookieChanges"));
    ASSERT_TRUE(changes.Save(path));
    EXPECT_EQ(QFile::permissions(path) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);

    const auto taken = TCookieChanges::Take(path);
    EXPECT_FALSE(QFile::exists(path)); // put back once only
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_TRUE(taken[0].Set);
    EXPECT_EQ(taken[0].Cookie.name(), "velmar_session");
    EXPECT_EQ(taken[0].Cookie.value(), "new");
    EXPECT_EQ(taken[0].Cookie.domain(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(taken[0].Cookie.expirationDate(), QDateTime(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_FALSE(taken[1].Set);
    EXPECT_EQ(taken[1].Cookie.domain(), QStringLiteral(".example.com"));
    EXPECT_TRUE(TCookieChanges::Take(path).empty());
}

TEST(CookieChanges, AHostOnlyCookieStaysForItsHost)
{
    QNetworkCookie secure = Cookie("id", "1", "erp.example.com");
    secure.setSecure(true);
    secure.setPath(QStringLiteral("/app"));
    EXPECT_EQ(TCookieChanges::Origin(secure), QUrl(QStringLiteral("https://erp.example.com/app")));
    EXPECT_TRUE(TCookieChanges::ForOrigin(secure).domain().isEmpty()); // no domain attribute: host only
    const QNetworkCookie wide = Cookie("id", "1", ".example.com");
    EXPECT_EQ(TCookieChanges::Origin(wide), QUrl(QStringLiteral("http://example.com/")));
    EXPECT_EQ(TCookieChanges::ForOrigin(wide).domain(), QStringLiteral(".example.com"));
}

TEST(CookieChanges, DamagedLinesAreSkippedAndAPlantedFileIsReplaced)
{
    const auto parsed = TCookieChanges::Parse("garbage\n+ \n* a=b; domain=x\n- =; domain=x\n+ a=b\n"
                                              "+ a=b; domain=127.0.0.1; path=/\n");
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].Cookie.name(), "a");

    TScratchDir dir;
    const QString target = dir.File(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(target, dir.File(QStringLiteral("CookieChanges"))));
    TCookieChanges changes;
    changes.Added(Cookie("a", "b", "127.0.0.1"));
    ASSERT_TRUE(changes.Save(dir.File(QStringLiteral("CookieChanges"))));
    EXPECT_FALSE(QFile::exists(target)); // the link was replaced, not followed
    EXPECT_EQ(TCookieChanges::Take(dir.File(QStringLiteral("CookieChanges"))).size(), 1u);
}

} // namespace
