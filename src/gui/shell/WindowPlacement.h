#pragma once

#include "config/ConfigFile.h"

#include <QMargins>
#include <QRect>
#include <QSize>

// The client rectangle that puts a window, with a frame of the given
// margins around it, at the saved outer rectangle. The client keeps at
// least the minimum size; the frame's top-left corner stays where it was saved.
QRect ClientRectInFrame(const TWindowPlacement& outer, const QMargins& frame, const QSize& minimum);
