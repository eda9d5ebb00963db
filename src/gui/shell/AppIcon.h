#pragma once

#include <QIcon>

// The program's icon, drawn at the sizes the window frame and the tray ask for.
QIcon AppIcon();
