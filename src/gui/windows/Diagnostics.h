#pragma once

#include <QString>

// What support asks first when something fails on one desktop, as text:
// versions, system, data folder, settings and policy in force, log, input
// method, display and scale. engineVersion: the engine's own line.
// Reads gDataDir's config.ini; screens only when the toolkit runs.
QString DiagnosticReport(const QString& engineVersion);
