#include "core/entry_edit.h"

#include <string>

namespace vellumark {

char PathSeparatorOf(std::string_view parentPath)
{
    if (parentPath.find('/') == std::string_view::npos && parentPath.find('\\') != std::string_view::npos)
        return '\\';
    return '/';
}

void RenamePaths(CatalogTreeNode& node, std::string_view newName)
{
    std::string parentPath;
    if (const CatalogTreeNode* parent = node.Parent()) {
        parentPath = parent->record.Field(kFullPath);
        if (!parentPath.empty() && parentPath.back() != '/' && parentPath.back() != '\\')
            parentPath += PathSeparatorOf(parentPath);
    }
    const std::size_t oldLength = parentPath.size() + node.record.Field(kFileName).size();
    const std::string newPath = parentPath + std::string(newName);

    node.record.SetField(kFullPath, newPath);
    node.record.SetField(kPathNameLength, std::to_string(newPath.size()));
    for (CatalogTreeNode* descendant : CatalogTree::Descendants(node)) {
        const std::string_view path = descendant->record.Field(kFullPath);
        const std::string moved = newPath + std::string(path.size() > oldLength ? path.substr(oldLength) : "");
        descendant->record.SetField(kFullPath, moved);
        descendant->record.SetField(kPathNameLength, std::to_string(moved.size()));
    }
}

void ApplyEntryEdit(CatalogTreeNode& node, int key, std::string_view text)
{
    const std::string value(text);
    if (key == kFileName)
        RenamePaths(node, value);
    node.record.SetField(key, value);
    node.record.SetField(kFileNameLength, std::to_string(node.record.Field(kFileName).size()));
}

}  // namespace vellumark
