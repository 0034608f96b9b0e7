#pragma once

#include "core/entry_record.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace vellumark {

class CatalogTree;

// One node of a CatalogTree: its record, its parent and its children. A node knows its row
// among its siblings, so item models can answer parent() without a search.
class CatalogTreeNode {
public:
    EntryRecord record;

    // The parent entry; nullptr for a top-level entry.
    CatalogTreeNode* Parent() const { return parent_ && parent_->parent_ ? parent_ : nullptr; }
    int Row() const { return row_; }
    int ChildCount() const { return static_cast<int>(children_.size()); }
    CatalogTreeNode* Child(int row) const { return children_[static_cast<std::size_t>(row)].get(); }
    bool HasChildren() const { return !children_.empty(); }
    int Level() const;

private:
    friend class CatalogTree;
    CatalogTreeNode* parent_ = nullptr;
    std::vector<std::unique_ptr<CatalogTreeNode>> children_;
    int row_ = 0;
};

// The tree every view and operation works on: the file list's catalog, a library tree, a
// search's flat result list. Walks are iterative, so any depth a file holds is safe.
class CatalogTree {
public:
    CatalogTree();
    ~CatalogTree();
    CatalogTree(CatalogTree&& other) noexcept;
    CatalogTree& operator=(CatalogTree&& other) noexcept;
    CatalogTree(const CatalogTree&) = delete;
    CatalogTree& operator=(const CatalogTree&) = delete;

    void Clear();
    bool Empty() const { return root_->children_.empty(); }
    int TopLevelCount() const { return root_->ChildCount(); }
    CatalogTreeNode* TopLevel(int row) const { return root_->Child(row); }
    CatalogTreeNode* First() const { return Empty() ? nullptr : TopLevel(0); }
    // Siblings of a node's level: the node's parent's children, or the top level.
    int ChildCount(const CatalogTreeNode* parent) const { return (parent ? parent : root_.get())->ChildCount(); }
    CatalogTreeNode* Child(const CatalogTreeNode* parent, int row) const
    {
        return (parent ? parent : root_.get())->Child(row);
    }
    std::size_t NodeCount() const { return nodeCount_; }

    // Appends a new entry under the parent (nullptr: at the top level).
    CatalogTreeNode* Append(CatalogTreeNode* parent);
    CatalogTreeNode* Append(CatalogTreeNode* parent, EntryRecord record);
    // Removes the node with everything below it; later siblings move up a row.
    void Remove(CatalogTreeNode* node);

    // Pre-order walk, each entry before its children, children in order.
    void ForEachPreOrder(const std::function<void(CatalogTreeNode&)>& visit) const;
    // Depth-first walk with a call on entering and on leaving each entry (writers nest by it).
    void Walk(const std::function<void(const CatalogTreeNode&)>& enter,
              const std::function<void(const CatalogTreeNode&)>& leave) const;
    // The nodes below the parent (nullptr: the whole tree), in pre-order.
    std::vector<CatalogTreeNode*> PreOrder(const CatalogTreeNode* parent = nullptr) const;
    // The entries below a node, in pre-order.
    static std::vector<CatalogTreeNode*> Descendants(const CatalogTreeNode& node);

    // Sorts every level stably by the comparison (true when a belongs before b).
    using Before = std::function<bool(const CatalogTreeNode&, const CatalogTreeNode&)>;
    void SortAll(const Before& before);
    void SortChildren(CatalogTreeNode* parent, const Before& before);

private:
    static void Renumber(CatalogTreeNode& parent, std::size_t from);
    static void DestroyChildren(CatalogTreeNode& node);
    std::size_t CountSubtree(const CatalogTreeNode& node) const;

    std::unique_ptr<CatalogTreeNode> root_;
    std::size_t nodeCount_ = 0;
};

}  // namespace vellumark
