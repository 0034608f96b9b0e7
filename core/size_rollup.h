#pragma once

#include "core/catalog_tree.h"

namespace vellumark {

// Deletes every directory below which no file lies, the given entry included (pruning the
// root leaves the tree empty). Returns whether a file lies below the entry.
bool PruneFolders(CatalogTree& tree, CatalogTreeNode* entry);

// Sets FileSize of every directory below the entry to the sum of its children and returns the
// entry's own total (a floating sum, exact for any realistic byte count). The entry's own
// FileSize is left to the caller.
double RollUpSizes(CatalogTreeNode& directory);

// Root "100"; every other entry FileSize / root's FileSize x 100 as "0.00"; when the root's
// size is 0 the others stay empty. Large trees are split over the given number of threads.
void ComputePercentages(CatalogTree& tree, unsigned threads = 1);

}  // namespace vellumark
