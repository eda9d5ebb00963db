#pragma once

#include "engine/EngineSettings.h"

class QObject;
class QWebEngineProfile;

// The engine's start options and its one named, persistent profile, shared by
// the client and by the bare view it is measured against, so both always
// start the engine the same way.

// Puts the engine's start options in place. Must run before the application
// object exists, because the engine reads them once.
void PrepareEngineProcess(const TEngineSettings& settings);

// The named profile with its storage in the settings' cache folder. Call
// before any page exists.
QWebEngineProfile* CreateEngineProfile(const TEngineSettings& settings, QObject* parent);
