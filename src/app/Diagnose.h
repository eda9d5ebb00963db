#pragma once

#include <QString>

// "--diagnose": what support asks when something fails on one desktop
// (versions, display and scale, input method, network settings, data
// folder), as text. Writes nothing and starts no engine.
QString DiagnosticReport(int argc, char* argv[]);
