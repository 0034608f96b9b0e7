#pragma once

#include "core/catalog_tree.h"

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vellumark {

// What a block of the size map shows, for its colour.
enum class ContentKind : std::uint8_t { Folder, Audio, Video, Image, Document, Archive, Other };
inline constexpr int kContentKindCount = 7;

// The kind of a file from its extension (a leading dot allowed), in any letter case.
ContentKind ContentKindOfExtension(std::string_view extension);

// The sizes of a subtree, read once from its FileSize texts and kept apart from the tree, so
// that layouts for every new window size can run on a worker while the tree stays with the
// GUI. Entries of size 0 (missing or unreadable sizes included) are left out with everything
// below them; each folder's children are sorted by size, largest first.
class SizeMapTree {
public:
    // The root's subtree; nullptr takes every top-level entry of the tree.
    static SizeMapTree Build(const CatalogTree& tree, CatalogTreeNode* root);

    // Nothing to draw: no entry with a size.
    bool Empty() const { return items_.empty() || items_[0].size <= 0; }
    std::size_t ItemCount() const { return items_.size(); }

private:
    friend class SizeMapLayouter;

    struct Item {
        CatalogTreeNode* node;  // nullptr for the whole tree's stand-in root
        double size;
        std::uint32_t firstChild;  // in childOrder_
        std::uint32_t childCount;
        ContentKind kind;
    };
    std::vector<Item> items_;  // the root first
    std::vector<std::uint32_t> childOrder_;  // items' indexes, each folder's children largest first
};

// One drawn block. Blocks come parents first (pre-order); a folder's children lie inside it.
struct SizeMapBlock {
    float x;
    float y;
    float width;
    float height;
    CatalogTreeNode* node;
    std::int32_t parent;  // index of the enclosing block, -1 for the outermost ones
    ContentKind kind;
    // What fills the block: a file's kind; for a folder whose entries are all too small to
    // draw, the kind of its largest file; Folder for a folder that shows its entries.
    ContentKind content;
    bool header;  // a folder big enough to carry a title strip along its top
};

struct SizeMapRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// How a folder's frame shows its nesting: a border on every side, and along the top a strip
// of the given height where the folder is at least three strips tall and wide.
struct SizeMapFrame {
    double border = 1;
    double header = 0;
};

// Squarified layout of the sizes into the area. Siblings' areas are proportional to their
// sizes; a folder's children share its inner area as their sizes share the folder's size.
// Only blocks at least one pixel wide and high are laid out; smaller ones stay part of their
// parent. Returns false when cancelled, with the blocks cleared.
bool LayoutSizeMap(const SizeMapTree& tree, const SizeMapRect& area, const SizeMapFrame& frame,
                   std::vector<SizeMapBlock>& blocks, const std::atomic<bool>* cancel = nullptr);

}  // namespace vellumark
