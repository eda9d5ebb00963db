#include "page/SignIn.h"

#include "config/ConfigFile.h"
#include "MemorySecretStore.h"
#include "windows/SignInDialog.h"

#include "TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

class SignIn : public testing::Test
{
protected:
    QString Config() const { return FDir.File(QStringLiteral("config.ini")); }

    TScratchDir FDir;
    TMemorySecretStore FSecrets;
    QList<TSignInQuestion> FQuestions;
    QList<std::optional<TSignInAnswer>> FAnswers; // given in order, then "cancel"
    QStringList FTold;
    TSignIn FSignIn{FSecrets, Config(),
                    [this](const TSignInQuestion& question) {
                        FQuestions << question;
                        return FAnswers.isEmpty() ? std::nullopt : FAnswers.takeFirst();
                    },
                    [this](const QString& text) { FTold << text; }};
};

const TSignInRequest Site{QUrl(QStringLiteral("http://intranet.example:8080/reports/x?y=1")), QStringLiteral("Reports"),
                          false, QString()};
const TSignInRequest Proxy{QUrl(QStringLiteral("http://anything.example/")), QStringLiteral("Squid"), true,
                           QStringLiteral("proxy.corp")};

TEST_F(SignIn, TheBoxNamesWhoAsksAndAKeptPasswordIsUsedWithoutAsking)
{
    EXPECT_EQ(TSignIn::Key(Site), QStringLiteral("site:http://intranet.example:8080|Reports"));
    EXPECT_EQ(TSignIn::Key(Proxy), QStringLiteral("proxy:proxy.corp|Squid"));
    // A realm that could break the line stays one safe key.
    EXPECT_EQ(TSignIn::Key({Site.Url, QStringLiteral("a=b\n[x]"), false, {}}),
              QStringLiteral("site:http://intranet.example:8080|a%3Db%0A%5Bx%5D"));

    FAnswers << TSignInAnswer{{QStringLiteral("张三"), QStringLiteral("secret")}, true};
    const auto first = FSignIn.Answer(Site);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->User, QStringLiteral("张三"));
    ASSERT_EQ(FQuestions.size(), 1);
    EXPECT_EQ(FQuestions[0].Text, QStringLiteral("网站 intranet.example:8080 要求输入用户名和密码。"));
    EXPECT_EQ(FQuestions[0].Realm, QStringLiteral("Reports"));
    EXPECT_TRUE(FQuestions[0].Insecure); // plain http
    EXPECT_FALSE(FQuestions[0].Retry);
    // The password is in the store only; config.ini lists the name.
    EXPECT_FALSE(ReadBytes(Config()).contains("secret"));
    EXPECT_EQ(TConfigFile(Config()).ReadSavedSignIn(TSignIn::Key(Site)), QStringLiteral("张三"));

    // Another start (a fresh object): the kept answer, no box.
    TSignIn again(FSecrets, Config(), [](const TSignInQuestion&) -> std::optional<TSignInAnswer> {
        ADD_FAILURE() << "asked";
        return std::nullopt;
    }, [](const QString&) {});
    const auto kept = again.Answer(Site);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Password, QStringLiteral("secret"));

    ASSERT_EQ(again.Saved().size(), 1);
    EXPECT_EQ(again.Saved()[0].Site, QStringLiteral("intranet.example:8080"));
    EXPECT_EQ(again.Saved()[0].Realm, QStringLiteral("Reports"));
    again.Forget(again.Saved()[0].Key);
    EXPECT_TRUE(again.Saved().isEmpty());
    EXPECT_TRUE(FSecrets.Entries.isEmpty());
}

TEST_F(SignIn, RefusedAnswersAreAskedAgainAFewTimesThenGivenUp)
{
    // A kept password the proxy refuses is forgotten and the user asked,
    // with the name filled in.
    FSecrets.Entries.insert(TSignIn::Key(Proxy), QStringLiteral("{\"user\":\"li\",\"password\":\"old\"}"));
    TConfigFile(Config()).WriteSavedSignIn(TSignIn::Key(Proxy), QStringLiteral("li"));
    ASSERT_EQ(FSignIn.Answer(Proxy)->Password, QStringLiteral("old"));
    EXPECT_TRUE(FQuestions.isEmpty());
    FAnswers << TSignInAnswer{{QStringLiteral("li"), QStringLiteral("wrong")}, false}
             << TSignInAnswer{{QStringLiteral("li"), QStringLiteral("wrong again")}, false};
    EXPECT_EQ(FSignIn.Answer(Proxy)->Password, QStringLiteral("wrong"));
    ASSERT_EQ(FQuestions.size(), 1);
    EXPECT_EQ(FQuestions[0].Text, QStringLiteral("代理服务器 proxy.corp 要求输入用户名和密码。"));
    EXPECT_EQ(FQuestions[0].User, QStringLiteral("li"));
    EXPECT_TRUE(FQuestions[0].Retry);
    EXPECT_FALSE(FQuestions[0].Insecure); // the proxy's own question
    EXPECT_FALSE(FSecrets.Entries.contains(TSignIn::Key(Proxy)));
    EXPECT_EQ(FSignIn.Answer(Proxy)->Password, QStringLiteral("wrong again"));

    // The third refusal: no more boxes, the user is told, nothing is sent.
    EXPECT_FALSE(FSignIn.Answer(Proxy));
    EXPECT_EQ(FQuestions.size(), 2);
    ASSERT_EQ(FTold.size(), 1);
    EXPECT_TRUE(FTold[0].contains(QStringLiteral("失败次数过多"))) << FTold[0].toStdString();

    // A later load starts over with a box; Cancel gives up at once.
    EXPECT_FALSE(FSignIn.Answer(Proxy));
    EXPECT_EQ(FQuestions.size(), 3);
    EXPECT_FALSE(FQuestions[2].Retry);
}

TEST_F(SignIn, WithoutASecretStoreTheSignInStillWorksAndTheUserIsTold)
{
    FSecrets.Available = false;
    FAnswers << TSignInAnswer{{QStringLiteral("wang"), QStringLiteral("pw")}, true};
    EXPECT_EQ(FSignIn.Answer({QUrl(QStringLiteral("https://secure.example/")), QString(), false, {}})->User,
              QStringLiteral("wang"));
    EXPECT_FALSE(FQuestions[0].Insecure);
    ASSERT_EQ(FTold.size(), 1);
    EXPECT_TRUE(FTold[0].contains(QStringLiteral("密钥环")));
    EXPECT_TRUE(FSignIn.Saved().isEmpty()); // nothing listed that is not kept
}

TEST(SignInDialog, ShowsTheRealmAsTextAndGivesTheAnswer)
{
    TSignInQuestion question;
    question.Text = QStringLiteral("网站 a.example 要求输入用户名和密码。");
    question.Realm = QStringLiteral("<b>Realm</b>");
    question.User = QStringLiteral("zhao");
    question.Retry = true;
    TFormSignIn form(question);
    EXPECT_EQ(form.LabelText->textFormat(), Qt::PlainText);
    EXPECT_TRUE(form.LabelText->text().contains(QStringLiteral("<b>Realm</b>")));
    EXPECT_TRUE(form.LabelText->text().contains(QStringLiteral("不正确")));
    EXPECT_EQ(form.EditPassword->echoMode(), QLineEdit::Password);
    form.EditPassword->setText(QStringLiteral("pw"));
    form.CheckBoxRemember->setChecked(true);
    const TSignInAnswer answer = form.Answer();
    EXPECT_EQ(answer.Credentials.User, QStringLiteral("zhao"));
    EXPECT_EQ(answer.Credentials.Password, QStringLiteral("pw"));
    EXPECT_TRUE(answer.Remember);
}

} // namespace
