#include "services/prompts.h"

#include "services/messages.h"

#include <sys/stat.h>

namespace vellumark {

namespace {

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

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

std::string AskSaveFile(Prompts& prompts, const FileDialogRequest& request)
{
    std::string path = prompts.ChooseSaveFile(request);
    if (path.empty())
        return {};
    if (Exists(path)
        && !prompts.AskYesNo(messages::kWarningCaption, messages::kOverwriteCatalog, MessageIcon::Question))
        return {};
    return path;
}

}  // namespace vellumark
