#include "core/catalog_tree.h"

#include <algorithm>
#include <utility>

namespace vellumark {

int CatalogTreeNode::Level() const
{
    int level = 0;
    for (const CatalogTreeNode* node = Parent(); node; node = node->Parent())
        ++level;
    return level;
}

CatalogTree::CatalogTree() : root_(std::make_unique<CatalogTreeNode>()) {}

CatalogTree::~CatalogTree()
{
    if (root_)
        DestroyChildren(*root_);
}

CatalogTree::CatalogTree(CatalogTree&& other) noexcept
    : root_(std::exchange(other.root_, std::make_unique<CatalogTreeNode>())),
      nodeCount_(std::exchange(other.nodeCount_, 0))
{
}

CatalogTree& CatalogTree::operator=(CatalogTree&& other) noexcept
{
    if (this != &other) {
        Clear();
        std::swap(root_, other.root_);
        std::swap(nodeCount_, other.nodeCount_);
    }
    return *this;
}

void CatalogTree::DestroyChildren(CatalogTreeNode& node)
{
    // Detach children level by level so that no destructor recurses down a deep chain.
    std::vector<std::unique_ptr<CatalogTreeNode>> pending = std::move(node.children_);
    node.children_.clear();
    while (!pending.empty()) {
        std::unique_ptr<CatalogTreeNode> current = std::move(pending.back());
        pending.pop_back();
        for (auto& child : current->children_)
            pending.push_back(std::move(child));
        current->children_.clear();
    }
}

void CatalogTree::Clear()
{
    DestroyChildren(*root_);
    nodeCount_ = 0;
}

void CatalogTree::Renumber(CatalogTreeNode& parent, std::size_t from)
{
    for (std::size_t row = from; row < parent.children_.size(); ++row)
        parent.children_[row]->row_ = static_cast<int>(row);
}

CatalogTreeNode* CatalogTree::Append(CatalogTreeNode* parent)
{
    CatalogTreeNode& owner = parent ? *parent : *root_;
    auto node = std::make_unique<CatalogTreeNode>();
    node->parent_ = &owner;
    node->row_ = static_cast<int>(owner.children_.size());
    owner.children_.push_back(std::move(node));
    ++nodeCount_;
    return owner.children_.back().get();
}

CatalogTreeNode* CatalogTree::Append(CatalogTreeNode* parent, EntryRecord record)
{
    CatalogTreeNode* node = Append(parent);
    node->record = std::move(record);
    return node;
}

std::size_t CatalogTree::CountSubtree(const CatalogTreeNode& node) const
{
    std::size_t count = 0;
    std::vector<const CatalogTreeNode*> pending{&node};
    while (!pending.empty()) {
        const CatalogTreeNode* current = pending.back();
        pending.pop_back();
        ++count;
        for (const auto& child : current->children_)
            pending.push_back(child.get());
    }
    return count;
}

void CatalogTree::Remove(CatalogTreeNode* node)
{
    if (!node || !node->parent_)
        return;
    CatalogTreeNode& owner = *node->parent_;
    const auto row = static_cast<std::size_t>(node->row_);
    nodeCount_ -= CountSubtree(*node);
    std::unique_ptr<CatalogTreeNode> removed = std::move(owner.children_[row]);
    owner.children_.erase(owner.children_.begin() + static_cast<std::ptrdiff_t>(row));
    Renumber(owner, row);
    DestroyChildren(*removed);
}

void CatalogTree::ForEachPreOrder(const std::function<void(CatalogTreeNode&)>& visit) const
{
    std::vector<std::pair<CatalogTreeNode*, std::size_t>> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        if (next == parent->children_.size()) {
            stack.pop_back();
            continue;
        }
        CatalogTreeNode* child = parent->children_[next++].get();
        visit(*child);
        stack.emplace_back(child, 0);
    }
}

void CatalogTree::Walk(const std::function<void(const CatalogTreeNode&)>& enter,
                       const std::function<void(const CatalogTreeNode&)>& leave) const
{
    std::vector<std::pair<const CatalogTreeNode*, std::size_t>> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        if (next == parent->children_.size()) {
            const CatalogTreeNode* finished = parent;
            stack.pop_back();
            if (!stack.empty())
                leave(*finished);
            continue;
        }
        const CatalogTreeNode* child = parent->children_[next++].get();
        enter(*child);
        stack.emplace_back(child, 0);
    }
}

std::vector<CatalogTreeNode*> CatalogTree::PreOrder(const CatalogTreeNode* parent) const
{
    return Descendants(parent ? *parent : *root_);
}

std::vector<CatalogTreeNode*> CatalogTree::Descendants(const CatalogTreeNode& node)
{
    std::vector<CatalogTreeNode*> nodes;
    std::vector<std::pair<const CatalogTreeNode*, std::size_t>> stack{{&node, 0}};
    while (!stack.empty()) {
        auto& [current, next] = stack.back();
        if (next == current->children_.size()) {
            stack.pop_back();
            continue;
        }
        CatalogTreeNode* child = current->children_[next++].get();
        nodes.push_back(child);
        stack.emplace_back(child, 0);
    }
    return nodes;
}

void CatalogTree::SortChildren(CatalogTreeNode* parent, const Before& before)
{
    // A plain bottom-up merge sort: stable, and it never reads outside the range whatever
    // the comparison answers, so an inconsistent comparison can only give an odd order.
    CatalogTreeNode& owner = parent ? *parent : *root_;
    auto& items = owner.children_;
    const std::size_t count = items.size();
    std::vector<std::unique_ptr<CatalogTreeNode>> buffer(count);
    for (std::size_t width = 1; width < count; width *= 2) {
        for (std::size_t left = 0; left < count; left += 2 * width) {
            const std::size_t middle = std::min(left + width, count);
            const std::size_t right = std::min(left + 2 * width, count);
            std::size_t a = left, b = middle, out = left;
            while (a < middle && b < right)
                buffer[out++] = before(*items[b], *items[a]) ? std::move(items[b++]) : std::move(items[a++]);
            while (a < middle)
                buffer[out++] = std::move(items[a++]);
            while (b < right)
                buffer[out++] = std::move(items[b++]);
        }
        items.swap(buffer);
    }
    Renumber(owner, 0);
}

void CatalogTree::SortAll(const Before& before)
{
    std::vector<CatalogTreeNode*> parents{root_.get()};
    while (!parents.empty()) {
        CatalogTreeNode* current = parents.back();
        parents.pop_back();
        if (current->children_.size() > 1)
            SortChildren(current, before);
        for (auto& child : current->children_)
            if (!child->children_.empty())
                parents.push_back(child.get());
    }
}

}  // namespace vellumark
