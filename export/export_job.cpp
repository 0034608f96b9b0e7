#include "export/export_job.h"

#include "core/path_names.h"
#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/xml_export.h"

namespace vellumark {

namespace {

bool WritesFromTree(ExportFormatKind format)
{
    return format == ExportFormatKind::Html || format == ExportFormatKind::Text || format == ExportFormatKind::Csv;
}

Status WriteTree(TFileInfo& info, const ExportJob& job, const std::string& suggested, const CatalogTree& tree)
{
    switch (job.format) {
    case ExportFormatKind::Html:
        return ExportHtml(info, suggested, &tree);
    case ExportFormatKind::Text:
        return ExportText(info, suggested, kTextSeparator, &tree);
    default:
        return ExportCsv(info, suggested, job.csvSeparator.empty() ? "," : job.csvSeparator, &tree);
    }
}

}  // namespace

Status RunExportJob(TFileInfo& info, const ExportJob& job)
{
    const std::string suggested = job.catalogPath.empty() ? std::string() : CatalogNameOfFile(job.catalogPath);
    if (WritesFromTree(job.format)) {
        if (job.catalogPath.empty()) {
            const CatalogTree empty;
            return WriteTree(info, job, suggested, job.screen ? *job.screen : empty);
        }
        // The catalog read straight into a tree is the tree its document would give.
        CatalogTree catalog;
        if (Status status = info.LoadCatalog(job.catalogPath, catalog); !status)
            return status;
        return WriteTree(info, job, suggested, catalog);
    }
    if (job.catalogPath.empty()) {
        const CatalogTree empty;
        info.GatherFromTree(job.screen ? *job.screen : empty);
    } else if (Status status = info.LoadFile(job.catalogPath); !status) {
        return status;
    }
    return job.format == ExportFormatKind::Xml ? ExportXml(info, suggested) : ExportExcel(info, suggested);
}

}  // namespace vellumark
