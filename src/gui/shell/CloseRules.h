#pragma once

#include "widgets/ShutdownFlags.h"

#include <functional>

enum class TCloseDecision { Hide, Close, Refuse };

// What an attempt to close the main window does. askExit asks the exit
// question and gives true for Yes.
TCloseDecision DecideClose(TShutdownFlags& flags, const std::function<bool()>& askExit);
