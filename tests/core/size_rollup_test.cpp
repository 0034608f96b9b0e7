#include "core/size_rollup.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

CatalogTreeNode* Add(CatalogTree& tree, CatalogTreeNode* parent, std::string_view name, std::string_view kind,
                     std::string_view size)
{
    CatalogTreeNode* node = tree.Append(parent);
    node->record.SetField(kFileName, name);
    node->record.SetField(kFileType, kind);
    node->record.SetField(kFileSize, size);
    return node;
}

std::vector<std::string> Names(const CatalogTree& tree)
{
    std::vector<std::string> names;
    for (CatalogTreeNode* node : tree.PreOrder())
        names.emplace_back(node->record.Field(kFileName));
    return names;
}

TEST(PruneFolders, KeepsOnlyDirectoriesWithAFileBelow)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", kKindDirectory, "0");
    Add(tree, root, "empty1", kKindDirectory, "0");
    CatalogTreeNode* deep = Add(tree, root, "deep", kKindDirectory, "0");
    CatalogTreeNode* deeper = Add(tree, deep, "deeper", kKindDirectory, "0");
    Add(tree, deeper, "song.mp3", kKindFile, "5");
    Add(tree, deep, "empty2", kKindDirectory, "0");
    CatalogTreeNode* nested = Add(tree, root, "nested", kKindDirectory, "0");
    Add(tree, Add(tree, nested, "inner", kKindDirectory, "0"), "innermost", kKindDirectory, "0");
    Add(tree, root, "top.mp3", kKindFile, "1");

    EXPECT_TRUE(PruneFolders(tree, root));
    EXPECT_EQ(Names(tree), (std::vector<std::string>{"root", "deep", "deeper", "song.mp3", "top.mp3"}));
    EXPECT_EQ(tree.NodeCount(), 5u);
    // Rows stay consistent after removals, so item models can rely on them.
    for (int row = 0; row < root->ChildCount(); ++row)
        EXPECT_EQ(root->Child(row)->Row(), row);
}

TEST(PruneFolders, RootWithoutFilesEmptiesTheTree)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", kKindDirectory, "0");
    Add(tree, Add(tree, root, "a", kKindDirectory, "0"), "b", kKindDirectory, "0");
    EXPECT_FALSE(PruneFolders(tree, root));
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(tree.NodeCount(), 0u);
}

TEST(RollUpSizes, DirectoriesGetTheSumOfTheirChildren)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", kKindDirectory, "");
    CatalogTreeNode* a = Add(tree, root, "a", kKindDirectory, "0");
    Add(tree, a, "big", kKindFile, "5368709120");  // 5 GiB: beyond 32 bits
    CatalogTreeNode* b = Add(tree, a, "b", kKindDirectory, "0");
    Add(tree, b, "x", kKindFile, "7");
    Add(tree, b, "y", kKindFile, "3");
    Add(tree, a, "empty", kKindDirectory, "0");
    Add(tree, root, "odd", kKindFile, "not a number");

    EXPECT_EQ(RollUpSizes(*root), 5368709130.0);
    EXPECT_EQ(a->record.Field(kFileSize), "5368709130");
    EXPECT_EQ(b->record.Field(kFileSize), "10");
    EXPECT_EQ(a->Child(2)->record.Field(kFileSize), "0");
    EXPECT_EQ(root->record.Field(kFileSize), "");  // the caller sets the root's own total
}

TEST(ComputePercentages, RelativeToTheRootWithTwoDecimals)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", kKindDirectory, "800");
    CatalogTreeNode* a = Add(tree, root, "a", kKindDirectory, "600");
    Add(tree, a, "x", kKindFile, "100");
    Add(tree, a, "y", kKindFile, "500");
    Add(tree, root, "z", kKindFile, "200");
    Add(tree, root, "n", kKindFile, "4");

    ComputePercentages(tree);
    std::vector<std::string> percentages;
    for (CatalogTreeNode* node : tree.PreOrder())
        percentages.emplace_back(node->record.Field(kSizePercentage));
    EXPECT_EQ(percentages, (std::vector<std::string>{"100", "75.00", "12.50", "62.50", "25.00", "0.50"}));
}

TEST(ComputePercentages, ZeroTotalLeavesAllButTheRootEmpty)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", kKindDirectory, "0");
    Add(tree, root, "empty.txt", kKindFile, "0");
    ComputePercentages(tree);
    EXPECT_EQ(root->record.Field(kSizePercentage), "100");
    EXPECT_EQ(root->Child(0)->record.Field(kSizePercentage), "");

    CatalogTree none;
    ComputePercentages(none);
    EXPECT_TRUE(none.Empty());
}

TEST(ComputePercentages, SplitOverThreadsGivesTheSameTexts)
{
    CatalogTree single, split;
    for (CatalogTree* tree : {&single, &split}) {
        CatalogTreeNode* root = Add(*tree, nullptr, "root", kKindDirectory, "300000");
        for (int i = 0; i < 120000; ++i)
            Add(*tree, root, "f", kKindFile, std::to_string(i % 7));
    }
    ComputePercentages(single, 1);
    ComputePercentages(split, 4);
    const auto a = single.PreOrder();
    const auto b = split.PreOrder();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i]->record.Field(kSizePercentage), b[i]->record.Field(kSizePercentage)) << i;
    EXPECT_EQ(a.back()->record.Field(kSizePercentage), "0.00");
    EXPECT_FALSE(b.back()->record.Field(kSizePercentage).empty());
}

}  // namespace
}  // namespace vellumark
