#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "config/config.h"
#include "core/column_keys.h"
#include "core/file_info.h"
#include "export/export_job.h"
#include "search/catalog_search.h"
#include "search/search_request.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace vellumark::cli {

namespace {

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<ExportFormatKind> FormatNamed(const std::string& name)
{
    if (name == "html")
        return ExportFormatKind::Html;
    if (name == "text")
        return ExportFormatKind::Text;
    if (name == "csv")
        return ExportFormatKind::Csv;
    if (name == "xml")
        return ExportFormatKind::Xml;
    if (name == "xlsx")
        return ExportFormatKind::Excel;
    return std::nullopt;
}

// The configuration's columns ticked for export, in configuration order.
std::vector<std::string> DefaultExportColumns()
{
    std::vector<std::string> columns;
    const ColumnSettings settings = ConfigInstance().Root().Columns();
    for (std::size_t i = 0; i < settings.Count(); ++i)
        if (settings.Column(i).DefaultExport())
            columns.push_back(settings.Column(i).Name());
    return columns;
}

Status ParseColumns(const std::string& text, std::vector<std::string>& columns)
{
    std::size_t from = 0;
    while (from <= text.size()) {
        const auto comma = text.find(',', from);
        const std::string key = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (FindColumnKey(key) < 0)
            return Status::Invalid("Unknown column key \"" + key + "\"");
        columns.push_back(key);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    return Status::Ok();
}

// The options every export shares: a known format, an output file that may be replaced only
// with --force. Sets up the prompts to answer the save dialog with that file.
Status PrepareExport(CommandContext& context, ExportFormatKind& format, std::string& out)
{
    const Arguments& arguments = context.arguments;
    const auto named = FormatNamed(arguments.Value("--format"));
    if (!named)
        return Status::Invalid("--format must be one of html, text, csv, xml, xlsx");
    if (!arguments.Has("--out"))
        return Status::Invalid("--format needs --out FILE");
    format = *named;
    out = std::filesystem::absolute(arguments.Value("--out")).lexically_normal().string();
    if (Exists(out) && !arguments.Has("--force"))
        return Status::Exists("The file " + out + " exists; give --force to replace it");
    context.prompts.saveTarget = out;
    context.prompts.overwrite = true;
    return Status::Ok();
}

}  // namespace

int RunSearch(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    SearchRequest request;
    request.scopePath = context.libraryRoot;
    if (arguments.Has("--scope")) {
        if (Status status = ResolveItem(context, arguments.Value("--scope"), request.scopePath); !status)
            return Report(context, status);
    }
    struct stat scope {};
    if (::stat(request.scopePath.c_str(), &scope) != 0)
        return Report(context, Status::Invalid("No library item " + arguments.Value("--scope")));
    request.scopeIsGroup = S_ISDIR(scope.st_mode);
    request.namePattern = arguments.Value("--name");
    request.extensionPattern = arguments.Value("--ext");
    request.descriptionPattern = arguments.Value("--desc");
    request.caseSensitive = arguments.Has("--case");
    request.wholeValues = arguments.Has("--whole");
    if (Status status = CheckSearchCondition(request); !status)
        return Report(context, status);

    ExportFormatKind format = ExportFormatKind::Html;
    std::string out;
    const bool exporting = arguments.Has("--format") || arguments.Has("--out");
    if (exporting) {
        if (Status status = PrepareExport(context, format, out); !status)
            return Report(context, status);
    }

    CatalogTree results;
    const SearchOutcome outcome = SearchCatalogs(request, context.progress, results);
    for (const SkippedFile& skipped : outcome.skipped)
        context.err << "vellumark-cli: skipped " << skipped.path << ": " << skipped.reason << '\n';
    if (!outcome.skipped.empty())
        context.err << "vellumark-cli: " << outcome.skipped.size() << " file(s) in the scope are no readable catalog\n";
    if (!outcome.status)
        return Report(context, outcome.status);

    if (!exporting) {
        WriteRecordTable(context.out, results);
        return 0;
    }
    XmlDocument document;
    TFileInfo info(document, context.progress, context.prompts);
    info.ExportColumns() = DefaultExportColumns();
    if (Status status = RunExportJob(info, {format, "", ",", &results}); !status)
        return Report(context, status);
    context.out << out << '\n';
    return 0;
}

int RunExport(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    std::string catalog;
    if (Status status = ResolveCatalog(context, arguments.Positional()[0], catalog); !status)
        return Report(context, status);
    if (!arguments.Has("--format"))
        return Report(context, Status::Invalid("export needs --format and --out"));
    std::vector<std::string> columns;
    if (arguments.Has("--columns")) {
        if (Status status = ParseColumns(arguments.Value("--columns"), columns); !status)
            return Report(context, status);
    } else {
        columns = DefaultExportColumns();
    }
    ExportFormatKind format = ExportFormatKind::Html;
    std::string out;
    if (Status status = PrepareExport(context, format, out); !status)
        return Report(context, status);

    XmlDocument document;
    TFileInfo info(document, context.progress, context.prompts);
    info.ExportColumns() = columns;
    if (Status status = RunExportJob(info, {format, catalog, arguments.Value("--sep", ","), nullptr}); !status)
        return Report(context, status);
    context.out << out << '\n';
    return 0;
}

}  // namespace vellumark::cli
