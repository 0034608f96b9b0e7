#pragma once

#include "core/catalog_tree.h"

#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::testing {

inline CatalogTreeNode* AddEntry(CatalogTree& tree, CatalogTreeNode* parent, std::string_view kind,
                                 const std::string& name, const std::string& size, const std::string& ext = {})
{
    CatalogTreeNode* node = tree.Append(parent);
    node->record.SetField(kFileName, name);
    node->record.SetField(kFullPath, name);
    node->record.SetField(kFileSize, size);
    node->record.SetField(kFileType, kind);
    node->record.SetField(kFileExt, ext);
    return node;
}

inline CatalogTreeNode* AddFolder(CatalogTree& tree, CatalogTreeNode* parent, const std::string& name,
                                  const std::string& size)
{
    return AddEntry(tree, parent, kKindDirectory, name, size);
}

inline CatalogTreeNode* AddFile(CatalogTree& tree, CatalogTreeNode* parent, const std::string& name,
                                const std::string& size, const std::string& ext = "bin")
{
    return AddEntry(tree, parent, kKindFile, name + "." + ext, size, ext);
}

// A disc of random folders and files whose sizes spread over six orders of magnitude, as real
// discs do; each folder's size is the sum of what it holds. About `files` files in all.
inline CatalogTree RandomDisc(unsigned seed, int files)
{
    static const char* const kExtensions[] = {"mp3", "mkv", "jpg", "pdf", "zip", "dat"};
    std::mt19937 generator(seed);
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "0");
    std::vector<CatalogTreeNode*> folders{disc};
    for (int i = 0; i < files; ++i) {
        CatalogTreeNode* parent = folders[generator() % folders.size()];
        if (generator() % 8 == 0 && parent->Level() < 6) {
            folders.push_back(AddFolder(tree, parent, "folder" + std::to_string(i), "0"));
            continue;
        }
        const double size = std::pow(10.0, 1 + static_cast<double>(generator() % 6000) / 1000.0);
        AddFile(tree, parent, "file" + std::to_string(i), std::to_string(static_cast<long long>(size)),
                kExtensions[generator() % 6]);
    }
    // Roll the sizes up, deepest entries first.
    const std::vector<CatalogTreeNode*> order = tree.PreOrder();
    for (auto node = order.rbegin(); node != order.rend(); ++node) {
        if (!(*node)->record.IsDirectory())
            continue;
        long long total = 0;
        for (int row = 0; row < (*node)->ChildCount(); ++row)
            total += std::stoll(std::string((*node)->Child(row)->record.Field(kFileSize)));
        (*node)->record.SetField(kFileSize, std::to_string(total));
    }
    return tree;
}

}  // namespace vellumark::testing
