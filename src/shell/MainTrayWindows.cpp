// The windows the tray menu opens.

#include "shell/Main.h"

void TFormMain::NAboutClick()
{
}

void TFormMain::NSettingClick()
{
}
