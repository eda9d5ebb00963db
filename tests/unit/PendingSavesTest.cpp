#include "engine/PendingSaves.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

QUrl Url(const char* text)
{
    return QUrl(QString::fromUtf8(text));
}

// Pending saves with a record of the answers their callbacks got.
class PendingSaves : public testing::Test
{
protected:
    void Add(const char* url, const char* path, qint64 now)
    {
        const QString name = QString::fromUtf8(path);
        FSaves.Add(Url(url), name, [this, name](bool ok) { FAnswers << name + (ok ? u'+' : u'-'); }, now);
    }
    QString TakePath(const char* url, qint64 now)
    {
        const auto save = FSaves.Take(Url(url), now);
        return save ? save->Path : QStringLiteral("<none>");
    }

    TPendingSaves FSaves;
    QStringList FAnswers;
};

TEST_F(PendingSaves, OnlyTheExactAddressTakesASave)
{
    Add("http://service/img/photo.png", "/home/u/photo.png", 0);
    // The page's own downloads meanwhile, and near misses, get no save.
    for (const char* other : {"http://service/files/report.csv", "http://service/img/photo.png?x=1",
                              "http://service/img/photo.PNG", "https://service/img/photo.png",
                              "http://service:81/img/photo.png", "http://other/img/photo.png", "http://service/img/",
                              "http://service/img/photo.png/", ""}) {
        EXPECT_EQ(TakePath(other, 10), QStringLiteral("<none>")) << other;
    }
    EXPECT_EQ(FSaves.Size(), 1u);
    // A fragment never reaches the server: the download comes without it.
    EXPECT_EQ(TakePath("http://service/img/photo.png#top", 10), QStringLiteral("/home/u/photo.png"));
    EXPECT_EQ(FSaves.Size(), 0u);
    EXPECT_EQ(TakePath("http://service/img/photo.png", 10), QStringLiteral("<none>"));
}

TEST_F(PendingSaves, SavesOfOneAddressAreTakenOldestFirstAndOthersStay)
{
    Add("http://service/a.png", "/1", 0);
    Add("http://service/b.png", "/2", 5);
    Add("http://service/a.png", "/3", 10);
    EXPECT_EQ(TakePath("http://service/a.png", 20), QStringLiteral("/1"));
    EXPECT_EQ(TakePath("http://service/a.png", 20), QStringLiteral("/3"));
    EXPECT_EQ(TakePath("http://service/a.png", 20), QStringLiteral("<none>"));
    EXPECT_EQ(TakePath("http://service/b.png", 20), QStringLiteral("/2"));
    EXPECT_TRUE(FAnswers.isEmpty()); // taking a save answers nothing: its download does
}

TEST_F(PendingSaves, SavesExpireAndAreNotTakenAfterwards)
{
    const qint64 life = TPendingSaves::LifetimeMs;
    Add("http://service/a.png", "/first", 0);
    Add("http://service/a.png", "/second", 0);
    Add("http://service/a.png", "/third", 1000);
    // Just before its deadline a save is still taken; from it on, no more.
    EXPECT_EQ(TakePath("http://service/a.png", life - 1), QStringLiteral("/first"));
    EXPECT_EQ(TakePath("http://service/a.png", life), QStringLiteral("/third"));
    EXPECT_EQ(TakePath("http://service/a.png", life), QStringLiteral("<none>"));
    // The one out of time is still there, to be reported as failed.
    EXPECT_EQ(FSaves.Size(), 1u);
    EXPECT_TRUE(FSaves.TakeExpired(life - 1).empty());
    const auto expired = FSaves.TakeExpired(life);
    ASSERT_EQ(expired.size(), 1u);
    EXPECT_EQ(expired[0].Path, QStringLiteral("/second"));
    EXPECT_EQ(FSaves.Size(), 0u);
}

TEST_F(PendingSaves, ExpiredSavesComeOutOldestFirstWithTheirCallbacks)
{
    Add("http://service/1.png", "/1", 0);
    Add("http://service/2.png", "/2", 10);
    Add("http://service/3.png", "/3", 20000);
    const auto expired = FSaves.TakeExpired(TPendingSaves::LifetimeMs + 10);
    ASSERT_EQ(expired.size(), 2u);
    for (const auto& save : expired)
        save.Done(false);
    EXPECT_EQ(FAnswers, (QStringList{"/1-", "/2-"}));
    EXPECT_EQ(TakePath("http://service/3.png", TPendingSaves::LifetimeMs + 10), QStringLiteral("/3"));
}

} // namespace
