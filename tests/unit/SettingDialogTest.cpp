#include "core/Global.h"
#include "config/ConfigFile.h"
#include "widgets/AppMessageBox.h"
#include "util/RegistryHelpers.h"
#include "windows/Setting.h"

#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct TFlags
{
    bool AutoStart;
    bool SoundHint;
    bool PopupHint;
    bool operator==(const TFlags&) const = default;
};

TFlags MemoryFlags()
{
    return {gAutoStart, gSoundHint, gPopupHint};
}

void SetMemoryFlags(const TFlags& flags)
{
    gAutoStart = flags.AutoStart;
    gSoundHint = flags.SoundHint;
    gPopupHint = flags.PopupHint;
}

TFlags BoxFlags(const TFormSetting& form)
{
    return {form.CheckBoxAutoStart->isChecked(), form.CheckBoxSoundHint->isChecked(),
            form.CheckBoxPopupHint->isChecked()};
}

void PressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class SettingDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        FSavedFlags = MemoryFlags();
        gAppDir = FProgram.Path();
        gDataDir = FProgram.Path();
        SetMessageBoxHook([this](const QString&, const QString& text, int) {
            FBoxes << text;
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
        SetMemoryFlags(FSavedFlags);
    }

    QString ConfigPath() const { return FProgram.File(QStringLiteral("config.ini")); }
    bool EntryExists() const { return QFile::exists(AutoStartEntryPath()); }
    TFlags FileFlags() const
    {
        const TConfigFile config(ConfigPath());
        return {config.ReadFlag(QStringLiteral("SYSTEM"), QStringLiteral("AUTOSTART")),
                config.ReadFlag(QStringLiteral("SYSTEM"), QStringLiteral("SOUNDHINT")),
                config.ReadFlag(QStringLiteral("SYSTEM"), QStringLiteral("POPUPHINT"))};
    }

    TScratchDir FProgram;
    TScratchDir FConfigHome;
    TEnvGuard FEnv{"XDG_CONFIG_HOME", FConfigHome.Path().chopped(1).toLocal8Bit()};
    QStringList FBoxes;
    TFlags FSavedFlags{};
};

TEST_F(SettingDialog, FormMatchesItsLayout)
{
    const TFormSetting form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("设置"));
    EXPECT_EQ(form.size(), QSize(288, 131));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed border

    struct TRow
    {
        const QAbstractButton* Control;
        QString Text;
        QRect Geometry;
    };
    const TRow rows[] = {
        {form.ButtonOK, QStringLiteral("确定"), {66, 80, 75, 25}},
        {form.ButtonCancel, QStringLiteral("取消"), {147, 80, 75, 25}},
        {form.CheckBoxAutoStart, QStringLiteral("开机启动"), {25, 24, 75, 17}},
        {form.CheckBoxSoundHint, QStringLiteral("声音提醒"), {106, 24, 75, 17}},
        {form.CheckBoxPopupHint, QStringLiteral("气泡提醒"), {187, 24, 75, 17}},
    };
    // The rows are in tab order.
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].Text.toStdString());
        EXPECT_EQ(rows[i].Control->text(), rows[i].Text);
        EXPECT_EQ(rows[i].Control->geometry(), rows[i].Geometry);
        const QWidget* next = rows[i].Control->nextInFocusChain();
        if (next == &form) // the form itself takes no focus
            next = next->nextInFocusChain();
        EXPECT_EQ(next, rows[(i + 1) % std::size(rows)].Control);
    }
    EXPECT_TRUE(form.ButtonOK->isDefault());
}

TEST_F(SettingDialog, BoxesMirrorTheFlagsInMemoryWhateverTheFileHolds)
{
    const TFlags cases[] = {{true, true, true}, {false, false, false}, {true, false, true}, {false, true, false}};
    for (const TFlags& flags : cases) {
        SetMemoryFlags(flags);
        WriteBytes(ConfigPath(), QStringLiteral("[SYSTEM]\nAUTOSTART=%1\nSOUNDHINT=%2\nPOPUPHINT=%3\n")
                                     .arg(!flags.AutoStart).arg(!flags.SoundHint).arg(!flags.PopupHint)
                                     .toUtf8());
        for (int opening = 0; opening < 2; ++opening) { // twice in a row, without OK
            TFormSetting form;
            EXPECT_EQ(BoxFlags(form), flags);
            form.reject();
        }
    }
}

TEST_F(SettingDialog, OkStoresTheBoxesRewritesEveryKeyAndSwitchesTheEntry)
{
    struct TCase
    {
        const char* Name;
        TFlags Before;
        bool EntryBefore;
        bool ClearAutoStart;
        TFlags After;
    };
    const TCase cases[] = {
        {"nothing changed, all on", {true, true, true}, false, false, {true, true, true}},
        {"nothing changed, all off", {false, false, false}, true, false, {false, false, false}},
        {"autostart cleared", {true, false, true}, true, true, {false, false, true}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SetMemoryFlags(c.Before);
        // The file holds something else entirely: OK writes what the boxes show.
        WriteBytes(ConfigPath(), "[SYSTEM]\nPOPUPHINT=x\nSOUNDHINT=x\nAUTOSTART=x\n");
        QFile::remove(AutoStartEntryPath());
        if (c.EntryBefore)
            SetAutoStart(true);

        TFormSetting form;
        if (c.ClearAutoStart)
            form.CheckBoxAutoStart->setChecked(false);
        form.ButtonOK->click();

        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(MemoryFlags(), c.After);
        EXPECT_EQ(FileFlags(), c.After);
        EXPECT_EQ(EntryExists(), c.After.AutoStart);
        EXPECT_TRUE(FBoxes.isEmpty());
    }
}

TEST_F(SettingDialog, OkWritesTheKeysInOrder)
{
    TFormSetting form;
    form.ButtonOKClick();
    const QByteArray text = ReadBytes(ConfigPath());
    const qsizetype autoStart = text.indexOf("AUTOSTART=");
    const qsizetype soundHint = text.indexOf("SOUNDHINT=");
    const qsizetype popupHint = text.indexOf("POPUPHINT=");
    EXPECT_GE(autoStart, 0) << text.toStdString();
    EXPECT_LT(autoStart, soundHint);
    EXPECT_LT(soundHint, popupHint);
}

TEST_F(SettingDialog, EnterPressesOkAndCancelOrEscChangeNothing)
{
    struct TCase
    {
        const char* Name;
        std::function<void(TFormSetting&)> Close;
        QDialog::DialogCode Result;
    };
    const TCase cases[] = {
        {"Cancel", [](TFormSetting& form) { form.ButtonCancel->click(); }, QDialog::Rejected},
        {"Esc", [](TFormSetting& form) { PressKey(form.CheckBoxPopupHint, Qt::Key_Escape); }, QDialog::Rejected},
        {"Enter", [](TFormSetting& form) { PressKey(form.CheckBoxPopupHint, Qt::Key_Return); }, QDialog::Accepted},
    };
    const TFlags before{true, false, true};
    const QByteArray fileBefore = "[SYSTEM]\nAUTOSTART=0\nSOUNDHINT=1\n";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SetMemoryFlags(before);
        WriteBytes(ConfigPath(), fileBefore);
        QFile::remove(AutoStartEntryPath());

        TFormSetting form;
        form.show();
        form.CheckBoxAutoStart->setChecked(false);
        form.CheckBoxSoundHint->setChecked(true);
        c.Close(form);

        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.result(), c.Result);
        if (c.Result == QDialog::Rejected) {
            EXPECT_EQ(MemoryFlags(), before);
            EXPECT_EQ(ReadBytes(ConfigPath()), fileBefore);
            EXPECT_FALSE(EntryExists());
        } else {
            const TFlags chosen{false, true, true};
            EXPECT_EQ(MemoryFlags(), chosen);
            EXPECT_EQ(FileFlags(), chosen);
        }
    }
}

TEST_F(SettingDialog, FailedWriteIsReportedAndKeepsTheDialogOpen)
{
    SetMemoryFlags({false, true, true});
    ASSERT_TRUE(QDir().mkpath(ConfigPath())); // config.ini cannot be written

    TFormSetting form;
    form.show();
    form.CheckBoxAutoStart->setChecked(true);
    form.ButtonOK->click();

    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), 0);
    EXPECT_EQ(FBoxes, QStringList{QStringLiteral("Unable to write to ") + ConfigPath()});
    EXPECT_EQ(MemoryFlags(), (TFlags{true, true, true})); // already taken over
    EXPECT_FALSE(EntryExists());                          // the switch did not run
}

TEST_F(SettingDialog, AutoStartErrorsAreSwallowed)
{
    SetMemoryFlags({true, true, true});
    ASSERT_TRUE(QDir().mkpath(AutoStartEntryPath())); // the entry cannot be written

    TFormSetting form;
    form.ButtonOK->click();

    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(FBoxes.isEmpty());
    EXPECT_EQ(FileFlags(), (TFlags{true, true, true}));
}

} // namespace
