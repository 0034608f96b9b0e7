#pragma once

#include "core/catalog_tree.h"
#include "services/status.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Catalogs are compared entry by entry through relative paths: the FileNames from the root's
// child down to the entry, joined by "/". They never come from FullPath, so catalogs written
// on Windows ("\" separators, "D:\" roots), renamed roots and names holding "\" all compare
// with each other. The root itself is never compared.

// The entry's relative path ("" for a top-level entry).
std::string RelativePathOf(const CatalogTreeNode& node);

// A catalog can be compared when it has at most one top-level entry (none: it compares as
// empty). Saved search results hold many and are refused as invalid input.
Status CheckComparable(const CatalogTree& tree, std::string_view catalogName);

// Calls the visitor for every entry below the two roots, in pre-order of their union: siblings
// in byte order of FileName, each entry before the entries below it. Entries that share a
// relative path are paired in pre-order (the first of the old catalog with the first of the new
// one, and so on); the surplus of either side comes with nullptr on the other. The path is
// valid during the call only.
using EntryPairVisitor =
    std::function<void(const CatalogTreeNode* oldEntry, const CatalogTreeNode* newEntry, std::string_view relativePath)>;
void ForEachEntryPair(const CatalogTree& oldTree, const CatalogTree& newTree, const EntryPairVisitor& visit);

// Whether an entry found in both catalogs changed: its kind differs, or it is a file whose
// FileSize differs as a number or whose FileTimes lie more than 2 s apart (a time either side
// cannot read compares as text). Folders never change by their rolled-up size or their time.
bool EntryChanged(const EntryRecord& oldRecord, const EntryRecord& newRecord, bool ignoreTime);

enum class EntryChange { Added, Removed, Changed };

struct EntryDifference {
    EntryChange change;
    std::string relativePath;
    const CatalogTreeNode* oldEntry;  // nullptr for an added entry
    const CatalogTreeNode* newEntry;  // nullptr for a removed entry
};

struct CompareCounts {
    std::size_t added = 0;
    std::size_t removed = 0;
    std::size_t changed = 0;
};

// The differences in the order ForEachEntryPair visits them: an added or removed folder is
// followed by every entry below it, an entry whose kind changed by the differences below it.
std::vector<EntryDifference> CompareCatalogs(const CatalogTree& oldTree, const CatalogTree& newTree, bool ignoreTime);
CompareCounts CountDifferences(const std::vector<EntryDifference>& differences);

// "+", "-" or "~".
char ChangeMark(EntryChange change);

}  // namespace vellumark
