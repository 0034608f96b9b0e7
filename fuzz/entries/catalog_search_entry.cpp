#include "core/catalog_file.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"
#include "search/catalog_search.h"
#include "search/entry_match.h"
#include "services/progress.h"

namespace vellumark::fuzz {

namespace {

std::string UpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    return out;
}

// The matching rule written the plain way, as the reference the search must agree with.
bool Holds(std::string_view value, std::string_view pattern, const SearchRequest& request)
{
    const std::string v = request.caseSensitive ? std::string(value) : UpperAscii(value);
    const std::string p = request.caseSensitive ? std::string(pattern) : UpperAscii(pattern);
    return request.wholeValues ? v == p : v.find(p) != std::string::npos;
}

bool ReferenceMatch(const EntryRecord& record, const SearchRequest& request)
{
    // An attribute that is missing and one that is empty fail a pattern alike: no pattern
    // taking part is empty.
    const std::pair<int, const std::string*> conditions[] = {
        {kFileName, &request.namePattern},
        {kFileExt, &request.extensionPattern},
        {kDescription, &request.descriptionPattern},
    };
    for (const auto& [key, pattern] : conditions)
        if (!pattern->empty() && !Holds(record.Field(key), *pattern, request))
            return false;
    return true;
}

}  // namespace

std::string CatalogSearch(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    SearchRequest request;
    const std::uint8_t switches = input.Byte();
    request.caseSensitive = switches & 1;
    request.wholeValues = switches & 2;
    request.namePattern = input.Text();
    request.extensionPattern = input.Text();
    request.descriptionPattern = input.Text();
    const std::string path = ScratchFolder() + "/My.Disc.xml";
    PutFile(path, input.Rest());
    request.scopePath = path;
    request.scopeIsGroup = false;

    NullProgress progress;
    CatalogTree results;
    const SearchOutcome outcome = SearchCatalogs(request, progress, results);
    if (outcome.resultCount != results.NodeCount())
        return "the outcome counts " + std::to_string(outcome.resultCount) + " results, the list holds " +
               std::to_string(results.NodeCount());
    if (!outcome.status)
        return "a search that nobody cancelled ended with: " + outcome.status.message();

    CatalogTree catalog;
    const Status loaded = ReadCatalogFile(path, catalog, progress);
    if (!loaded) {
        // A file that is no catalog is skipped whole: no result of it may be shown.
        if (outcome.skipped.size() != 1 || results.NodeCount() != 0 || outcome.skipped[0].reason.empty())
            return "a file that does not load was not skipped whole";
        return {};
    }
    if (!outcome.skipped.empty())
        return "a catalog that loads was skipped: " + outcome.skipped[0].reason;

    std::vector<const EntryRecord*> expected;
    const SearchConditions conditions(request);
    bool matcherAgrees = true;
    catalog.ForEachPreOrder([&](CatalogTreeNode& node) {
        const bool matches = ReferenceMatch(node.record, request);
        if (matches)
            expected.push_back(&node.record);
        // Filtering an open catalog uses the same matcher over the records' values.
        matcherAgrees = matcherAgrees && EntryMatches(conditions, ValuesOfRecord(node.record)) == matches;
    });
    if (!matcherAgrees)
        return "the matcher over a loaded record disagrees with the reference";
    if (expected.size() != results.NodeCount())
        return "the search found " + std::to_string(results.NodeCount()) + " entries, the reference " +
               std::to_string(expected.size());
    for (int row = 0; row < results.TopLevelCount(); ++row) {
        const EntryRecord& found = results.TopLevel(row)->record;
        if (results.TopLevel(row)->HasChildren())
            return "a result has children";
        for (const int key : {kFileName, kFileSize, kFileExt, kDescription, kSizePercentage})
            if (found.Field(key) != expected[static_cast<std::size_t>(row)]->Field(key))
                return "result " + std::to_string(row) + " differs from the catalog in " +
                       std::string(kColumnKeys[key]);
        if (found.Field(kDiskName) != "My")
            return "a result is not marked with its catalog's name";
    }
    return {};
}

}  // namespace vellumark::fuzz
