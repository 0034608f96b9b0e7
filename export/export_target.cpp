#include "export/export_target.h"

#include "services/prompts.h"

namespace vellumark {

std::string AskExportFile(TFileInfo& info, const ExportFormat& format, std::string_view suggestedName)
{
    return AskSaveFile(info.GetPrompts(),
                       FileDialogRequest{format.defaultExtension, format.filter, std::string(suggestedName)});
}

const CatalogTree& TreeToWrite(TFileInfo& info, const CatalogTree* given, CatalogTree& scratch)
{
    if (given)
        return *given;
    info.LoadIntoTree(scratch);
    return scratch;
}

}  // namespace vellumark
