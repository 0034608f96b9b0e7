#pragma once

#include "core/catalog_tree.h"
#include "core/file_info.h"
#include "services/status.h"

#include <string>

namespace vellumark {

enum class ExportFormatKind { Html, Text, Csv, Xml, Excel };

// One export as the export dialog starts it. With a catalog path the catalog is exported
// (whatever the source button says); with none, the list on screen.
struct ExportJob {
    ExportFormatKind format = ExportFormatKind::Html;
    std::string catalogPath;
    std::string csvSeparator;                // as typed; empty means ","
    const CatalogTree* screen = nullptr;     // the file list's tree
};

// Runs the writer of the job's format on the TFileInfo (its document and export columns),
// suggesting the catalog's name for the output file.
Status RunExportJob(TFileInfo& info, const ExportJob& job);

}  // namespace vellumark
