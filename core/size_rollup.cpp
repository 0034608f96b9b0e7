#include "core/size_rollup.h"

#include "services/text_format.h"

#include <charconv>
#include <thread>
#include <vector>

namespace vellumark {

namespace {

// Sizes are plain digits almost always; anything else goes through the general parser.
double SizeOf(const EntryRecord& record)
{
    const std::string_view text = record.Field(kFileSize);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && !text.empty())
        return static_cast<double>(value);
    return ParseNumberText(text).value_or(0.0);
}

}  // namespace

bool PruneFolders(CatalogTree& tree, CatalogTreeNode* entry)
{
    if (!entry)
        return false;
    // Post-order with an explicit stack: catalogs may nest deeper than the call stack allows.
    // Children are visited from the last to the first, so removing one never shifts a child
    // that is still to be examined.
    struct Frame {
        CatalogTreeNode* node;
        int next;
        bool hasFile;
    };
    std::vector<Frame> stack{{entry, entry->ChildCount() - 1, false}};
    bool result = false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < 0) {
            const Frame done = frame;
            stack.pop_back();
            if (!done.hasFile)
                tree.Remove(done.node);
            if (stack.empty())
                result = done.hasFile;
            else
                stack.back().hasFile = stack.back().hasFile || done.hasFile;
            continue;
        }
        CatalogTreeNode* child = frame.node->Child(frame.next--);
        if (child->record.IsFile())
            frame.hasFile = true;
        else if (child->record.IsDirectory())
            stack.push_back({child, child->ChildCount() - 1, false});
    }
    return result;
}

double RollUpSizes(CatalogTreeNode& directory)
{
    // Directories in pre-order; summed in reverse, so every child directory has its total
    // before its parent reads it.
    std::vector<CatalogTreeNode*> directories{&directory};
    for (std::size_t i = 0; i < directories.size(); ++i) {
        CatalogTreeNode* current = directories[i];
        for (int row = 0; row < current->ChildCount(); ++row)
            if (current->Child(row)->record.IsDirectory())
                directories.push_back(current->Child(row));
    }
    double total = 0;
    for (auto it = directories.rbegin(); it != directories.rend(); ++it) {
        CatalogTreeNode* current = *it;
        double sum = 0;
        for (int row = 0; row < current->ChildCount(); ++row)
            sum += SizeOf(current->Child(row)->record);
        if (current == &directory)
            total = sum;
        else
            current->record.SetField(kFileSize, FormatWholeNumber(sum));
    }
    return total;
}

void ComputePercentages(CatalogTree& tree, unsigned threads)
{
    CatalogTreeNode* root = tree.First();
    if (!root)
        return;
    root->record.SetField(kSizePercentage, "100");
    const double total = SizeOf(root->record);
    if (total == 0)
        return;
    std::vector<CatalogTreeNode*> nodes = tree.PreOrder();
    auto fill = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (nodes[i] != root)
                nodes[i]->record.SetField(kSizePercentage, FormatPercent(SizeOf(nodes[i]->record) / total * 100));
    };
    constexpr std::size_t kMinimumPerThread = 50000;
    const std::size_t parts = std::max<std::size_t>(1, std::min<std::size_t>(threads, nodes.size() / kMinimumPerThread));
    std::vector<std::jthread> helpers;
    const std::size_t step = nodes.size() / parts;
    for (std::size_t part = 1; part < parts; ++part)
        helpers.emplace_back(fill, part * step, part + 1 == parts ? nodes.size() : (part + 1) * step);
    fill(0, parts == 1 ? nodes.size() : step);
}

}  // namespace vellumark
