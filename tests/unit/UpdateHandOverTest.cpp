#include "core/Global.h"
#include "widgets/AppMessageBox.h"
#include "shell/Main.h"

#include "FormFixture.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class UpdateHandOver : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        // A stand-in updater that records its arguments and working folder.
        WriteBytes(FProgram.File(QStringLiteral("Update")),
                   "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$#\" \"$1\" > received.txt\n");
        QFile::setPermissions(FProgram.File(QStringLiteral("Update")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

TEST_F(UpdateHandOver, NoKeepsTheWindowAndYesStartsTheUpdaterAndCloses)
{
    QStringList asked;
    int answer = IDNO;
    SetMessageBoxHook([&](const QString&, const QString& text, int flags) {
        asked << text;
        EXPECT_EQ(flags, 0x24);
        return answer;
    });
    TFormMain form(FEngine);
    form.show();
    form.AskForUpdate(QStringLiteral("有新版本"));
    EXPECT_EQ(asked, QStringList{QStringLiteral("有新版本")});
    EXPECT_FALSE(form.FExitRequested);
    EXPECT_FALSE(form.FClosing);
    EXPECT_TRUE(form.isVisible());

    answer = IDYES;
    form.AskForUpdate(QStringLiteral("发现新版本，确定要更新吗？"));
    EXPECT_TRUE(form.FExitRequested);
    EXPECT_TRUE(form.FClosing);
    EXPECT_FALSE(form.FConfirmExit);
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_EQ(asked.size(), 2); // closed without the exit question
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(FProgram.File(QStringLiteral("received.txt"))); }));
    ASSERT_TRUE(WaitUntil([&] { return ReadBytes(FProgram.File(QStringLiteral("received.txt"))).count('\n') == 3; }));
    const QList<QByteArray> received = ReadBytes(FProgram.File(QStringLiteral("received.txt"))).split('\n');
    EXPECT_EQ(QDir(QString::fromUtf8(received[0])).canonicalPath(), QDir(FProgram.Path()).canonicalPath());
    EXPECT_EQ(received[1], "1"); // one word
    EXPECT_EQ(QByteArray::fromBase64(received[2]),
              QByteArray("{\"ExeName\":\"velmar_unit_tests\",\"FileName\":\"update.rar\"}"));
}

TEST_F(UpdateHandOver, YesWithoutAnUpdaterSaysSoAndStaysOpen)
{
    ASSERT_TRUE(QFile::remove(FProgram.File(QStringLiteral("Update"))));
    TMessageBoxRecorder boxes(IDYES);
    TFormMain form(FEngine);
    form.show();
    form.AskForUpdate(QStringLiteral("发现新版本，确定要更新吗？"));
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(boxes.Boxes[1].Text, QStringLiteral("无法启动更新程序。"));
    EXPECT_FALSE(form.FExitRequested);
    EXPECT_FALSE(form.FClosing);
    EXPECT_TRUE(form.FConfirmExit);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
}

} // namespace
