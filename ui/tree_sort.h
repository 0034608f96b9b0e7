#pragma once

#include "core/catalog_tree.h"

namespace vellumark {

// How the fields of a sort column are ordered.
enum class SortRule {
    Text,    // letters A to Z equal to a to z, other bytes by code
    Number,  // decimal texts; a text that is no number counts as 0
    Date,    // date-time texts; empty first, unreadable last
    None,    // no order: entries keep their places
};

// The rule the file list uses for a column key.
SortRule SortRuleOfKey(int key);

// Sorts every level of the tree by the field at the key: directories above every other kind in
// both directions, then the field by the rule. The order is a consistent one (a strict weak
// order on precomputed keys) and the sort is stable, so ties keep their current order and no
// field content can make the sort misbehave.
void SortTreeBy(CatalogTree& tree, int key, SortRule rule, bool ascending);

// The same order for the children of one parent (nullptr: the top level) alone: sorting every
// level this way gives the tree SortTreeBy gives.
void SortLevelBy(CatalogTree& tree, CatalogTreeNode* parent, int key, SortRule rule, bool ascending);

}  // namespace vellumark
