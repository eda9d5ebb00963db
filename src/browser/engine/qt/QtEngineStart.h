#pragma once

#include "engine/EngineSettings.h"

class QObject;
class TEnvironmentOverride;
class QWebEngineProfile;

// The engine's start options and its one named, persistent profile, shared by
// the client and by the bare view it is measured against, so both always
// start the engine the same way.

// Puts the engine's start options in place, through environment, which
// remembers the user's values to give back once the engine has read them.
// Must run before the application object exists.
void PrepareEngineProcess(const TEngineSettings& settings, TEnvironmentOverride& environment);

// The named profile with its storage in the settings' cache folder. Call
// before any page exists.
QWebEngineProfile* CreateEngineProfile(const TEngineSettings& settings, QObject* parent);
