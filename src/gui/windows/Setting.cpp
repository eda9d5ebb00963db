#include "windows/Setting.h"

#include "core/Global.h"
#include "config/ConfigFile.h"
#include "widgets/AppMessageBox.h"
#include "util/AppError.h"
#include "util/RegistryHelpers.h"
#include "widgets/ScreenCenter.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

QCheckBox* NewCheckBox(QWidget* parent, const QString& text, int left)
{
    auto* box = new QCheckBox(text, parent);
    box->setGeometry(left, 24, 75, 17);
    return box;
}

QPushButton* NewButton(QWidget* parent, const QString& text, int left)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(left, 80, 75, 25);
    return button;
}

} // namespace

TFormSetting::TFormSetting(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("设置"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(288, 131);

    CheckBoxAutoStart = NewCheckBox(this, QStringLiteral("开机启动"), 25);
    CheckBoxSoundHint = NewCheckBox(this, QStringLiteral("声音提醒"), 106);
    CheckBoxPopupHint = NewCheckBox(this, QStringLiteral("气泡提醒"), 187);
    ButtonOK = NewButton(this, QStringLiteral("确定"), 66);
    ButtonCancel = NewButton(this, QStringLiteral("取消"), 147);

    // Enter presses OK from anywhere in the dialog; Esc rejects through QDialog.
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormSetting::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(ButtonOK, ButtonCancel);
    setTabOrder(ButtonCancel, CheckBoxAutoStart);
    setTabOrder(CheckBoxAutoStart, CheckBoxSoundHint);
    setTabOrder(CheckBoxSoundHint, CheckBoxPopupHint);
    ButtonOK->setFocus();

    CenterOnScreen(*this);
    FormCreate();
}

void TFormSetting::FormCreate()
{
    // The flags in memory, not the file: they are what the program runs with.
    CheckBoxAutoStart->setChecked(gAutoStart);
    CheckBoxSoundHint->setChecked(gSoundHint);
    CheckBoxPopupHint->setChecked(gPopupHint);
}

void TFormSetting::ButtonOKClick()
{
    gAutoStart = CheckBoxAutoStart->isChecked();
    gSoundHint = CheckBoxSoundHint->isChecked();
    gPopupHint = CheckBoxPopupHint->isChecked();
    try {
        TConfigFile().WriteOptions({gAutoStart, gSoundHint, gPopupHint});
    } catch (const EAppError& error) {
        AppMessageBox(error.Message(), MB_OK);
        return;
    }
    try {
        SetAutoStart(gAutoStart);
    } catch (const std::exception&) {
        // Mostly missing rights on the autostart list; the options are
        // stored all the same, so the dialog closes as usual.
    }
    accept();
}
