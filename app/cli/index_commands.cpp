#include "app/cli/commands.h"
#include "search/index/library_index.h"
#include "search/index_update.h"

#include <ostream>

namespace vellumark::cli {

int RunIndex(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    if (arguments.Has("--status") && arguments.Has("--rebuild"))
        return Report(context, Status::Invalid("--status and --rebuild exclude each other"));
    std::string libraryRoot;
    if (Status status = ResolveItem(context, ".", libraryRoot); !status)
        return Report(context, status);
    const IndexAction action = arguments.Has("--status")    ? IndexAction::Status
                               : arguments.Has("--rebuild") ? IndexAction::Rebuild
                                                            : IndexAction::Update;
    IndexSummary summary = UpdateSearchIndex(libraryRoot, DefaultIndexCacheFolder(), action, context.progress);
    for (const SkippedFile& skipped : summary.skippedFiles)
        context.err << "vellumark-cli: skipped " << skipped.path << ": " << skipped.reason << '\n';
    if (!summary.status)
        return Report(context, summary.status);
    context.out << "catalogs " << summary.catalogs << ", entries " << summary.entries << ", read " << summary.read
                << ", skipped " << summary.skipped << ", bytes " << summary.bytes;
    if (action == IndexAction::Status)
        context.out << ", out of date " << summary.outOfDate;
    context.out << '\n';
    return 0;
}

}  // namespace vellumark::cli
