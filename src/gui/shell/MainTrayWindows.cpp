// The windows the tray menu opens: modal, made for each showing and destroyed
// afterwards; their entry stays disabled meanwhile, so only one can be open.

#include "shell/Main.h"
#include "windows/About.h"
#include "windows/Setting.h"

#include <QAction>

namespace {

// Modal to the main window only: the tray menu stays usable meanwhile (and
// shows the entry disabled), as it does beside a modal window on Windows.
void RunModal(QDialog& form)
{
    form.setWindowModality(Qt::WindowModal);
    form.exec();
}

} // namespace

void TFormMain::NAboutClick()
{
    NAbout->setEnabled(false);
    {
        TFormAbout form(FEngine, this);
        RunModal(form);
    }
    NAbout->setEnabled(true);
}

void TFormMain::NSettingClick()
{
    NSetting->setEnabled(false);
    {
        TFormSetting form(this);
        RunModal(form);
    }
    NSetting->setEnabled(true);
}
