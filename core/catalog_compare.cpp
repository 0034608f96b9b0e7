#include "core/catalog_compare.h"

#include "services/text_format.h"

#include <algorithm>
#include <cmath>

namespace vellumark {

namespace {

// Two FileTimes within this many seconds are the same time: FAT stamps count in steps of two
// seconds, and copies between file systems round either way.
constexpr double kTimeToleranceSeconds = 2.0;

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutLeadingZeros(std::string_view digits)
{
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    return digits;
}

// Sizes of any length compare exactly as digit strings; other number texts (catalogs written
// elsewhere) by value; anything else as text.
bool SameSize(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    if (AllDigits(a) && AllDigits(b))
        return WithoutLeadingZeros(a) == WithoutLeadingZeros(b);
    const auto left = ParseNumberText(a);
    const auto right = ParseNumberText(b);
    return left && right && *left == *right;
}

bool SameTime(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    const auto left = ParseDateText(a);
    const auto right = ParseDateText(b);
    return left && right && std::fabs(*left - *right) <= kTimeToleranceSeconds;
}

struct Sibling {
    std::string_view name;
    const CatalogTreeNode* node;
};

// One level of the union walk: the children of every old and every new entry that share the
// parent's relative path, each side sorted by FileName, and how far the walk has got.
struct Level {
    std::vector<Sibling> olds;
    std::vector<Sibling> news;
    std::size_t oldAt = 0;
    std::size_t newAt = 0;
    std::size_t pathLength = 0;
    int depth = 0;
};

void AddChildren(const CatalogTreeNode& parent, std::vector<Sibling>& siblings)
{
    for (int row = 0; row < parent.ChildCount(); ++row) {
        const CatalogTreeNode* child = parent.Child(row);
        siblings.push_back({child->record.Field(kFileName), child});
    }
}

void SortByName(std::vector<Sibling>& siblings)
{
    // string_view orders bytes as unsigned, which is the byte order of names. Stable, so entries
    // of one name keep their pre-order.
    const auto byName = [](const Sibling& a, const Sibling& b) { return a.name < b.name; };
    if (!std::is_sorted(siblings.begin(), siblings.end(), byName))
        std::stable_sort(siblings.begin(), siblings.end(), byName);
}

}  // namespace

std::string RelativePathOf(const CatalogTreeNode& node)
{
    std::vector<std::string_view> names;
    for (const CatalogTreeNode* current = &node; current->Parent(); current = current->Parent())
        names.push_back(current->record.Field(kFileName));
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (name != names.rbegin())
            path += '/';
        path += *name;
    }
    return path;
}

Status CheckComparable(const CatalogTree& tree, std::string_view catalogName)
{
    if (tree.TopLevelCount() > 1)
        return Status::Invalid(std::string(catalogName) + " holds " + std::to_string(tree.TopLevelCount())
                               + " top-level entries (saved search results?); only a catalog of one root can be compared");
    return Status::Ok();
}

void ForEachEntryPair(const CatalogTree& oldTree, const CatalogTree& newTree, const EntryPairVisitor& visit)
{
    std::vector<Level> stack(1);
    if (const CatalogTreeNode* root = oldTree.First())
        AddChildren(*root, stack[0].olds);
    if (const CatalogTreeNode* root = newTree.First())
        AddChildren(*root, stack[0].news);
    SortByName(stack[0].olds);
    SortByName(stack[0].news);

    std::string path;
    while (!stack.empty()) {
        Level& level = stack.back();
        const bool oldLeft = level.oldAt < level.olds.size();
        const bool newLeft = level.newAt < level.news.size();
        if (!oldLeft && !newLeft) {
            stack.pop_back();
            continue;
        }
        const std::string_view name = (oldLeft && (!newLeft || level.olds[level.oldAt].name <= level.news[level.newAt].name))
                                          ? level.olds[level.oldAt].name
                                          : level.news[level.newAt].name;
        std::size_t oldEnd = level.oldAt;
        while (oldEnd < level.olds.size() && level.olds[oldEnd].name == name)
            ++oldEnd;
        std::size_t newEnd = level.newAt;
        while (newEnd < level.news.size() && level.news[newEnd].name == name)
            ++newEnd;

        path.resize(level.pathLength);
        if (level.depth > 0)
            path += '/';
        path += name;
        const std::size_t oldCount = oldEnd - level.oldAt;
        const std::size_t newCount = newEnd - level.newAt;
        for (std::size_t i = 0; i < std::max(oldCount, newCount); ++i)
            visit(i < oldCount ? level.olds[level.oldAt + i].node : nullptr,
                  i < newCount ? level.news[level.newAt + i].node : nullptr, path);

        Level below;
        below.depth = level.depth + 1;
        below.pathLength = path.size();
        for (std::size_t i = level.oldAt; i < oldEnd; ++i)
            AddChildren(*level.olds[i].node, below.olds);
        for (std::size_t i = level.newAt; i < newEnd; ++i)
            AddChildren(*level.news[i].node, below.news);
        level.oldAt = oldEnd;
        level.newAt = newEnd;
        if (!below.olds.empty() || !below.news.empty()) {
            SortByName(below.olds);
            SortByName(below.news);
            stack.push_back(std::move(below));
        }
    }
}

bool EntryChanged(const EntryRecord& oldRecord, const EntryRecord& newRecord, bool ignoreTime)
{
    const std::string_view kind = oldRecord.Field(kFileType);
    if (kind != newRecord.Field(kFileType))
        return true;
    if (kind != kKindFile)
        return false;
    const EntryRecord::Fields before = oldRecord.AllFields();
    const EntryRecord::Fields after = newRecord.AllFields();
    if (!SameSize(before[kFileSize], after[kFileSize]))
        return true;
    return !ignoreTime && !SameTime(before[kFileTime], after[kFileTime]);
}

std::vector<EntryDifference> CompareCatalogs(const CatalogTree& oldTree, const CatalogTree& newTree, bool ignoreTime)
{
    std::vector<EntryDifference> differences;
    ForEachEntryPair(oldTree, newTree,
                     [&](const CatalogTreeNode* oldEntry, const CatalogTreeNode* newEntry, std::string_view path) {
                         if (oldEntry && newEntry && !EntryChanged(oldEntry->record, newEntry->record, ignoreTime))
                             return;
                         const EntryChange change =
                             !oldEntry ? EntryChange::Added : (!newEntry ? EntryChange::Removed : EntryChange::Changed);
                         differences.push_back({change, std::string(path), oldEntry, newEntry});
                     });
    return differences;
}

CompareCounts CountDifferences(const std::vector<EntryDifference>& differences)
{
    CompareCounts counts;
    for (const EntryDifference& difference : differences) {
        switch (difference.change) {
        case EntryChange::Added:
            ++counts.added;
            break;
        case EntryChange::Removed:
            ++counts.removed;
            break;
        case EntryChange::Changed:
            ++counts.changed;
            break;
        }
    }
    return counts;
}

char ChangeMark(EntryChange change)
{
    switch (change) {
    case EntryChange::Added:
        return '+';
    case EntryChange::Removed:
        return '-';
    case EntryChange::Changed:
        break;
    }
    return '~';
}

}  // namespace vellumark
