#include "ui/tree_sort.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

CatalogTreeNode* Add(CatalogTree& tree, CatalogTreeNode* parent, std::string_view name, std::string_view kind,
                     std::string_view size = {}, std::string_view time = {})
{
    CatalogTreeNode* node = tree.Append(parent);
    node->record.SetField(kFileName, name);
    node->record.SetField(kFileType, kind);
    node->record.SetField(kFileSize, size);
    node->record.SetField(kFileTime, time);
    return node;
}

std::string Names(const CatalogTree& tree, const CatalogTreeNode* parent)
{
    std::string names;
    for (int row = 0; row < tree.ChildCount(parent); ++row) {
        const CatalogTreeNode* child = tree.Child(parent, row);
        names += std::string(child->record.Field(kFileName)) + (child->Row() == row ? "" : "!") + " ";
    }
    return names;
}

TEST(TreeSort, DirectoriesStayFirstInBothDirectionsAndTiesKeepTheirOrder)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "root", "directory");
    Add(tree, root, "b.txt", "file", "10");
    Add(tree, root, "Zeta", "directory", "5");
    Add(tree, root, "a.txt", "file", "10");
    Add(tree, root, "c.txt", "file", "not a number");
    Add(tree, root, "alpha", "directory", "7");
    Add(tree, root, "odd", " directory ", "1");

    SortTreeBy(tree, kFileSize, SortRule::Number, true);
    EXPECT_EQ(Names(tree, root), "odd Zeta alpha c.txt b.txt a.txt ");
    SortTreeBy(tree, kFileSize, SortRule::Number, false);
    EXPECT_EQ(Names(tree, root), "alpha Zeta odd b.txt a.txt c.txt ");
    SortTreeBy(tree, kFileName, SortRule::Text, true);
    EXPECT_EQ(Names(tree, root), "alpha odd Zeta a.txt b.txt c.txt ");
}

TEST(TreeSort, TextIgnoresAsciiCaseAndDatesPutEmptyFirstAndUnreadableLast)
{
    CatalogTree tree;
    Add(tree, nullptr, "beta", "file", "", "2020-01-02 10:00:00");
    Add(tree, nullptr, "Alpha", "file", "", "");
    Add(tree, nullptr, "alpha", "file", "", "yesterday");
    Add(tree, nullptr, "gamma", "file", "", "2019-05-01");
    SortTreeBy(tree, kFileName, SortRule::Text, true);
    EXPECT_EQ(Names(tree, nullptr), "Alpha alpha beta gamma ");
    SortTreeBy(tree, kFileTime, SortRule::Date, true);
    EXPECT_EQ(Names(tree, nullptr), "Alpha gamma beta alpha ");
    SortTreeBy(tree, kFileTime, SortRule::Date, false);
    EXPECT_EQ(Names(tree, nullptr), "alpha beta gamma Alpha ");
}

TEST(TreeSort, EveryLevelIsSortedAndTheTypeRuleKeepsTheOrder)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "r", "directory");
    CatalogTreeNode* sub = Add(tree, root, "sub", "directory");
    Add(tree, sub, "y", "file");
    Add(tree, sub, "x", "file");
    Add(tree, root, "m", "file");
    Add(tree, root, "k", "file");
    SortTreeBy(tree, kFileType, SortRule::None, true);
    EXPECT_EQ(Names(tree, root), "sub m k ");
    EXPECT_EQ(Names(tree, sub), "y x ");
    SortTreeBy(tree, kFileName, SortRule::Text, false);
    EXPECT_EQ(Names(tree, root), "sub m k ");
    EXPECT_EQ(Names(tree, sub), "y x ");
    SortTreeBy(tree, kFileName, SortRule::Text, true);
    EXPECT_EQ(Names(tree, root), "sub k m ");
    EXPECT_EQ(Names(tree, sub), "x y ");
}

TEST(TreeSort, RulesOfTheListColumns)
{
    EXPECT_EQ(SortRuleOfKey(kFileName), SortRule::Text);
    EXPECT_EQ(SortRuleOfKey(kDiskName), SortRule::Text);
    EXPECT_EQ(SortRuleOfKey(kFileSize), SortRule::Number);
    EXPECT_EQ(SortRuleOfKey(kSizePercentage), SortRule::Number);
    EXPECT_EQ(SortRuleOfKey(kFileTime), SortRule::Date);
    EXPECT_EQ(SortRuleOfKey(kFileType), SortRule::None);
}

}  // namespace
}  // namespace vellumark
