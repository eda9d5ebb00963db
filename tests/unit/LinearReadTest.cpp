// Reading outside input costs time in proportion to its size. Each case is an
// input on which a reading that rescans the rest of the input for every
// member or line (as the readers once did) needs minutes of processor time;
// the bound is many times what a linear reading needs even in a sanitizer
// build, and the processor time of this thread is measured, so a busy
// machine does not count.

#include "config/IniText.h"
#include "service/VersionManifest.h"

#include <QByteArray>
#include <QString>

#include <ctime>
#include <functional>

#include <gtest/gtest.h>

namespace {

constexpr double kBoundSeconds = 20.0;

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double SecondsOf(const std::function<void()>& work)
{
    const double start = ThreadSeconds();
    work();
    return ThreadSeconds() - start;
}

// An object with count distinct members, then the given tail of members.
QByteArray ManyMembers(int count, const QByteArray& tail)
{
    QByteArray body = "{";
    body.reserve(count * 12 + tail.size() + 2);
    for (int i = 0; i < count; ++i)
        body += "\"m" + QByteArray::number(i) + "\":0,";
    body += tail + "}";
    return body;
}

TEST(LinearRead, ManifestWithHundredsOfThousandsOfMembers)
{
    // About 4 MB, the body limit: 359,000 members took 157 s when every new
    // member was compared with all before it.
    const QString wide = QString::fromUtf8(ManyMembers(359000, "\"Version\":\"1.0.0.3\",\"Info\":\"有新版本\""));
    std::optional<TVersionManifest> manifest;
    const double seconds = SecondsOf([&] { manifest = VersionManifest::Read(wide); });
    ASSERT_TRUE(manifest.has_value());
    EXPECT_EQ(manifest->FVersion, QStringLiteral("1.0.0.3"));
    EXPECT_EQ(manifest->FInfo, QStringLiteral("有新版本"));
    EXPECT_LT(seconds, kBoundSeconds);

    // The members inside Info are read (as its text), not skipped.
    const QByteArray inner = ManyMembers(300000, "\"last\":1");
    const QString nested = QStringLiteral("{\"Version\":\"1.0.0.3\",\"Info\":") + QString::fromLatin1(inner)
                           + QStringLiteral("}");
    const double nestedSeconds = SecondsOf([&] { manifest = VersionManifest::Read(nested); });
    ASSERT_TRUE(manifest.has_value());
    EXPECT_EQ(manifest->FInfo, QString::fromLatin1(inner));
    EXPECT_LT(nestedSeconds, kBoundSeconds);
}

TEST(LinearRead, IniTextWithMillionsOfLines)
{
    // "[" lines without "]": every section name used to be searched for up
    // to the end of the file.
    const QByteArray brackets = QByteArray("[open\n").repeated(1'500'000) + "[SYSTEM]\nHANDLE=42\n";
    // Lines without "=" in the section: so was every key.
    const QByteArray bare = "[SYSTEM]\n" + QByteArray("no equals sign\n").repeated(600'000) + "HANDLE=42\n";
    for (const QByteArray* text : {&brackets, &bare}) {
        std::optional<QByteArray> value;
        QByteArray written;
        const double seconds = SecondsOf([&] {
            value = IniText::FindValue(*text, "system", "handle");
            written = IniText::SetValue(*text, "SYSTEM", "HANDLE", "43");
        });
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, "42");
        EXPECT_EQ(IniText::FindValue(written, "SYSTEM", "HANDLE"), QByteArray("43"));
        EXPECT_LT(seconds, kBoundSeconds) << text->size() << " bytes";
    }
}

} // namespace
