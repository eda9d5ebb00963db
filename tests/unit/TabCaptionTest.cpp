#include "tabs/TabCaption.h"

#include <QFont>

#include <gtest/gtest.h>

namespace {

QFontMetrics Metrics()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    return QFontMetrics(font);
}

bool Fits(const QFontMetrics& metrics, const QString& text, int limit)
{
    return metrics.horizontalAdvance(text) + 25 <= limit;
}

// The next whole character of text at position, one or two code units.
qsizetype CharacterLength(const QString& text, qsizetype position)
{
    return position + 1 < text.size() && text[position].isHighSurrogate() && text[position + 1].isLowSurrogate() ? 2 : 1;
}

TEST(TabCaption, ACharacterBeforeASurrogatePairCutIsKept)
{
    const QFontMetrics metrics = Metrics();
    const QString emoji = QStringLiteral("😀");
    const QString title = emoji + QStringLiteral("WWWWWWWWWW");
    // Room for the emoji and not for the W after it.
    const int limit = metrics.horizontalAdvance(emoji) + 25;
    ASSERT_FALSE(Fits(metrics, emoji + u'W', limit));
    EXPECT_EQ(ShortenTabCaption(title, metrics, limit), emoji);
    if (metrics.horizontalAdvance(emoji) <= 15) { // the case as reported: a 40-pixel limit
        EXPECT_EQ(ShortenTabCaption(title, metrics, 40), emoji);
    }
}

TEST(TabCaption, IsTheLongestWholeCharacterPrefixThatFits)
{
    const QFontMetrics metrics = Metrics();
    const QString titles[] = {
        QStringLiteral("😀WWWWWWWWWW"),
        QStringLiteral("a😀😀😀😀😀😀😀😀😀😀😀😀"),
        QStringLiteral("😀😀😀😀😀😀😀😀"),
        QStringLiteral("房产ERP 客户管理 - 合同列表😀x😀y"),
        QStringLiteral("  spaced title with words  "),
        QStringLiteral("W😀W😀W😀W😀W😀W😀W😀W😀W😀"),
        QStringLiteral("𠀀𠀁𠀂汉字𠀃"),
    };
    for (const QString& title : titles) {
        const QString text = title.trimmed();
        for (int limit = 0; limit <= 260; limit += 3) {
            const QString cut = ShortenTabCaption(title, metrics, limit);
            const std::string where = title.toStdString() + " at " + std::to_string(limit);
            ASSERT_TRUE(text.startsWith(cut)) << where;
            ASSERT_TRUE(cut.isEmpty() || Fits(metrics, cut, limit)) << where;
            ASSERT_FALSE(!cut.isEmpty() && cut.back().isHighSurrogate()) << where;
            if (cut.size() < text.size()) {
                const QString longer = text.left(cut.size() + CharacterLength(text, cut.size()));
                ASSERT_FALSE(Fits(metrics, longer, limit)) << where << ": " << longer.toStdString() << " fits";
            }
        }
    }
}

} // namespace
