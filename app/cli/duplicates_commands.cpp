#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "search/duplicates.h"
#include "search/index/library_index.h"

#include <limits>
#include <ostream>

namespace vellumark::cli {

namespace {

// Digits with an optional K, M, G or T (either case, powers of 1024); nothing else, and
// nothing above 2^64-1.
Status ParseByteCount(const std::string& option, const std::string& text, std::uint64_t& bytes)
{
    const Status refused = Status::Invalid(option + " takes a number of bytes with an optional K, M, G or T, not \"" + text + "\"");
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || text.size() > digits + 1)
        return refused;
    unsigned shift = 0;
    if (digits < text.size()) {
        switch (text[digits]) {
        case 'K': case 'k': shift = 10; break;
        case 'M': case 'm': shift = 20; break;
        case 'G': case 'g': shift = 30; break;
        case 'T': case 't': shift = 40; break;
        default: return refused;
        }
    }
    constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (kMost - digit) / 10)
            return refused;
        value = value * 10 + digit;
    }
    if (value > (kMost >> shift))
        return refused;
    bytes = value << shift;
    return Status::Ok();
}

Status ParseDuplicateKey(const std::string& text, DuplicateKey& key)
{
    if (text == "name-size")
        key = DuplicateKey::NameAndSize;
    else if (text == "size")
        key = DuplicateKey::Size;
    else if (text == "name")
        key = DuplicateKey::Name;
    else
        return Status::Invalid("--by must be name-size, size or name, not \"" + text + "\"");
    return Status::Ok();
}

// The record table with the group's number and its count of copies in front of each record,
// written in large pieces (the name key can give a line for half of all files).
void WriteGroups(std::ostream& out, const std::vector<DuplicateGroup>& groups)
{
    out << "Group\tCopies\t";
    WriteRecordHeader(out);
    std::string lines;
    for (std::size_t group = 0; group < groups.size(); ++group) {
        const std::string prefix = std::to_string(group + 1) + '\t' + std::to_string(groups[group].copies.size()) + '\t';
        for (const DuplicateCopy& copy : groups[group].copies) {
            lines += prefix;
            AppendRecord(lines, copy.record);
            if (lines.size() >= (1 << 16)) {
                out << lines;
                lines.clear();
            }
        }
    }
    out << lines;
}

}  // namespace

int RunDuplicates(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    DuplicatesRequest request;
    if (Status status = ResolveScope(context, context.libraryRoot, request.scopePath, request.scopeIsGroup); !status)
        return Report(context, status);
    if (Status status = ParseDuplicateKey(arguments.Value("--by", "name-size"), request.key); !status)
        return Report(context, status);
    if (arguments.Has("--min-size")) {
        if (Status status = ParseByteCount("--min-size", arguments.Value("--min-size"), request.minSize); !status)
            return Report(context, status);
    }
    request.useIndex = !arguments.Has("--no-index");
    request.libraryRoot = context.libraryRoot;
    request.indexCacheFolder = DefaultIndexCacheFolder();

    const DuplicatesOutcome outcome = FindDuplicates(request, context.progress);
    for (const SkippedFile& skipped : outcome.skipped)
        context.err << "vellumark-cli: skipped " << skipped.path << ": " << skipped.reason << '\n';
    if (!outcome.skipped.empty())
        context.err << "vellumark-cli: " << outcome.skipped.size() << " file(s) in the scope are no readable catalog\n";
    if (!outcome.status)
        return Report(context, outcome.status);
    WriteGroups(context.out, outcome.groups);
    return 0;
}

}  // namespace vellumark::cli
