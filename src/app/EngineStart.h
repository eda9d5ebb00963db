#pragma once

#include "config/ConfigFile.h"
#include "engine/EngineSettings.h"

#include <QStringList>

// The engine configuration of every start, from the data folder and the
// user's security and network settings.
TEngineSettings BuildEngineSettings(const QString& appDir, bool runningAsRoot, const TSecurityOptions& security = {},
                                   const TNetworkOptions& network = {});

// The plug-in files handed to the engine: the bundled Flash plug-in path
// (whether the file exists or not), then the user's registered plug-ins.
QStringList BuildPluginPaths(const QString& appDir);

// The toolkit platform the program must run on, or empty to leave the choice
// to the toolkit. A second start reaches the running one by an X11 message,
// so on a Wayland desktop the program runs on X11 (XWayland) unless the user
// chose a platform ("QT_QPA_PLATFORM" or the "-platform" argument) or no X
// server is there ("DISPLAY" unset), where it must start all the same.
QByteArray ChosenPlatform(const QByteArray& qpaPlatform, const QByteArray& waylandDisplay, const QByteArray& display,
                          const QStringList& arguments);
