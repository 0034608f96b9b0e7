#include "ui/command_guard.h"

#include "services/messages.h"

#include <exception>

namespace vellumark {

namespace {

void ShowFailure(Prompts& prompts, const char* text) noexcept
{
    try {
        prompts.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
    } catch (...) {
        // Nothing is left to report with once the message box itself fails.
    }
}

}  // namespace

bool RunCommand(Prompts& prompts, const std::function<void()>& command) noexcept
{
    try {
        command();
        return true;
    } catch (const std::exception& failure) {
        ShowFailure(prompts, failure.what());
    } catch (...) {
        ShowFailure(prompts, messages::kUnknownFailure);
    }
    return false;
}

bool ReportStatus(Prompts& prompts, const Status& status)
{
    if (status.ok())
        return true;
    if (status.code() != Status::Code::Cancelled)
        prompts.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);
    return false;
}

}  // namespace vellumark
