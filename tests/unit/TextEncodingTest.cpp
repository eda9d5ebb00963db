#include "util/StringList.h"
#include "util/TextEncoding.h"

#include <gtest/gtest.h>

namespace {

struct TQueryCase
{
    const char* Name;
    QString Text;
    QByteArray Expected;
};

TEST(TextEncoding, EncodeQueryValueEscapesAllButItsAlphabet)
{
    const TQueryCase cases[] = {
        {"space", QStringLiteral("a b"), "a+b"},
        {"single space", QStringLiteral(" "), "+"},
        {"colon", QStringLiteral(":"), "%3A"},
        {"semicolon", QStringLiteral(";"), "%3B"},
        {"comma", QStringLiteral(","), "%2C"},
        {"tilde", QStringLiteral("~"), "%7E"},
        {"plus", QStringLiteral("+"), "%2B"},
        {"percent", QStringLiteral("%"), "%25"},
        {"Chinese character", QStringLiteral("中"), "%E4%B8%AD"},
        {"address", QStringLiteral("00:1A"), "00%3A1A"},
        {"two joined addresses", QStringLiteral("10.0.0.1, 10.0.0.2"), "10.0.0.1%2C+10.0.0.2"},
        {"unchanged", QStringLiteral("AZaz09-._@!$'()*"), "AZaz09-._@!$'()*"},
        {"query characters", QStringLiteral("/?&=#\""), "%2F%3F%26%3D%23%22"},
        {"control characters", QStringLiteral("\r\n\t"), "%0D%0A%09"},
        {"empty", QString(), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeQueryValue(Utf8Encode(c.Text)), c.Expected) << c.Name;
}

TEST(TextEncoding, EncodeQueryValueKeepsExactlySeventyTwoBytesAndStopsAtZero)
{
    int unchanged = 0;
    for (int byte = 1; byte < 256; ++byte) {
        const QByteArray in(1, static_cast<char>(byte));
        const QByteArray out = EncodeQueryValue(in);
        if (out == in) {
            ++unchanged;
        } else if (byte != ' ') {
            EXPECT_EQ(out, '%' + in.toHex().toUpper()) << byte;
        }
    }
    EXPECT_EQ(unchanged, 26 + 26 + 10 + 10);
    EXPECT_EQ(EncodeQueryValue(QByteArray("ab\0cd", 5)), "ab");
    EXPECT_EQ(EncodeQueryValue(QByteArray("\0x", 2)), "");
}

TEST(TextEncoding, Utf8EncodeHasNoByteOrderMark)
{
    EXPECT_EQ(Utf8Encode(QStringLiteral("PC01中")), QByteArray("PC01\xE4\xB8\xAD"));
    EXPECT_EQ(Utf8Encode(QString()), QByteArray());
}

struct TBase64Case
{
    const char* Name;
    QString Text;
    QString Expected;
};

TEST(TextEncoding, EncodeBase64TextBreaksAfterEverySeventySixCharacters)
{
    const QString line = QString(QStringLiteral("YWFh")).repeated(19) + QStringLiteral("\r\n");
    const TBase64Case cases[] = {
        {"empty", QString(), QString()},
        {"one byte", QStringLiteral("f"), QStringLiteral("Zg==")},
        {"two bytes", QStringLiteral("fo"), QStringLiteral("Zm8=")},
        {"three bytes", QStringLiteral("foo"), QStringLiteral("Zm9v")},
        {"57 bytes", QString(57, QLatin1Char('a')), line},
        {"58 bytes", QString(58, QLatin1Char('a')), line + QStringLiteral("YQ==")},
        {"114 bytes", QString(114, QLatin1Char('a')), line + line},
        {"511 bytes, across the 510-byte block",
         QString(511, QLatin1Char('a')),
         line.repeated(8) + QString(QStringLiteral("YWFh")).repeated(18) + QStringLiteral("YQ==\r\n")},
        // The system code page is UTF-8 here.
        {"Chinese character", QStringLiteral("中"), QStringLiteral("5Lit")},
        {"high bits", QStringLiteral("\u00FF\u00FE"), QStringLiteral("w7/Dvg==")}, // C3 BF C3 BE
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeBase64Text(c.Text), c.Expected) << c.Name;
}

struct TSplitCase
{
    const char* Name;
    QString Text;
    QString Delimiter;
    QStringList Expected;
};

TEST(TextEncoding, SplitToListFollowsTheLineRules)
{
    const QString crlf = QStringLiteral("\r\n");
    const TSplitCase cases[] = {
        {"leading break gives an empty first line", QStringLiteral("\r\nA\r\nB"), crlf, {"", "A", "B"}},
        {"final break adds no empty line", QStringLiteral("A\r\nB\r\n"), crlf, {"A", "B"}},
        {"lone LF and lone CR end lines", QStringLiteral("a\nb\rc"), crlf, {"a", "b", "c"}},
        {"empty lines inside kept", QStringLiteral("a\r\n\r\n\n\rb"), crlf, {"a", "", "", "", "b"}},
        {"CR CR LF", QStringLiteral("a\r\r\nb"), crlf, {"a", "", "b"}},
        {"only a break", QStringLiteral("\n"), crlf, {""}},
        {"empty text", QString(), crlf, {}},
        {"other delimiter", QStringLiteral("a;b;;c"), QStringLiteral(";"), {"a", "b", "", "c"}},
        {"delimiter matches case", QStringLiteral("aXbxc"), QStringLiteral("X"), {"a", "bxc"}},
        {"long delimiter", QStringLiteral("a, b, c"), QStringLiteral(", "), {"a", "b", "c"}},
        {"empty delimiter", QStringLiteral("ab\ncd"), QString(), {"ab", "cd"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitToList(c.Text, c.Delimiter).Lines(), c.Expected) << c.Name;
}

TEST(StringList, TextEndsEveryLineAndSetTextReplacesTheLines)
{
    TStringList list(QStringList{"a", "", "b"});
    EXPECT_EQ(list.Text(), QStringLiteral("a\r\n\r\nb\r\n"));
    EXPECT_EQ(TStringList().Text(), QString());

    list.SetText(QStringLiteral("x\ny"));
    EXPECT_EQ(list.Lines(), (QStringList{"x", "y"}));
    list.SetText(list.Text() + QStringLiteral("z"));
    EXPECT_EQ(list.Lines(), (QStringList{"x", "y", "z"}));
    list.SetText(QString());
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
