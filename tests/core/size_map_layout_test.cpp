#include "core/size_map_layout.h"

#include "tests/core/size_map_test_trees.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::AddFile;
using testing::AddFolder;
using testing::RandomDisc;

constexpr double kSlack = 1e-3;

SizeMapRect RectOf(const SizeMapBlock& block) { return {block.x, block.y, block.width, block.height}; }
double Area(const SizeMapBlock& block) { return static_cast<double>(block.width) * block.height; }
double SizeOf(const SizeMapBlock& block) { return std::stod(std::string(block.node->record.Field(kFileSize))); }

bool Inside(const SizeMapRect& inner, const SizeMapRect& outer)
{
    return inner.x >= outer.x - kSlack && inner.y >= outer.y - kSlack
        && inner.x + inner.width <= outer.x + outer.width + kSlack
        && inner.y + inner.height <= outer.y + outer.height + kSlack;
}

bool Overlap(const SizeMapRect& a, const SizeMapRect& b)
{
    const double width = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const double height = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return width > kSlack && height > kSlack;
}

std::map<int, std::vector<int>> ChildrenByParent(const std::vector<SizeMapBlock>& blocks)
{
    std::map<int, std::vector<int>> children;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        children[blocks[i].parent].push_back(static_cast<int>(i));
    return children;
}

// The faults of a layout: blocks under a pixel, outside their parent, overlapping a sibling, or
// with an area out of proportion with their siblings'. Empty when the layout is sound.
std::string LayoutFaults(const std::vector<SizeMapBlock>& blocks, const SizeMapRect& area)
{
    std::ostringstream faults;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const SizeMapBlock& block = blocks[i];
        if (block.width < 1 || block.height < 1)
            faults << "block " << i << " is under a pixel\n";
        if (block.parent >= static_cast<int>(i))
            faults << "block " << i << " comes before its parent\n";
        const SizeMapRect outer = block.parent < 0 ? area : RectOf(blocks[static_cast<std::size_t>(block.parent)]);
        if (!Inside(RectOf(block), outer))
            faults << "block " << i << " leaves its parent\n";
    }
    for (const auto& [parent, siblings] : ChildrenByParent(blocks)) {
        const double areaPerByte = Area(blocks[static_cast<std::size_t>(siblings[0])]) / SizeOf(blocks[static_cast<std::size_t>(siblings[0])]);
        for (std::size_t a = 0; a < siblings.size(); ++a) {
            const SizeMapBlock& first = blocks[static_cast<std::size_t>(siblings[a])];
            if (std::abs(Area(first) / SizeOf(first) / areaPerByte - 1) > kSlack)
                faults << "block " << siblings[a] << " is out of proportion with its siblings\n";
            for (std::size_t b = a + 1; b < siblings.size(); ++b)
                if (Overlap(RectOf(first), RectOf(blocks[static_cast<std::size_t>(siblings[b])])))
                    faults << "blocks " << siblings[a] << " and " << siblings[b] << " overlap\n";
        }
    }
    return faults.str();
}

std::vector<SizeMapBlock> Layout(const CatalogTree& tree, CatalogTreeNode* root, const SizeMapRect& area,
                                 const SizeMapFrame& frame = {})
{
    std::vector<SizeMapBlock> blocks;
    EXPECT_TRUE(LayoutSizeMap(SizeMapTree::Build(tree, root), area, frame, blocks));
    return blocks;
}

TEST(SizeMapKinds, ComeFromTheExtensionInAnyCase)
{
    EXPECT_EQ(ContentKindOfExtension("mp3"), ContentKind::Audio);
    EXPECT_EQ(ContentKindOfExtension("FLAC"), ContentKind::Audio);
    EXPECT_EQ(ContentKindOfExtension("MkV"), ContentKind::Video);
    EXPECT_EQ(ContentKindOfExtension(".jpg"), ContentKind::Image);
    EXPECT_EQ(ContentKindOfExtension("JPEG"), ContentKind::Image);
    EXPECT_EQ(ContentKindOfExtension("pdf"), ContentKind::Document);
    EXPECT_EQ(ContentKindOfExtension("7z"), ContentKind::Archive);
    EXPECT_EQ(ContentKindOfExtension("ISO"), ContentKind::Archive);
    EXPECT_EQ(ContentKindOfExtension("xyz"), ContentKind::Other);
    EXPECT_EQ(ContentKindOfExtension(""), ContentKind::Other);
    EXPECT_EQ(ContentKindOfExtension("."), ContentKind::Other);
    // Longer than any known extension, and one whose last eight letters are a known one.
    EXPECT_EQ(ContentKindOfExtension("somethingmp3"), ContentKind::Other);
    EXPECT_EQ(ContentKindOfExtension("mp3\xC3\xA9"), ContentKind::Other);

    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "300");
    AddFile(tree, disc, "song", "100", "Mp3");
    AddFile(tree, disc, "notes", "100", "");
    AddFolder(tree, disc, "Photos", "100");
    std::map<std::string, ContentKind> kinds;
    for (const SizeMapBlock& block : Layout(tree, nullptr, {0, 0, 300, 300}))
        kinds[std::string(block.node->record.Field(kFileName))] = block.kind;
    EXPECT_EQ(kinds["Disc"], ContentKind::Folder);
    EXPECT_EQ(kinds["song.Mp3"], ContentKind::Audio);
    EXPECT_EQ(kinds["notes."], ContentKind::Other);
    EXPECT_EQ(kinds["Photos"], ContentKind::Folder);
}

TEST(SizeMapLayout, AreasFollowTheSizesAndFillTheFolder)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "2000");
    const std::vector<int> sizes = {25, 800, 50, 400, 100, 400, 200, 25};
    for (std::size_t i = 0; i < sizes.size(); ++i)
        AddFile(tree, disc, "f" + std::to_string(i), std::to_string(sizes[i]));

    const SizeMapRect area{10, 20, 400, 300};
    const std::vector<SizeMapBlock> blocks = Layout(tree, disc, area, {0, 0});
    ASSERT_EQ(blocks.size(), sizes.size() + 1);
    EXPECT_EQ(LayoutFaults(blocks, area), "");
    EXPECT_EQ(blocks[0].node, disc);
    EXPECT_EQ(Area(blocks[0]), 400.0 * 300.0);
    double childArea = 0;
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        EXPECT_NEAR(Area(blocks[i]), 400.0 * 300.0 * SizeOf(blocks[i]) / 2000.0, 0.5);
        childArea += Area(blocks[i]);
    }
    EXPECT_NEAR(childArea, 400.0 * 300.0, 1.0);
    // Largest first, in the top left corner.
    EXPECT_EQ(SizeOf(blocks[1]), 800);
    EXPECT_FLOAT_EQ(blocks[1].x, 10);
    EXPECT_FLOAT_EQ(blocks[1].y, 20);
}

TEST(SizeMapLayout, FoldersFrameTheirChildrenWithABorderAndATitleStrip)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "300");
    CatalogTreeNode* narrow = AddFolder(tree, disc, "Narrow", "30");
    CatalogTreeNode* inside = AddFile(tree, narrow, "inside", "30");
    AddFile(tree, disc, "big", "270");

    const SizeMapRect area{0, 0, 300, 200};
    const std::vector<SizeMapBlock> blocks = Layout(tree, nullptr, area, {2, 16});
    EXPECT_EQ(LayoutFaults(blocks, area), "");
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_TRUE(blocks[0].header);
    EXPECT_NEAR(blocks[1].x, 2, kSlack);
    EXPECT_NEAR(blocks[1].y, 16, kSlack);
    double childArea = 0;
    for (const SizeMapBlock& block : blocks)
        if (block.parent == 0)
            childArea += Area(block);
    EXPECT_NEAR(childArea, (300 - 4) * (200 - 16 - 2), 1.0);
    // "Narrow" (about 30 pixels wide) has no room for a title strip: a border alone.
    const SizeMapBlock& narrowBlock = blocks[2];
    const SizeMapBlock& insideBlock = blocks[3];
    ASSERT_EQ(narrowBlock.node, narrow);
    ASSERT_EQ(insideBlock.node, inside);
    EXPECT_FALSE(narrowBlock.header);
    EXPECT_NEAR(insideBlock.x, narrowBlock.x + 2, kSlack);
    EXPECT_NEAR(insideBlock.y, narrowBlock.y + 2, kSlack);
    EXPECT_NEAR(insideBlock.width, narrowBlock.width - 4, kSlack);
}

TEST(SizeMapLayout, RandomDiscsNestSoundlyAtEverySize)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const CatalogTree tree = RandomDisc(seed, 3000);
        const SizeMapTree map = SizeMapTree::Build(tree, nullptr);
        for (const SizeMapRect& area : {SizeMapRect{0, 0, 1280, 800}, SizeMapRect{5, 7, 317, 93}, SizeMapRect{0, 0, 12, 700}}) {
            for (const SizeMapFrame& frame : {SizeMapFrame{0, 0}, SizeMapFrame{1, 14}}) {
                std::vector<SizeMapBlock> blocks;
                ASSERT_TRUE(LayoutSizeMap(map, area, frame, blocks));
                ASSERT_FALSE(blocks.empty());
                EXPECT_EQ(LayoutFaults(blocks, area), "") << "seed " << seed << " area " << area.width << "x" << area.height;
            }
        }
    }
}

TEST(SizeMapLayout, SquarifiedBlocksStayCloseToSquare)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "100");
    for (int i = 0; i < 100; ++i)
        AddFile(tree, disc, "f" + std::to_string(i), "1");
    const std::vector<SizeMapBlock> blocks = Layout(tree, disc, {0, 0, 600, 400}, {0, 0});
    ASSERT_EQ(blocks.size(), 101u);
    // Slices across the whole map would be 150 times longer than wide.
    for (std::size_t i = 1; i < blocks.size(); ++i)
        EXPECT_LE(std::max(blocks[i].width / blocks[i].height, blocks[i].height / blocks[i].width), 3.0f) << i;
}

TEST(SizeMapLayout, BlocksUnderAPixelAreMergedIntoTheirParent)
{
    // A million bytes in 100 x 100 pixels: a hundred bytes to the square pixel.
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "1000000");
    AddFile(tree, disc, "big", "500000");
    CatalogTreeNode* crumbs = AddFolder(tree, disc, "Crumbs", "400000");
    for (int i = 0; i < 8000; ++i)
        AddFile(tree, crumbs, "crumb" + std::to_string(i), "50", "mp3");
    CatalogTreeNode* dust = AddFolder(tree, disc, "Dust", "100000");
    AddFolder(tree, dust, "Empty", "100");
    for (int i = 0; i < 2000; ++i)
        AddFile(tree, dust, "dust" + std::to_string(i), "49", "jpg");

    const SizeMapRect area{0, 0, 100, 100};
    const std::vector<SizeMapBlock> blocks = Layout(tree, disc, area, {0, 0});
    EXPECT_EQ(LayoutFaults(blocks, area), "");
    std::vector<std::string> names;
    for (const SizeMapBlock& block : blocks)
        names.emplace_back(block.node->record.Field(kFileName));
    EXPECT_EQ(names, (std::vector<std::string>{"Disc", "big.bin", "Crumbs", "Dust"}));
    // Folders whose entries are too small to draw take the colour of their largest file (an
    // empty folder is passed over).
    EXPECT_EQ(blocks[0].content, ContentKind::Folder);
    EXPECT_EQ(blocks[1].content, ContentKind::Other);
    EXPECT_EQ(blocks[2].content, ContentKind::Audio);
    EXPECT_EQ(blocks[3].content, ContentKind::Image);

    // Twice the size, and every crumb is two pixels: all of them are laid out.
    const SizeMapRect larger{0, 0, 200, 200};
    const std::vector<SizeMapBlock> all = Layout(tree, disc, larger, {0, 0});
    EXPECT_EQ(LayoutFaults(all, larger), "");
    EXPECT_GT(all.size(), 4000u);
}

TEST(SizeMapLayout, ZeroMissingAndUnreadableSizesAreLeftOut)
{
    CatalogTree empty;
    EXPECT_TRUE(SizeMapTree::Build(empty, nullptr).Empty());
    EXPECT_TRUE(Layout(empty, nullptr, {0, 0, 100, 100}).empty());

    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "");
    for (const char* size : {"0", "", "abc", "-500", "nan", "1e999"})
        AddFile(tree, disc, std::string("odd") + size, size);
    CatalogTreeNode* sizeless = AddFolder(tree, disc, "Sizeless", "0");
    AddFile(tree, sizeless, "inside", "500");
    EXPECT_TRUE(SizeMapTree::Build(tree, nullptr).Empty());
    EXPECT_TRUE(Layout(tree, nullptr, {0, 0, 100, 100}).empty());

    // A folder given as the root shows what it holds even when its own size is missing.
    const std::vector<SizeMapBlock> blocks = Layout(tree, sizeless, {0, 0, 100, 100}, {0, 0});
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].node->record.Field(kFileName), "inside.bin");
    EXPECT_NEAR(Area(blocks[1]), 100 * 100, kSlack);

    // An area under a pixel shows nothing.
    AddFile(tree, disc, "real", "10");
    disc->record.SetField(kFileSize, "10");
    EXPECT_FALSE(SizeMapTree::Build(tree, nullptr).Empty());
    EXPECT_TRUE(Layout(tree, nullptr, {0, 0, 0.5, 100}).empty());
    EXPECT_EQ(Layout(tree, nullptr, {0, 0, 100, 100}).size(), 2u);
}

TEST(SizeMapLayout, FolderSizesThatDisagreeWithTheirContentStillNest)
{
    CatalogTree tree;
    // Says 1000 bytes but lists 500: the listed half fills half of the folder.
    CatalogTreeNode* partial = AddFolder(tree, nullptr, "Partial", "1000");
    AddFile(tree, partial, "a", "300");
    AddFile(tree, partial, "b", "200");
    // Says 100 bytes but lists 1000: what it lists is squeezed into the folder.
    CatalogTreeNode* overfull = AddFolder(tree, nullptr, "Overfull", "100");
    AddFile(tree, overfull, "c", "600");
    AddFile(tree, overfull, "d", "400");

    const SizeMapRect area{0, 0, 440, 250};
    const std::vector<SizeMapBlock> blocks = Layout(tree, nullptr, area, {0, 0});
    EXPECT_EQ(LayoutFaults(blocks, area), "");
    std::map<std::string, double> areas;
    for (const SizeMapBlock& block : blocks)
        areas[std::string(block.node->record.Field(kFileName))] = Area(block);
    EXPECT_NEAR(areas["Partial"], 440 * 250 * 1000.0 / 1100, 0.5);
    EXPECT_NEAR(areas["a.bin"] + areas["b.bin"], areas["Partial"] / 2, 0.5);
    EXPECT_NEAR(areas["c.bin"] + areas["d.bin"], areas["Overfull"], 0.5);
}

TEST(SizeMapLayout, DeepChainsStopWhereTheFramesLeaveNoRoom)
{
    CatalogTree tree;
    CatalogTreeNode* parent = nullptr;
    for (int depth = 0; depth < 100000; ++depth)
        parent = AddFolder(tree, parent, "level" + std::to_string(depth), "4096");
    AddFile(tree, parent, "bottom", "4096");

    const SizeMapRect area{0, 0, 200, 150};
    const std::vector<SizeMapBlock> framed = Layout(tree, nullptr, area, {1, 0});
    EXPECT_EQ(LayoutFaults(framed, area), "");
    // Each level gives a pixel on each side: 75 levels fit into 150 pixels.
    EXPECT_EQ(framed.size(), 75u);

    // Without frames every level is drawn, one inside the other.
    const std::vector<SizeMapBlock> unframed = Layout(tree, nullptr, area, {0, 0});
    EXPECT_EQ(unframed.size(), 100001u);
    EXPECT_EQ(unframed.back().parent, 99999);
}

TEST(SizeMapLayout, ACancelledLayoutGivesNoBlocks)
{
    const CatalogTree tree = RandomDisc(9, 20000);
    const SizeMapTree map = SizeMapTree::Build(tree, nullptr);
    std::vector<SizeMapBlock> blocks;
    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(LayoutSizeMap(map, {0, 0, 2000, 2000}, {}, blocks, &cancelled));
    EXPECT_TRUE(blocks.empty());
    const std::atomic<bool> running{false};
    EXPECT_TRUE(LayoutSizeMap(map, {0, 0, 2000, 2000}, {}, blocks, &running));
    EXPECT_GT(blocks.size(), 1024u);
}

TEST(SizeMapLayout, TheWholeTreeSharesTheAreaAmongItsTopLevelEntries)
{
    CatalogTree tree;
    AddFolder(tree, nullptr, "First", "300");
    AddFile(tree, nullptr, "second", "100");
    const SizeMapRect area{0, 0, 200, 100};
    const std::vector<SizeMapBlock> blocks = Layout(tree, nullptr, area);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(LayoutFaults(blocks, area), "");
    EXPECT_EQ(blocks[0].parent, -1);
    EXPECT_EQ(blocks[1].parent, -1);
    EXPECT_NEAR(Area(blocks[0]) + Area(blocks[1]), 200 * 100, kSlack);

    // A file as the root is one block over the whole area.
    const std::vector<SizeMapBlock> single = Layout(tree, tree.TopLevel(1), area);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(Area(single[0]), 200 * 100);
    EXPECT_EQ(single[0].kind, ContentKind::Other);
}

}  // namespace
}  // namespace vellumark
