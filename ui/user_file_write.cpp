#include "ui/user_file_write.h"

#include "services/atomic_file.h"
#include "services/messages.h"
#include "services/prompts.h"
#include "ui/task_runner.h"

#include <optional>

namespace vellumark {

Status WriteUserFile(TaskRunner& runner, Prompts& prompts, std::string_view message, bool replaceAgreed,
                     const std::function<Status(Progress& progress, bool replace)>& write)
{
    bool replace = replaceAgreed;
    for (;;) {
        const Status written = runner.Run(message, false, [&](Progress& progress) {
            // The scope belongs to the worker's thread, where the writers commit their files.
            std::optional<NoReplaceScope> keepExisting;
            if (!replace)
                keepExisting.emplace();
            return write(progress, replace);
        });
        if (written.code() != Status::Code::Exists || replace)
            return written;
        if (!prompts.AskYesNo(messages::kWarningCaption, messages::kOverwriteCatalog, MessageIcon::Warning))
            return Status::Cancelled();
        replace = true;
    }
}

}  // namespace vellumark
