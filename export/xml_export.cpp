#include "export/xml_export.h"

#include "core/catalog_file.h"
#include "export/export_target.h"
#include "services/messages.h"
#include "services/progress.h"

namespace vellumark {

Status ExportXml(TFileInfo& info, std::string_view suggestedName)
{
    const std::string path = AskExportFile(info, {kXmlExtension, kXmlFilter}, suggestedName);
    if (path.empty())
        return Status::Cancelled();
    WaitScope wait(info.GetProgress(), messages::kExportToFile);
    if (info.Document().IsActive())
        return info.SaveFile(path);
    XmlDocument empty;
    if (Status status = empty.SetContent(kNewCatalogDocument); !status)
        return status;
    return empty.SaveFile(path);
}

}  // namespace vellumark
