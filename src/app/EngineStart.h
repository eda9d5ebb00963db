#pragma once

#include "engine/EngineSettings.h"

#include <QStringList>

// The engine configuration of every start, from the program folder.
TEngineSettings BuildEngineSettings(const QString& appDir, bool runningAsRoot);

// The plug-in files handed to the engine: the bundled Flash plug-in path
// (whether the file exists or not), then the user's registered plug-ins.
QStringList BuildPluginPaths(const QString& appDir);
