#include "ui/tree_sort.h"

#include "services/compare_text.h"
#include "services/text_format.h"

#include <string_view>
#include <vector>

namespace vellumark {

namespace {

struct SortKey {
    int kindRank = 1;   // 0 for directories, 1 for every other kind
    int category = 0;   // dates: 0 empty, 1 readable, 2 unreadable
    double number = 0;  // numbers and readable dates
    std::string_view text;
};

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

SortKey KeyOf(const EntryRecord& record, int key, SortRule rule)
{
    SortKey result;
    result.kindRank = TrimBlanks(record.Field(kFileType)) == kKindDirectory ? 0 : 1;
    const std::string_view field = record.Field(key);
    switch (rule) {
    case SortRule::Text:
        result.text = field;
        break;
    case SortRule::Number:
        result.number = ParseNumberText(field).value_or(0.0);
        break;
    case SortRule::Date:
        if (field.empty()) {
            result.category = 0;
        } else if (const auto time = ParseDateText(field)) {
            result.category = 1;
            result.number = *time;
        } else {
            result.category = 2;
        }
        break;
    case SortRule::None:
        break;
    }
    return result;
}

int CompareFields(const SortKey& a, const SortKey& b, SortRule rule)
{
    switch (rule) {
    case SortRule::Text:
        return CompareTextIgnoringAsciiCase(a.text, b.text);
    case SortRule::Date:
        if (a.category != b.category)
            return a.category < b.category ? -1 : 1;
        [[fallthrough]];
    case SortRule::Number:
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    case SortRule::None:
        break;
    }
    return 0;
}

}  // namespace

SortRule SortRuleOfKey(int key)
{
    switch (key) {
    case kFileSize:
    case kFileNameLength:
    case kPathNameLength:
    case kSizePercentage:
        return SortRule::Number;
    case kFileTime:
        return SortRule::Date;
    case kFileType:
        return SortRule::None;
    default:
        return SortRule::Text;
    }
}

void SortLevelBy(CatalogTree& tree, CatalogTreeNode* parent, int key, SortRule rule, bool ascending)
{
    const int count = tree.ChildCount(parent);
    if (key < 0 || key >= kColumnKeyCount || count < 2)
        return;
    // Keys are computed once, indexed by row: the merge sort leaves rows alone until it
    // renumbers at the end, and parsing a number once per entry instead of once per
    // comparison is what keeps a large level quick.
    std::vector<SortKey> keys;
    keys.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        keys.push_back(KeyOf(tree.Child(parent, row)->record, key, rule));
    tree.SortChildren(parent, [&](const CatalogTreeNode& a, const CatalogTreeNode& b) {
        const SortKey& left = keys[static_cast<std::size_t>(a.Row())];
        const SortKey& right = keys[static_cast<std::size_t>(b.Row())];
        if (left.kindRank != right.kindRank)
            return left.kindRank < right.kindRank;
        const int order = CompareFields(left, right, rule);
        return ascending ? order < 0 : order > 0;
    });
}

void SortTreeBy(CatalogTree& tree, int key, SortRule rule, bool ascending)
{
    if (key < 0 || key >= kColumnKeyCount)
        return;
    std::vector<CatalogTreeNode*> parents{nullptr};
    while (!parents.empty()) {
        CatalogTreeNode* parent = parents.back();
        parents.pop_back();
        SortLevelBy(tree, parent, key, rule, ascending);
        const int count = tree.ChildCount(parent);
        for (int row = 0; row < count; ++row) {
            CatalogTreeNode* child = tree.Child(parent, row);
            if (child->HasChildren())
                parents.push_back(child);
        }
    }
}

}  // namespace vellumark
