#pragma once

#include "services/prompts.h"
#include "services/status.h"

#include <functional>

namespace vellumark {

// Runs one command of the user's. Any exception it throws (a ConfigError included) is shown
// in a message box with the caption "Warning" and goes no further: Qt's slots and event
// handlers must never see one. Returns false when the command failed that way.
bool RunCommand(Prompts& prompts, const std::function<void()>& command) noexcept;

// Shows a failed outcome's message; a cancelled one stays silent. Returns status.ok().
bool ReportStatus(Prompts& prompts, const Status& status);

// A slot that runs the callable as one guarded command.
template <typename Callable>
auto Guarded(Prompts& prompts, Callable callable)
{
    return [&prompts, callable = std::move(callable)](auto&&...) { RunCommand(prompts, callable); };
}

}  // namespace vellumark
