#pragma once

#include <QString>

// Checks of setting values shared by config.ini and the administrator's policy.

// 64 hex digits, colons between pairs allowed, any case, as lower-case hex
// without colons; empty when not that.
QString NormalizedFingerprint(const QString& text);

// A value for an engine switch: one line, no spaces or quotes that could
// end it and start another switch.
bool IsSwitchValue(const QString& value);
