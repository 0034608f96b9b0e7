#pragma once

#include "services/progress.h"
#include "services/status.h"

#include <functional>
#include <string_view>

namespace vellumark {

class Prompts;
class TaskRunner;

// Writes a file the user named, on the runner's worker behind the wait window. `write` gets
// whether it may replace a file at the path. Unless the user agreed to replace one found there,
// the write keeps any file at the path when it puts its own in place (the final rename decides,
// so a file that appeared while the work ran is never lost): that Exists outcome asks the
// overwrite question, and Yes writes again, replacing it; No gives Cancelled.
Status WriteUserFile(TaskRunner& runner, Prompts& prompts, std::string_view message, bool replaceAgreed,
                     const std::function<Status(Progress& progress, bool replace)>& write);

}  // namespace vellumark
