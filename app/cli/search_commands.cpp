#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "config/config.h"
#include "core/column_keys.h"
#include "export/export_formats.h"
#include "search/catalog_search.h"
#include "search/search_request.h"
#include "system/file_status.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

namespace vellumark::cli {

namespace {

// "html, text, csv, xml, xlsx": the names --format takes.
std::string FormatNames()
{
    std::string names;
    for (const ExportFormat& format : ExportFormats())
        names += (names.empty() ? "" : ", ") + std::string(format.name);
    return names;
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

Status OutputTaken(const ExportJob& job)
{
    return Status::Exists("The file " + job.outputPath + " exists; give --force to replace it");
}

// The options every export shares: a known format, an output file that may be replaced only
// with --force.
Status PrepareExport(CommandContext& context, ExportJob& job)
{
    const Arguments& arguments = context.arguments;
    const ExportFormat* format = FindExportFormat(arguments.Value("--format"));
    if (!format)
        return Status::Invalid("--format must be one of " + FormatNames());
    if (!arguments.Has("--out"))
        return Status::Invalid("--format needs --out FILE");
    job.format = format->kind;
    job.raw = arguments.Has("--raw");
    job.outputPath = std::filesystem::absolute(arguments.Value("--out")).lexically_normal().string();
    job.replaceExisting = arguments.Has("--force");
    // Looked at first so that no work is wasted; the rename at the end decides.
    if (ExistsWithoutFollowing(job.outputPath) && !job.replaceExisting)
        return OutputTaken(job);
    return Status::Ok();
}

// Runs the export; a file that appeared at the output path meanwhile is kept, as one found before.
Status WriteExport(const ExportJob& job, Progress& progress)
{
    const LibraryStderrSilenced quiet;
    const Status status = RunExport(job, progress);
    return status.code() == Status::Code::Exists ? OutputTaken(job) : status;
}

class RecordLineFormat final : public ResultLineFormat {
public:
    void Append(std::string& lines, const EntryRecord::Fields& fields) const override { AppendRecordLine(lines, fields); }
};

// Writes the record table as the results come, in large blocks. The search threads write the
// lines; this only passes them on.
class RecordTableSink final : public SearchSink {
public:
    explicit RecordTableSink(std::ostream& out) : out_(out) {}
    ~RecordTableSink() override { Flush(); }

    void Add(std::vector<EntryRecord>&& batch) override
    {
        for (const EntryRecord& record : batch) {
            AppendRecord(text_, record);
            if (text_.size() >= kBlockBytes)
                Flush();
        }
        batch.clear();
    }
    const ResultLineFormat* LineFormat() const override { return &format_; }
    void AddLines(std::string_view lines, std::size_t) override
    {
        // Small catalogs' lines are gathered into one write; a large one goes out as it is.
        if (text_.size() + lines.size() < kBlockBytes) {
            text_ += lines;
            return;
        }
        Flush();
        out_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    }

    void Flush()
    {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

private:
    static constexpr std::size_t kBlockBytes = 1 << 20;
    const RecordLineFormat format_;
    std::ostream& out_;
    std::string text_;
};

// Results that are only counted need no line.
class NoLineFormat final : public ResultLineFormat {
public:
    void Append(std::string&, const EntryRecord::Fields&) const override {}
};

class CountingSink final : public SearchSink {
public:
    void Add(std::vector<EntryRecord>&& batch) override { batch.clear(); }
    const ResultLineFormat* LineFormat() const override { return &format_; }

private:
    const NoLineFormat format_;
};

// The conditions beyond the patterns, as the options give them.
Status ReadBoundsAndKind(const Arguments& arguments, SearchRequest& request)
{
    const std::pair<const char*, std::optional<std::uint64_t>*> sizes[] = {{"--min-size", &request.minSize},
                                                                          {"--max-size", &request.maxSize}};
    for (const auto& [option, bound] : sizes) {
        if (!arguments.Has(option))
            continue;
        std::uint64_t bytes = 0;
        if (Status status = ParseSizeBound(arguments.Value(option), bytes); !status)
            return status;
        *bound = bytes;
    }
    const std::pair<const char*, std::optional<double>*> times[] = {{"--after", &request.timeFrom},
                                                                   {"--before", &request.timeBefore}};
    for (const auto& [option, bound] : times) {
        if (!arguments.Has(option))
            continue;
        double seconds = 0;
        if (Status status = ParseTimeBound(arguments.Value(option), seconds); !status)
            return status;
        *bound = seconds;
    }
    if (arguments.Has("--type")) {
        const std::string kind = arguments.Value("--type");
        if (kind == kKindFile)
            request.kind = EntryKind::File;
        else if (kind == kKindDirectory)
            request.kind = EntryKind::Directory;
        else
            return Status::Invalid("--type must be file or directory");
    }
    return Status::Ok();
}

}  // namespace

int RunSearch(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    SearchRequest request;
    if (Status status = ResolveItem(context, ".", request.libraryRoot); !status)
        return Report(context, status);
    if (Status status = ResolveScope(context, request.libraryRoot, request.scopePath, request.scopeIsGroup); !status)
        return Report(context, status);
    request.namePattern = arguments.Value("--name");
    request.extensionPattern = arguments.Value("--ext");
    request.descriptionPattern = arguments.Value("--desc");
    request.caseSensitive = arguments.Has("--case");
    request.wholeValues = arguments.Has("--whole");
    request.regularExpressions = arguments.Has("--regex");
    request.useIndex = !arguments.Has("--no-index");
    if (Status status = ReadBoundsAndKind(arguments, request); !status)
        return Report(context, status);
    if (Status status = CheckSearchCondition(request); !status)
        return Report(context, status);

    ExportJob job;
    const bool exporting = arguments.Has("--format") || arguments.Has("--out");
    const bool counting = arguments.Has("--count");
    if (counting && exporting)
        return Report(context, Status::Invalid("--count prints only the number of results: it takes no --format or --out"));
    if (exporting) {
        if (Status status = PrepareExport(context, job); !status)
            return Report(context, status);
    }

    const auto reportSkipped = [&context](const SearchOutcome& outcome) {
        for (const SkippedFile& skipped : outcome.skipped)
            context.err << "vellumark-cli: skipped " << skipped.path << ": " << skipped.reason << '\n';
        if (!outcome.skipped.empty())
            context.err << "vellumark-cli: " << outcome.skipped.size() << " file(s) in the scope are no readable catalog\n";
    };
    if (!exporting) {
        // The table goes out while the search runs: a large result never waits whole in memory.
        std::unique_ptr<SearchSink> sink;
        if (counting) {
            sink = std::make_unique<CountingSink>();
        } else {
            WriteRecordHeader(context.out);
            sink = std::make_unique<RecordTableSink>(context.out);
        }
        const SearchOutcome outcome = SearchCatalogs(request, context.progress, *sink);
        sink.reset();
        reportSkipped(outcome);
        if (!outcome.status)
            return Report(context, outcome.status);
        if (counting)
            context.out << outcome.resultCount << '\n';
        return 0;
    }

    CatalogTree results;
    const SearchOutcome outcome = SearchCatalogs(request, context.progress, results);
    reportSkipped(outcome);
    if (!outcome.status)
        return Report(context, outcome.status);
    job.screen = &results;
    job.columns = DefaultExportColumns();
    if (Status status = WriteExport(job, context.progress); !status)
        return Report(context, status);
    context.out << job.outputPath << '\n';
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
    ExportJob job;
    if (arguments.Has("--columns")) {
        if (Status status = ParseColumns(arguments.Value("--columns"), job.columns); !status)
            return Report(context, status);
    } else {
        job.columns = DefaultExportColumns();
    }
    if (Status status = PrepareExport(context, job); !status)
        return Report(context, status);

    job.catalogPath = catalog;
    job.csvSeparator = arguments.Value("--sep", ",");
    if (Status status = WriteExport(job, context.progress); !status)
        return Report(context, status);
    context.out << job.outputPath << '\n';
    return 0;
}

}  // namespace vellumark::cli
