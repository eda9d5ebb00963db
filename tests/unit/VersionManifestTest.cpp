#include "core/Global.h"
#include "service/VersionManifest.h"
#include "util/AppError.h"
#include "util/HttpFetch.h"

#include "service/ServiceTasks.h"

#include "RawHttpServer.h"
#include "TestSupport.h"

#include <optional>

#include <gtest/gtest.h>

namespace {

using namespace VersionManifest;

QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct TReadCase
{
    const char* Name;
    QString Body;
    bool Rejected;
    QString Version;
    QString Info;
};

TEST(VersionManifest, ReadsVersionAndInfoAsText)
{
    const TReadCase cases[] = {
        {"current", Text(R"({"Version":"1.0.0.2","Info":""})"), false, Text("1.0.0.2"), QString()},
        {"padded", Text("{\"Version\":\"  1.0.0.2 \\t\\r\\n\"}"), false, Text("1.0.0.2"), QString()},
        {"newer with Info", Text(R"({"Version":"1.0.0.3","Info":"有新版本"})"), false, Text("1.0.0.3"), Text("有新版本")},
        {"older", Text(R"({"Version":"1.0.0.1"})"), false, Text("1.0.0.1"), QString()},
        {"blank Info", Text(R"({"Version":"1.0.0.3","Info":"   "})"), false, Text("1.0.0.3"), QString()},
        {"member in small letters", Text(R"({"version":"1.0.0.2","info":"x"})"), false, QString(), QString()},
        {"null Info", Text(R"({"Version":"1.0.0.3","Info":null})"), false, Text("1.0.0.3"), Text("null")},
        {"numbers", Text(R"({"Version":3,"Info":-1.5})"), false, Text("3"), Text("-1.5")},
        {"booleans", Text(R"({"Version":true,"Info":false})"), false, Text("true"), Text("false")},
        {"containers as compact text", Text("{\"Version\":[1, 2 ,\"a\"],\"Info\":{ \"b\" : 1, \"a\" : {} }}"), false,
         Text(R"([1,2,"a"])"), Text(R"({"b":1,"a":{}})")},
        {"last duplicate wins", Text(R"({"Version":"1.0.0.2","Version":"1.0.0.9"})"), false, Text("1.0.0.9"), QString()},
        {"duplicate replacing an object", Text(R"({"Info":{"x":1},"Info":"plain"})"), false, QString(), Text("plain")},
        {"other members ignored", Text(R"({"A":1,"Version":"1.0.0.2","B":[{}]})"), false, Text("1.0.0.2"), QString()},
        {"nested Version not read", Text(R"({"X":{"Version":"1.0.0.2"}})"), false, QString(), QString()},
        {"escapes decoded", Text(R"({"Version":"1.0.0.\u0032","Info":"a\"b\\c\/d"})"), false, Text("1.0.0.2"),
         Text("a\"b\\c/d")},
        {"control characters trimmed", Text(R"({"Version":"\u0000\u0001 1.0.0.2\u001f"})"), false, Text("1.0.0.2"), QString()},
        {"no-break space kept", Text(R"({"Version":"\u00a01.0.0.2"})"), false, QStringLiteral(u"\u00a01.0.0.2"), QString()},
        {"text after the first value ignored", Text(R"({"Version":"1.0.0.2"} trailing {"Version":"9"} {)"), false,
         Text("1.0.0.2"), QString()},
        {"leading spaces, tabs, line breaks, form feeds", Text(" \t\r\n\f{\"Version\":\"1.0.0.2\"}"), false,
         Text("1.0.0.2"), QString()},
        {"byte order mark skipped", QStringLiteral(u"\ufeff{\"Version\":\"1.0.0.2\"}"), false, Text("1.0.0.2"), QString()},
        {"empty body", QString(), false, QString(), QString()},
        {"only white space", Text(" \r\n\t"), false, QString(), QString()},
        {"HTML", Text("<!DOCTYPE html>\r\n<html><body>维护中</body></html>\r\n"), false, QString(), QString()},
        {"plain text", Text("Version 1.0.0.2"), false, QString(), QString()},
        {"array", Text(R"(["Version","1.0.0.2"])"), false, QString(), QString()},
        {"string", Text(R"("1.0.0.2")"), false, QString(), QString()},
        {"number", Text("1.0.0.2"), false, QString(), QString()},
        {"null", Text("null"), false, QString(), QString()},
        {"truncated object", Text(R"({"Version":"1.0.0.3")"), true, QString(), QString()},
        {"object without its brace", Text(R"({"Version":"1.0.0.3","Info":"x")"), true, QString(), QString()},
        {"truncated array", Text("[1,2"), true, QString(), QString()},
        {"unclosed string", Text("\"1.0.0.2"), true, QString(), QString()},
        {"object with a broken member", Text(R"({"Version":1.0.0.2})"), true, QString(), QString()},
        {"single quotes", Text("{'Version':'1.0.0.2'}"), true, QString(), QString()},
        {"a lone brace", Text("{"), true, QString(), QString()},
        {"number out of range", Text(R"({"Version":1e999})"), true, QString(), QString()},
    };
    for (const auto& c : cases) {
        const std::optional<TVersionManifest> manifest = Read(c.Body);
        ASSERT_EQ(!manifest, c.Rejected) << c.Name;
        if (!manifest)
            continue;
        EXPECT_EQ(manifest->FVersion, c.Version) << c.Name;
        EXPECT_EQ(manifest->FInfo, c.Info) << c.Name;
    }
}

TEST(VersionManifest, ABodyThatIsNoJsonIsOneTextValue)
{
    const struct
    {
        const char* Name;
        QString Body;
        QString Expected;
    } cases[] = {
        {"empty", QString(), QString()},
        {"trailing line ends and spaces removed", Text("  hello \r\n \n"), Text("hello")},
        {"tab at the end kept", Text("hello\t"), Text("hello\t")},
        {"escapes decoded", Text(R"(a\nb\t\"c\"\\\/ \u4e2d)"), Text("a\nb\t\"c\"\\/ 中")},
        {"escaped line feed at the end kept", Text(R"(end\n)"), Text("end\n")},
        {"unknown escape kept", Text(R"(a\qb\u12)"), Text(R"(a\qb\u12)")},
        {"lone backslash at the end", Text("a\\"), Text("a\\")},
        {"HTML", Text("<html>x</html>\r\n"), Text("<html>x</html>")},
        {"broken literal", Text("nothing here"), Text("nothing here")},
        {"sign alone", Text("- 1"), Text("- 1")},
    };
    for (const auto& c : cases) {
        const auto value = ReadValue(c.Body);
        ASSERT_TRUE(value.has_value()) << c.Name;
        ASSERT_TRUE(value->is_string()) << c.Name;
        EXPECT_EQ(QString::fromStdString(value->get<std::string>()), c.Expected) << c.Name;
        EXPECT_EQ(MemberText(*value, QStringLiteral("Version")), QString()) << c.Name;
    }
    // A scalar ends the value; what follows is ignored.
    EXPECT_EQ(ReadValue(Text("123abc")), nlohmann::ordered_json(123));
    EXPECT_EQ(ReadValue(Text("true story")), nlohmann::ordered_json(true));
}

TEST(VersionManifest, DeepNestingFailsWithAMessageInsteadOfCrashing)
{
    const auto nested = [](int depth, const char* open, const char* inner, const char* close) {
        return QString::fromUtf8(QByteArray(open).repeated(depth) + inner + QByteArray(close).repeated(depth));
    };
    EXPECT_TRUE(Read(nested(MaxDepth, "[", "1", "]")).has_value());
    const QString limitMessage = QStringLiteral("The manifest nests deeper than %1 levels").arg(MaxDepth);
    for (const QString& body : {nested(MaxDepth + 1, "[", "1", "]"), nested(100000, "[", "", "]"),
                                nested(100000, "{\"a\":", "1", "}"), nested(100000, "[", "", ""),
                                Text("{\"Version\":\"1\",\"Info\":") + nested(5000, "[", "", "]") + Text("}")}) {
        try {
            const auto manifest = Read(body);
            ADD_FAILURE() << "no failure for a body of " << body.size() << " characters";
        } catch (const EAppError& error) {
            EXPECT_EQ(error.Message(), limitMessage);
        }
    }
}

TEST(VersionManifest, OnlyTheExactClientVersionIsCurrent)
{
    EXPECT_EQ(QLatin1String(ClientVersion), QLatin1String("1.0.0.2"));
    const struct
    {
        QString Version;
        bool Current;
    } cases[] = {
        {Text("1.0.0.2"), true},   {Text("1.0.0.3"), false}, {Text("1.0.0.1"), false}, {Text("1.0.0.02"), false},
        {Text("1.0.0.2 "), false}, {Text("v1.0.0.2"), false}, {QString(), false},     {Text("1.0.0.2.0"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsClientVersion(c.Version), c.Current) << c.Version.toStdString();
}

TEST(VersionManifest, AsksWithInfoOrTheDefaultQuestion)
{
    EXPECT_EQ(DefaultQuestion(), QStringLiteral("发现新版本，确定要更新吗？"));
    const struct
    {
        const char* Name;
        TVersionManifest Manifest;
        std::optional<QString> Question;
    } cases[] = {
        {"current", {Text("1.0.0.2"), Text("ignored")}, std::nullopt},
        {"newer with Info", {Text("1.0.0.3"), Text("有新版本")}, Text("有新版本")},
        {"older", {Text("1.0.0.1"), QString()}, DefaultQuestion()},
        {"no version", {QString(), QString()}, DefaultQuestion()},
        {"blank Info", {Text("1.0.0.3"), Text("   ")}, DefaultQuestion()},
        {"Info null", {Text("1.0.0.3"), Text("null")}, Text("null")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpdateQuestion(c.Manifest), c.Question) << c.Name;
}

// What the version check does with one reply: the question it asks, or
// nothing, with the text it would write to the debug channel.
struct TCheckResult
{
    std::optional<QString> Question;
    QString Debug;
};

TCheckResult CheckReply(const QByteArray& reply)
{
    const TRawHttpServer server({reply});
    try {
        const std::optional<TVersionManifest> manifest = Read(FetchUrlText(server.Url(QStringLiteral("/ver/ver.html"))));
        if (!manifest)
            return {};
        return {UpdateQuestion(*manifest), QString()};
    } catch (const EAppError& error) {
        return {std::nullopt, error.Message()};
    }
}

TEST(VersionManifest, ServedManifestsLeadToTheRightQuestion)
{
    const QString ask = DefaultQuestion();
    const struct
    {
        const char* Name;
        QByteArray Reply;
        std::optional<QString> Question;
        QString Debug;
    } cases[] = {
        {"current", HttpOk(R"({"Version":"1.0.0.2","Info":"x"})"), std::nullopt, QString()},
        {"padded", HttpOk(R"({"Version":"  1.0.0.2  "})"), std::nullopt, QString()},
        {"newer with Info", HttpOk(R"({"Version":"1.0.0.3","Info":"有新版本"})"), Text("有新版本"), QString()},
        {"older", HttpOk(R"({"Version":"1.0.0.1"})"), ask, QString()},
        {"blank Info", HttpOk(R"({"Version":"1.0.0.3","Info":"   "})"), ask, QString()},
        {"member in small letters", HttpOk(R"({"version":"1.0.0.2"})"), ask, QString()},
        {"null Info", HttpOk(R"({"Version":"1.0.0.3","Info":null})"), Text("null"), QString()},
        {"numbers as members", HttpOk(R"({"Version":1.5,"Info":7})"), Text("7"), QString()},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n{\"Version\":\"1.0.\r\n5\r\n0.2\"}\r\n0\r\n\r\n",
         std::nullopt, QString()},
        {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", std::nullopt, Text("HTTP/1.1 404 Not Found")},
        {"redirect", "HTTP/1.1 302 Found\r\nLocation: /login\r\n\r\n", std::nullopt, Text("HTTP/1.1 302 Found")},
        {"empty body", HttpOk(""), ask, QString()},
        {"HTML", HttpOk("<html><head><title>503</title></head><body>busy</body></html>"), ask, QString()},
        {"non-object JSON", HttpOk(R"(["1.0.0.2"])"), ask, QString()},
        {"truncated JSON", HttpOk(R"({"Version":"1.0.0.3","Info":"x)"), std::nullopt, QString()},
        {"deeply nested JSON", HttpOk(QByteArray("[").repeated(200000)), std::nullopt,
         QStringLiteral("The manifest nests deeper than %1 levels").arg(MaxDepth)},
    };
    for (const auto& c : cases) {
        const TCheckResult result = CheckReply(c.Reply);
        EXPECT_EQ(result.Question, c.Question) << c.Name;
        EXPECT_EQ(result.Debug, c.Debug) << c.Name;
    }
}

TEST(VersionManifest, HandOverDocumentAndWord)
{
    const struct
    {
        QString ExeName;
        QString Document;
        QString Word;
    } cases[] = {
        {Text("Client.exe"), Text(R"({"ExeName":"Client.exe","FileName":"update.rar"})"),
         Text("eyJFeGVOYW1lIjoiQ2xpZW50LmV4ZSIsIkZpbGVOYW1lIjoidXBkYXRlLnJhciJ9")},
        {Text("Other.exe"), Text(R"({"ExeName":"Other.exe","FileName":"update.rar"})"),
         Text("eyJFeGVOYW1lIjoiT3RoZXIuZXhlIiwiRmlsZU5hbWUiOiJ1cGRhdGUucmFyIn0=")},
        {Text("客户端.exe"), Text(R"({"ExeName":"客户端.exe","FileName":"update.rar"})"),
         Text("eyJFeGVOYW1lIjoi5a6i5oi356uvLmV4ZSIsIkZpbGVOYW1lIjoidXBkYXRlLnJhciJ9")},
    };
    for (const auto& c : cases) {
        const QString document = HandOverDocument(c.ExeName);
        EXPECT_EQ(document, c.Document) << c.ExeName.toStdString();
        const QString word = HandOverText(document);
        EXPECT_EQ(word, c.Word) << c.ExeName.toStdString();
        EXPECT_FALSE(word.contains(u'\r') || word.contains(u'\n') || word.contains(u' '));
        EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(word.toLatin1())), document);
    }
}

TEST(VersionManifest, HandOverDocumentEscapesOnlyWhatJsonNeeds)
{
    const struct
    {
        QString ExeName;
        QString Document;
    } cases[] = {
        {Text(R"(a"b\c/d.exe)"), Text(R"({"ExeName":"a\"b\\c\/d.exe","FileName":"update.rar"})")},
        {Text("Velmar房产ERP"), Text(R"({"ExeName":"Velmar房产ERP","FileName":"update.rar"})")},
        {QStringLiteral(u"x\u0000y"), Text(R"({"ExeName":"x\u0000y","FileName":"update.rar"})")},
        {Text("a\nb\tc"), Text(R"({"ExeName":"a\u000ab\u0009c","FileName":"update.rar"})")},
        {Text("it's {}[]:,.exe"), Text(R"({"ExeName":"it's {}[]:,.exe","FileName":"update.rar"})")},
        {QString(), Text(R"({"ExeName":"","FileName":"update.rar"})")},
    };
    for (const auto& c : cases) {
        const QString document = HandOverDocument(c.ExeName);
        EXPECT_EQ(document, c.Document) << c.ExeName.toStdString();
        // It reads back as the name it was made from.
        const auto value = nlohmann::json::parse(document.toStdString());
        EXPECT_EQ(QString::fromStdString(value.at("ExeName").get<std::string>()), c.ExeName);
        EXPECT_EQ(value.at("FileName"), "update.rar");
    }
}

// Held back and never released, the check still asks once its hold limit
// has passed; a check whose task has gone never asks.
TEST(VersionCheckTask, AsksAfterTheHoldLimitAndNeverOnceGone)
{
    const TRawHttpServer server({HttpOk(R"({"Version":"9.9.9.9"})")});
    const TServiceHostOverride host(QStringLiteral("127.0.0.1:%1").arg(server.Port()));

    TVersionCheckTask held(nullptr, std::chrono::milliseconds(300));
    int offered = 0;
    QObject::connect(&held, &TVersionCheckTask::UpdateOffered, [&offered] { ++offered; });
    held.Start();
    ASSERT_TRUE(WaitUntil([&] { return offered == 1; }, 10000));
    EXPECT_EQ(server.Connections(), 1);

    auto* gone = new TVersionCheckTask(nullptr, std::chrono::milliseconds(300));
    gone->Start();
    delete gone;
    EXPECT_FALSE(WaitUntil([&] { return server.Connections() > 1; }, 1000));
}

} // namespace
