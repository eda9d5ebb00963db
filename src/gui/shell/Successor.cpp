#include "shell/Successor.h"

#include "platform/DetachedStart.h"

#include <cstdlib>
#include <optional>

namespace {

TStartHook& Hook()
{
    static TStartHook hook;
    return hook;
}

std::optional<TStartCommand>& Pending()
{
    static std::optional<TStartCommand> pending;
    return pending;
}

void StartPending()
{
    if (const auto& command = Pending())
        Platform::StartDetachedProcess(command->Program, command->Arguments, command->WorkingFolder);
}

} // namespace

void SetStartWhenEndedHook(TStartHook hook)
{
    Hook() = std::move(hook);
}

void StartWhenEnded(const TStartCommand& command)
{
    if (Hook()) {
        Hook()(command);
        return;
    }
    if (Pending())
        return;
    Pending() = command;
    // Runs after main has returned, that is after the engine's shutdown.
    std::atexit(StartPending);
}
