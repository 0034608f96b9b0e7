#include "export/export_formats.h"

#include "core/catalog_file.h"
#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/xml_export.h"
#include "services/atomic_file.h"

#include <optional>

namespace vellumark {

namespace {

// A tree writer given a catalog reads it into a tree first; the tree lives for the export only.
template <typename WriteTree>
Status WriteFromTree(const ExportJob& job, Progress& progress, WriteTree write)
{
    if (job.catalogPath.empty()) {
        const CatalogTree empty;
        return write(job.screen ? *job.screen : empty);
    }
    CatalogTree catalog;
    if (Status status = ReadCatalogFile(job.catalogPath, catalog, progress); !status)
        return status;
    return write(catalog);
}

ValueForm FormOf(const ExportJob& job) { return job.raw ? ValueForm::Raw : ValueForm::Readable; }

Status ExportHtml(const ExportJob& job, Progress& progress)
{
    return WriteFromTree(job, progress, [&](const CatalogTree& tree) {
        return WriteHtml(tree, job.columns, job.outputPath, progress, FormOf(job));
    });
}

Status ExportText(const ExportJob& job, Progress& progress)
{
    return WriteFromTree(job, progress, [&](const CatalogTree& tree) {
        return WriteText(tree, job.columns, job.outputPath, progress, FormOf(job));
    });
}

Status ExportCsv(const ExportJob& job, Progress& progress)
{
    const std::string_view separator = job.csvSeparator.empty() ? std::string_view(",") : job.csvSeparator;
    return WriteFromTree(job, progress, [&](const CatalogTree& tree) {
        return WriteCsv(tree, job.columns, separator, job.outputPath, progress, FormOf(job));
    });
}

Status ExportXml(const ExportJob& job, Progress& progress)
{
    if (!job.catalogPath.empty())
        return CopyCatalogFile(job.catalogPath, job.outputPath, progress);
    const CatalogTree empty;
    return WriteCatalogExport(job.screen ? *job.screen : empty, job.outputPath, progress);
}

Status ExportWorkbook(const ExportJob& job, Progress& progress)
{
    if (!job.catalogPath.empty())
        return WriteCatalogWorkbook(job.catalogPath, job.columns, job.outputPath, progress);
    const CatalogTree empty;
    return WriteWorkbook(job.screen ? *job.screen : empty, job.columns, job.outputPath, progress);
}

}  // namespace

const std::array<ExportFormat, 5>& ExportFormats()
{
    static const std::array<ExportFormat, 5> formats = {{
        {ExportFormatKind::Html, "html", ".htm", "HTML File|*.htm", ExportHtml},
        {ExportFormatKind::Text, "text", ".txt", "Text File|*.txt", ExportText},
        {ExportFormatKind::Csv, "csv", ".csv", "CSV File|*.csv", ExportCsv},
        {ExportFormatKind::Xml, "xml", kCatalogExtension, kCatalogFilter, ExportXml},
        {ExportFormatKind::Excel, "xlsx", ".xlsx", "EXCEL File|*.xlsx", ExportWorkbook},
    }};
    return formats;
}

const ExportFormat& ExportFormatOf(ExportFormatKind kind)
{
    for (const ExportFormat& format : ExportFormats())
        if (format.kind == kind)
            return format;
    return ExportFormats().front();
}

const ExportFormat* FindExportFormat(std::string_view name)
{
    for (const ExportFormat& format : ExportFormats())
        if (format.name == name)
            return &format;
    return nullptr;
}

Status RunExport(const ExportJob& job, Progress& progress)
{
    // The writers make their files themselves; the scope carries the decision down to them.
    std::optional<NoReplaceScope> keepExisting;
    if (!job.replaceExisting)
        keepExisting.emplace();
    return ExportFormatOf(job.format).write(job, progress);
}

}  // namespace vellumark
