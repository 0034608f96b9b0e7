#include "core/entry_edit.h"

#include <string>
#include <vector>

namespace vellumark {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The separator between the parent's path and the entry's name: the one the entry's own path
// holds at that place, else the kind the parent's path is written with.
std::string SeparatorAfter(std::string_view parentPath, std::string_view ownPath)
{
    if (parentPath.empty() || IsSeparator(parentPath.back()))
        return {};
    if (ownPath.size() > parentPath.size() && ownPath.substr(0, parentPath.size()) == parentPath
        && IsSeparator(ownPath[parentPath.size()]))
        return std::string(1, ownPath[parentPath.size()]);
    const bool windowsStyle = parentPath.find('\\') != std::string_view::npos && parentPath.find('/') == std::string_view::npos;
    return windowsStyle ? "\\" : "/";
}

void SetPath(EntryRecord& record, std::string_view path)
{
    record.SetField(kFullPath, path);
    record.SetField(kPathNameLength, std::to_string(path.size()));
}

}  // namespace

void RenamePaths(CatalogTreeNode& node, std::string_view newName)
{
    std::string prefix;
    if (const CatalogTreeNode* parent = node.Parent()) {
        prefix = std::string(parent->record.Field(kFullPath));
        prefix += SeparatorAfter(prefix, node.record.Field(kFullPath));
    }
    const std::string oldPath = prefix + std::string(node.record.Field(kFileName));
    const std::string newPath = prefix + std::string(newName);
    SetPath(node.record, newPath);

    // Below the entry exactly one separator follows its name. A root path such as "/media/cd/"
    // or "D:\\" carries it at its end: it moves onto the new name ("cd/x", "Disc\\x"); a new
    // name that brings one of its own is not given a second.
    const bool oldEndsWithSeparator = !oldPath.empty() && IsSeparator(oldPath.back());
    const bool newEndsWithSeparator = !newPath.empty() && IsSeparator(newPath.back());
    const auto movedPath = [&](std::string_view rest) {
        if (oldEndsWithSeparator && !newEndsWithSeparator)
            return newPath + oldPath.back() + std::string(rest);
        if (!oldEndsWithSeparator && newEndsWithSeparator && !rest.empty() && IsSeparator(rest.front()))
            rest.remove_prefix(1);
        return newPath + std::string(rest);
    };

    // Iterative, so any depth is safe. An entry whose path does not start with the old one
    // (a hand-edited file) is left alone rather than cut at a wrong place.
    std::vector<CatalogTreeNode*> pending;
    for (int row = 0; row < node.ChildCount(); ++row)
        pending.push_back(node.Child(row));
    while (!pending.empty()) {
        CatalogTreeNode* current = pending.back();
        pending.pop_back();
        const std::string_view path = current->record.Field(kFullPath);
        if (path.substr(0, oldPath.size()) == oldPath)
            SetPath(current->record, movedPath(path.substr(oldPath.size())));
        for (int row = 0; row < current->ChildCount(); ++row)
            pending.push_back(current->Child(row));
    }
}

void ApplyEntryEdit(CatalogTreeNode& node, int key, std::string_view text)
{
    if (key < 0 || key >= kColumnKeyCount)
        return;
    // The text may live in the record that is about to change.
    const std::string value(text);
    if (key == kFileName)
        RenamePaths(node, value);
    node.record.SetField(key, value);
    node.record.SetField(kFileNameLength, std::to_string(node.record.Field(kFileName).size()));
}

}  // namespace vellumark
