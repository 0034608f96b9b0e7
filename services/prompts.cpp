#include "services/prompts.h"

#include "services/messages.h"
#include "system/file_status.h"

namespace vellumark {

namespace {

bool Exists(const std::string& path) { return KindOfPath(path, FollowLinks::Yes).has_value(); }

}  // namespace

std::string AskOpenFile(Prompts& prompts, const FileDialogRequest& request)
{
    std::string path = prompts.ChooseOpenFile(request);
    if (path.empty())
        return {};
    if (!Exists(path)) {
        prompts.ShowMessage(messages::kWarningCaption, messages::kFileDoesNotExist, MessageIcon::Question);
        return {};
    }
    return path;
}

SaveTarget AskSaveFile(Prompts& prompts, const FileDialogRequest& request)
{
    SaveTarget target{prompts.ChooseSaveFile(request)};
    if (target.path.empty() || !Exists(target.path))
        return target;
    if (!prompts.AskYesNo(messages::kWarningCaption, messages::kOverwriteCatalog, MessageIcon::Question))
        return {};
    target.replaceAgreed = true;
    return target;
}

}  // namespace vellumark
