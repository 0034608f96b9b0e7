#include "core/size_map_layout.h"

#include "services/text_format.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace vellumark {

namespace {

struct KindOfExtension {
    std::string_view extension;
    ContentKind kind;
};

// Extensions are compared as up to eight lower-case bytes packed into one number.
constexpr std::size_t kMaxExtensionLength = 8;

constexpr std::array kKnownExtensions = {
    KindOfExtension{"aac", ContentKind::Audio},      KindOfExtension{"ac3", ContentKind::Audio},
    KindOfExtension{"aif", ContentKind::Audio},      KindOfExtension{"aiff", ContentKind::Audio},
    KindOfExtension{"alac", ContentKind::Audio},     KindOfExtension{"amr", ContentKind::Audio},
    KindOfExtension{"ape", ContentKind::Audio},      KindOfExtension{"au", ContentKind::Audio},
    KindOfExtension{"dts", ContentKind::Audio},      KindOfExtension{"flac", ContentKind::Audio},
    KindOfExtension{"m4a", ContentKind::Audio},      KindOfExtension{"m4b", ContentKind::Audio},
    KindOfExtension{"mid", ContentKind::Audio},      KindOfExtension{"midi", ContentKind::Audio},
    KindOfExtension{"mka", ContentKind::Audio},      KindOfExtension{"mp2", ContentKind::Audio},
    KindOfExtension{"mp3", ContentKind::Audio},      KindOfExtension{"mpc", ContentKind::Audio},
    KindOfExtension{"oga", ContentKind::Audio},      KindOfExtension{"ogg", ContentKind::Audio},
    KindOfExtension{"opus", ContentKind::Audio},     KindOfExtension{"ra", ContentKind::Audio},
    KindOfExtension{"wav", ContentKind::Audio},      KindOfExtension{"wma", ContentKind::Audio},
    KindOfExtension{"wv", ContentKind::Audio},

    KindOfExtension{"3gp", ContentKind::Video},      KindOfExtension{"asf", ContentKind::Video},
    KindOfExtension{"avi", ContentKind::Video},      KindOfExtension{"divx", ContentKind::Video},
    KindOfExtension{"f4v", ContentKind::Video},      KindOfExtension{"flv", ContentKind::Video},
    KindOfExtension{"m2ts", ContentKind::Video},     KindOfExtension{"m4v", ContentKind::Video},
    KindOfExtension{"mkv", ContentKind::Video},      KindOfExtension{"mov", ContentKind::Video},
    KindOfExtension{"mp4", ContentKind::Video},      KindOfExtension{"mpeg", ContentKind::Video},
    KindOfExtension{"mpg", ContentKind::Video},      KindOfExtension{"mts", ContentKind::Video},
    KindOfExtension{"ogv", ContentKind::Video},      KindOfExtension{"rm", ContentKind::Video},
    KindOfExtension{"rmvb", ContentKind::Video},     KindOfExtension{"ts", ContentKind::Video},
    KindOfExtension{"vob", ContentKind::Video},      KindOfExtension{"webm", ContentKind::Video},
    KindOfExtension{"wmv", ContentKind::Video},

    KindOfExtension{"arw", ContentKind::Image},      KindOfExtension{"bmp", ContentKind::Image},
    KindOfExtension{"cr2", ContentKind::Image},      KindOfExtension{"dng", ContentKind::Image},
    KindOfExtension{"gif", ContentKind::Image},      KindOfExtension{"heic", ContentKind::Image},
    KindOfExtension{"heif", ContentKind::Image},     KindOfExtension{"ico", ContentKind::Image},
    KindOfExtension{"jpe", ContentKind::Image},      KindOfExtension{"jpeg", ContentKind::Image},
    KindOfExtension{"jpg", ContentKind::Image},      KindOfExtension{"nef", ContentKind::Image},
    KindOfExtension{"orf", ContentKind::Image},      KindOfExtension{"pcx", ContentKind::Image},
    KindOfExtension{"png", ContentKind::Image},      KindOfExtension{"psd", ContentKind::Image},
    KindOfExtension{"raw", ContentKind::Image},      KindOfExtension{"svg", ContentKind::Image},
    KindOfExtension{"tga", ContentKind::Image},      KindOfExtension{"tif", ContentKind::Image},
    KindOfExtension{"tiff", ContentKind::Image},     KindOfExtension{"webp", ContentKind::Image},
    KindOfExtension{"xcf", ContentKind::Image},

    KindOfExtension{"chm", ContentKind::Document},   KindOfExtension{"csv", ContentKind::Document},
    KindOfExtension{"djvu", ContentKind::Document},  KindOfExtension{"doc", ContentKind::Document},
    KindOfExtension{"docx", ContentKind::Document},  KindOfExtension{"epub", ContentKind::Document},
    KindOfExtension{"htm", ContentKind::Document},   KindOfExtension{"html", ContentKind::Document},
    KindOfExtension{"md", ContentKind::Document},    KindOfExtension{"odg", ContentKind::Document},
    KindOfExtension{"odp", ContentKind::Document},   KindOfExtension{"ods", ContentKind::Document},
    KindOfExtension{"odt", ContentKind::Document},   KindOfExtension{"pdf", ContentKind::Document},
    KindOfExtension{"pps", ContentKind::Document},   KindOfExtension{"ppt", ContentKind::Document},
    KindOfExtension{"pptx", ContentKind::Document},  KindOfExtension{"ps", ContentKind::Document},
    KindOfExtension{"rtf", ContentKind::Document},   KindOfExtension{"tex", ContentKind::Document},
    KindOfExtension{"txt", ContentKind::Document},   KindOfExtension{"wpd", ContentKind::Document},
    KindOfExtension{"xls", ContentKind::Document},   KindOfExtension{"xlsx", ContentKind::Document},
    KindOfExtension{"xml", ContentKind::Document},

    KindOfExtension{"7z", ContentKind::Archive},     KindOfExtension{"ace", ContentKind::Archive},
    KindOfExtension{"arj", ContentKind::Archive},    KindOfExtension{"bz2", ContentKind::Archive},
    KindOfExtension{"cab", ContentKind::Archive},    KindOfExtension{"cpio", ContentKind::Archive},
    KindOfExtension{"deb", ContentKind::Archive},    KindOfExtension{"dmg", ContentKind::Archive},
    KindOfExtension{"gz", ContentKind::Archive},     KindOfExtension{"img", ContentKind::Archive},
    KindOfExtension{"iso", ContentKind::Archive},    KindOfExtension{"jar", ContentKind::Archive},
    KindOfExtension{"lha", ContentKind::Archive},    KindOfExtension{"lz", ContentKind::Archive},
    KindOfExtension{"lzh", ContentKind::Archive},    KindOfExtension{"lzma", ContentKind::Archive},
    KindOfExtension{"rar", ContentKind::Archive},    KindOfExtension{"rpm", ContentKind::Archive},
    KindOfExtension{"tar", ContentKind::Archive},    KindOfExtension{"tbz2", ContentKind::Archive},
    KindOfExtension{"tgz", ContentKind::Archive},    KindOfExtension{"txz", ContentKind::Archive},
    KindOfExtension{"xz", ContentKind::Archive},     KindOfExtension{"z", ContentKind::Archive},
    KindOfExtension{"zip", ContentKind::Archive},    KindOfExtension{"zst", ContentKind::Archive},
};

std::uint64_t ExtensionKey(std::string_view extension)
{
    std::uint64_t key = 0;
    for (const char c : extension) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        key = (key << 8) | static_cast<unsigned char>(lower);
    }
    return key;
}

using KeyedKind = std::pair<std::uint64_t, ContentKind>;

const std::vector<KeyedKind>& SortedExtensionKeys()
{
    static const std::vector<KeyedKind> keys = [] {
        std::vector<KeyedKind> sorted;
        for (const KindOfExtension& known : kKnownExtensions)
            sorted.emplace_back(ExtensionKey(known.extension), known.kind);
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }();
    return keys;
}

double SizeOf(std::string_view text)
{
    // Sizes are almost always plain digits; anything else goes the general way.
    if (!text.empty() && text.size() <= 15) {
        std::uint64_t digits = 0;
        bool plain = true;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                plain = false;
                break;
            }
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (plain)
            return static_cast<double>(digits);
    }
    const auto size = ParseNumberText(text);
    return size && *size > 0 ? *size : 0;
}

// The extensions of a catalog are a few hundred shared texts, so the kinds are kept by the
// text's address; an empty extension's slot starts out right.
class KindCache {
public:
    ContentKind KindOf(const CatalogTreeNode& node, const EntryRecord::Fields& fields)
    {
        if (fields[kFileType] == kKindDirectory || node.HasChildren())
            return ContentKind::Folder;
        const std::string_view extension = fields[kFileExt];
        Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(extension.data()) >> 4) % slots_.size()];
        if (slot.extension.data() != extension.data() || slot.extension.size() != extension.size())
            slot = {extension, ContentKindOfExtension(extension)};
        return slot.kind;
    }

private:
    struct Slot {
        std::string_view extension;
        ContentKind kind = ContentKind::Other;
    };
    std::array<Slot, 256> slots_{};
};

// The worst aspect ratio of a row of blocks laid along a side of the given length.
double WorstRatio(double rowArea, double largest, double smallest, double side)
{
    const double sideSquared = side * side;
    const double rowSquared = rowArea * rowArea;
    return std::max(sideSquared * largest / rowSquared, rowSquared / (sideSquared * smallest));
}

}  // namespace

ContentKind ContentKindOfExtension(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    if (extension.empty() || extension.size() > kMaxExtensionLength)
        return ContentKind::Other;
    const std::vector<KeyedKind>& keys = SortedExtensionKeys();
    const std::uint64_t key = ExtensionKey(extension);
    const auto found = std::lower_bound(keys.begin(), keys.end(), KeyedKind{key, ContentKind::Folder});
    return found != keys.end() && found->first == key ? found->second : ContentKind::Other;
}

SizeMapTree SizeMapTree::Build(const CatalogTree& tree, CatalogTreeNode* root)
{
    SizeMapTree map;
    std::vector<Item>& items = map.items_;
    std::vector<std::uint32_t>& order = map.childOrder_;
    KindCache kinds;
    if (root) {
        const EntryRecord::Fields fields = root->record.AllFields();
        items.push_back({root, SizeOf(fields[kFileSize]), 0, 0, kinds.KindOf(*root, fields)});
    } else {
        items.reserve(tree.NodeCount() + 1);
        order.reserve(tree.NodeCount());
        items.push_back({nullptr, 0, 0, 0, ContentKind::Folder});
    }

    // Pre-order, the order a loaded tree lies in memory. Each open folder collects its
    // children's indexes at the end of `children`; when it closes they are sorted by size into
    // `order`, where the folder's children then lie side by side.
    struct OpenFolder {
        std::uint32_t item;
        int nextRow;
        std::size_t firstChild;
        double childrenSize;
    };
    std::vector<OpenFolder> open{{0, 0, 0, 0}};
    std::vector<std::uint32_t> children;
    while (!open.empty()) {
        OpenFolder& folder = open.back();
        CatalogTreeNode* node = items[folder.item].node;
        if (folder.nextRow < tree.ChildCount(node)) {
            CatalogTreeNode* child = tree.Child(node, folder.nextRow++);
            const EntryRecord::Fields fields = child->record.AllFields();
            const double size = SizeOf(fields[kFileSize]);
            if (size <= 0)
                continue;
            const auto index = static_cast<std::uint32_t>(items.size());
            items.push_back({child, size, 0, 0, kinds.KindOf(*child, fields)});
            children.push_back(index);
            folder.childrenSize += size;
            if (child->HasChildren())
                open.push_back({index, 0, children.size(), 0});
            continue;
        }
        const auto first = children.begin() + static_cast<std::ptrdiff_t>(folder.firstChild);
        std::sort(first, children.end(), [&items](std::uint32_t a, std::uint32_t b) {
            return items[a].size > items[b].size || (items[a].size == items[b].size && a < b);
        });
        Item& item = items[folder.item];
        item.firstChild = static_cast<std::uint32_t>(order.size());
        item.childCount = static_cast<std::uint32_t>(children.end() - first);
        order.insert(order.end(), first, children.end());
        children.erase(first, children.end());
        // The root fills the whole map, so its own size only has to hold its children; a
        // folder whose size is missing still shows what it holds.
        if (folder.item == 0)
            item.size = std::max(item.size, folder.childrenSize);
        open.pop_back();
    }
    return map;
}

class SizeMapLayouter {
public:
    SizeMapLayouter(const SizeMapTree& tree, const SizeMapFrame& frame, std::vector<SizeMapBlock>& blocks)
        : items_(tree.items_), order_(tree.childOrder_), frame_(frame), blocks_(blocks)
    {
    }

    bool Run(const SizeMapRect& area, const std::atomic<bool>* cancel)
    {
        constexpr std::size_t kStepsPerCancelCheck = 1024;
        blocks_.clear();
        if (items_.empty() || items_[0].size <= 0 || area.width < 1 || area.height < 1)
            return true;
        pending_.push_back({0, area, -1});
        for (std::size_t step = 1; !pending_.empty(); ++step) {
            if (cancel && step % kStepsPerCancelCheck == 0 && cancel->load(std::memory_order_relaxed)) {
                blocks_.clear();
                return false;
            }
            const Pending current = pending_.back();
            pending_.pop_back();
            const SizeMapTree::Item& item = items_[current.item];
            SizeMapRect inner = current.rect;
            std::int32_t parent = current.parent;
            if (item.node) {
                bool header = false;
                if (item.kind == ContentKind::Folder)
                    inner = Inner(current.rect, header);
                blocks_.push_back({static_cast<float>(current.rect.x), static_cast<float>(current.rect.y),
                                   static_cast<float>(current.rect.width), static_cast<float>(current.rect.height),
                                   item.node, current.parent, item.kind, item.kind, header});
                parent = static_cast<std::int32_t>(blocks_.size() - 1);
            }
            const bool childrenPlaced = item.childCount > 0 && inner.width >= 1 && inner.height >= 1
                                     && LayOutChildren(item, inner, parent);
            if (item.node && item.kind == ContentKind::Folder && !childrenPlaced)
                blocks_.back().content = LargestContentKind(item);
        }
        return true;
    }

private:
    struct Pending {
        std::uint32_t item;
        SizeMapRect rect;
        std::int32_t parent;
    };

    SizeMapRect Inner(const SizeMapRect& rect, bool& header) const
    {
        const double border = std::max(frame_.border, 0.0);
        header = frame_.header > 0 && rect.height >= 3 * frame_.header && rect.width >= 3 * frame_.header;
        const double top = header ? std::max(frame_.header, border) : border;
        return {rect.x + border, rect.y + top, rect.width - 2 * border, rect.height - top - border};
    }

    // The largest file, looked for down the largest folders (empty ones passed over).
    ContentKind LargestContentKind(const SizeMapTree::Item& folder) const
    {
        const SizeMapTree::Item* item = &folder;
        for (std::uint32_t child = 0; child < item->childCount;) {
            const SizeMapTree::Item& candidate = items_[order_[item->firstChild + child]];
            if (candidate.kind != ContentKind::Folder)
                return candidate.kind;
            if (candidate.childCount > 0) {
                item = &candidate;
                child = 0;
            } else {
                ++child;
            }
        }
        return ContentKind::Folder;
    }

    // Squarified rows: each row takes blocks in size order while that keeps its worst aspect
    // ratio from growing, then the rest goes on in the space the row leaves. False when no
    // child is big enough to be drawn.
    bool LayOutChildren(const SizeMapTree::Item& folder, SizeMapRect space, std::int32_t parent)
    {
        const std::uint32_t* children = &order_[folder.firstChild];
        const std::uint32_t count = folder.childCount;
        double childrenSize = 0;
        for (std::uint32_t i = 0; i < count; ++i)
            childrenSize += items_[children[i]].size;
        // The part of a folder's size its listed entries do not account for stays empty.
        if (childrenSize < folder.size) {
            const double share = childrenSize / folder.size;
            (space.width >= space.height ? space.width : space.height) *= share;
        }
        const double scale = space.width * space.height / childrenSize;

        placed_.clear();
        std::uint32_t next = 0;
        while (next < count && space.width > 0 && space.height > 0) {
            const double largest = items_[children[next]].size * scale;
            // Sorted by size: from the first block under a pixel on, all are.
            if (largest < 1)
                break;
            const double side = std::min(space.width, space.height);
            std::uint32_t end = next + 1;
            double rowArea = largest;
            double worst = WorstRatio(rowArea, largest, largest, side);
            while (end < count) {
                const double area = items_[children[end]].size * scale;
                if (area < 1)
                    break;
                const double ratio = WorstRatio(rowArea + area, largest, area, side);
                if (ratio > worst)
                    break;
                rowArea += area;
                worst = ratio;
                ++end;
            }
            PlaceRow(children + next, children + end, rowArea, scale, space, parent);
            next = end;
        }
        for (auto placed = placed_.rbegin(); placed != placed_.rend(); ++placed)
            pending_.push_back(*placed);
        return !placed_.empty();
    }

    // Lays the row along the shorter side of the space and takes its strip off the space.
    void PlaceRow(const std::uint32_t* first, const std::uint32_t* end, double rowArea, double scale,
                  SizeMapRect& space, std::int32_t parent)
    {
        const bool column = space.width >= space.height;
        const double length = column ? space.height : space.width;
        const double thickness = std::min(rowArea / length, column ? space.width : space.height);
        double offset = column ? space.y : space.x;
        const double stop = offset + length;
        for (const std::uint32_t* child = first; child != end; ++child) {
            // The last block ends exactly at the side's end, so rounding leaves no gap.
            const double extent = child + 1 == end ? stop - offset : items_[*child].size * scale / thickness;
            const SizeMapRect rect = column ? SizeMapRect{space.x, offset, thickness, extent}
                                            : SizeMapRect{offset, space.y, extent, thickness};
            if (rect.width >= 1 && rect.height >= 1)
                placed_.push_back({*child, rect, parent});
            offset += extent;
        }
        if (column) {
            space.x += thickness;
            space.width -= thickness;
        } else {
            space.y += thickness;
            space.height -= thickness;
        }
    }

    const std::vector<SizeMapTree::Item>& items_;
    const std::vector<std::uint32_t>& order_;
    const SizeMapFrame& frame_;
    std::vector<SizeMapBlock>& blocks_;
    std::vector<Pending> pending_;
    std::vector<Pending> placed_;
};

bool LayoutSizeMap(const SizeMapTree& tree, const SizeMapRect& area, const SizeMapFrame& frame,
                   std::vector<SizeMapBlock>& blocks, const std::atomic<bool>* cancel)
{
    SizeMapLayouter layouter(tree, frame, blocks);
    return layouter.Run(area, cancel);
}

}  // namespace vellumark
