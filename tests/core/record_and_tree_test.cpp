#include "core/catalog_tree.h"
#include "core/column_keys.h"
#include "core/path_names.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumark {
namespace {

TEST(ColumnKeys, IndexIsExactAndFallsBackToFileName)
{
    EXPECT_EQ(ColumnKeyIndex("DiskName"), 10);
    EXPECT_EQ(ColumnKeyIndex("Description"), 6);
    EXPECT_EQ(ColumnKeyIndex("filename"), 0);
    EXPECT_EQ(ColumnKeyIndex("filesize"), 0);
    EXPECT_EQ(ColumnKeyIndex(""), 0);
    EXPECT_EQ(FindColumnKey("filesize"), -1);
    for (int key = 0; key < kColumnKeyCount; ++key)
        EXPECT_EQ(ColumnKeyIndex(kColumnKeys[key]), key);
}

TEST(CatalogNode, HoldsElevenIndependentFieldsOfAnyLength)
{
    EntryRecord record;
    const std::string longText(20000, 'd');
    for (int key = 0; key < kColumnKeyCount; ++key)
        record.SetField(key, std::string(kColumnKeys[key]) + "-value");
    record.SetField(kDescription, longText);
    record.SetField(kFileSize, "5368709120");
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (key == kDescription)
            EXPECT_EQ(record.Field(key), longText);
        else if (key == kFileSize)
            EXPECT_EQ(record.Field(key), "5368709120");
        else
            EXPECT_EQ(record.Field(key), std::string(kColumnKeys[key]) + "-value");
    }
    record.SetField(kFileName, "");
    EXPECT_TRUE(record.IsEmpty(kFileName));
    EXPECT_EQ(record.Field(kFullPath), "FullPath-value");
    EXPECT_EQ(record.Field(-1), "");
    EXPECT_EQ(record.Field(11), "");
}

TEST(CatalogNode, SetFieldAcceptsATextFromItsOwnBlockAndCopiesAreIndependent)
{
    EntryRecord record;
    record.SetField(kFileName, "Rock");
    record.SetField(kFullPath, record.Field(kFileName));
    EXPECT_EQ(record.Field(kFullPath), "Rock");

    EntryRecord copy = record;
    copy.SetField(kFileName, "Pop");
    EXPECT_EQ(record.Field(kFileName), "Rock");
    EXPECT_EQ(copy.Field(kFileName), "Pop");
    EXPECT_EQ(copy.Field(kFullPath), "Rock");
}

TEST(CatalogNode, KindsAreExactAndSharedTextsAreShared)
{
    EntryRecord a;
    EntryRecord b;
    a.SetField(kFileType, "directory");
    b.SetField(kFileType, "Directory");
    EXPECT_TRUE(a.IsDirectory());
    EXPECT_FALSE(b.IsDirectory());
    EXPECT_FALSE(b.IsFile());

    TextPool pool;
    const SharedText first = pool.Get("mp3");
    const SharedText second = pool.Get("mp3");
    EXPECT_TRUE(first.SameBlock(second));
    EXPECT_TRUE(pool.Get("").Empty());
}

TEST(CatalogTree, RowsAndParentsFollowAppendAndRemove)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    CatalogTreeNode* a = tree.Append(root);
    CatalogTreeNode* b = tree.Append(root);
    CatalogTreeNode* c = tree.Append(root);
    tree.Append(b);
    EXPECT_EQ(tree.NodeCount(), 5u);
    EXPECT_EQ(root->Parent(), nullptr);
    EXPECT_EQ(b->Parent(), root);
    EXPECT_EQ(c->Row(), 2);
    EXPECT_EQ(b->Child(0)->Level(), 2);

    tree.Remove(b);
    EXPECT_EQ(tree.NodeCount(), 3u);
    EXPECT_EQ(root->ChildCount(), 2);
    EXPECT_EQ(a->Row(), 0);
    EXPECT_EQ(c->Row(), 1);
    EXPECT_EQ(root->Child(1), c);
}

TEST(CatalogTree, WalksInPreOrderWithEnterAndLeave)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, "r");
    CatalogTreeNode* x = tree.Append(root);
    x->record.SetField(kFileName, "x");
    tree.Append(x)->record.SetField(kFileName, "x1");
    tree.Append(root)->record.SetField(kFileName, "y");
    std::string trace;
    tree.Walk([&](const CatalogTreeNode& n) { trace += "<" + std::string(n.record.Field(kFileName)); },
              [&](const CatalogTreeNode& n) { trace += ">" + std::string(n.record.Field(kFileName)); });
    EXPECT_EQ(trace, "<r<x<x1>x1>x<y>y>r");
    std::string order;
    for (CatalogTreeNode* node : tree.PreOrder())
        order += std::string(node->record.Field(kFileName)) + ",";
    EXPECT_EQ(order, "r,x,x1,y,");
}

TEST(CatalogTree, SortIsStableAtEveryLevelAndSurvivesAnInconsistentComparison)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    for (const char* name : {"b1", "a1", "b2", "a2", "b3"})
        tree.Append(root)->record.SetField(kFileName, name);
    tree.SortAll([](const CatalogTreeNode& l, const CatalogTreeNode& r) {
        return l.record.Field(kFileName)[0] < r.record.Field(kFileName)[0];
    });
    std::string order;
    for (int row = 0; row < root->ChildCount(); ++row) {
        order += std::string(root->Child(row)->record.Field(kFileName)) + ",";
        EXPECT_EQ(root->Child(row)->Row(), row);
    }
    EXPECT_EQ(order, "a1,a2,b1,b2,b3,");

    for (int i = 0; i < 1000; ++i)
        tree.Append(root);
    tree.SortAll([](const CatalogTreeNode&, const CatalogTreeNode&) { return true; });
    EXPECT_EQ(root->ChildCount(), 1005);
    EXPECT_EQ(tree.NodeCount(), 1006u);
}

TEST(CatalogTree, AVeryDeepTreeIsWalkedAndFreedWithoutRecursion)
{
    CatalogTree tree;
    CatalogTreeNode* node = nullptr;
    for (int depth = 0; depth < 200000; ++depth)
        node = tree.Append(node);
    EXPECT_EQ(tree.PreOrder().size(), 200000u);
    tree.Clear();
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(tree.NodeCount(), 0u);
}

TEST(PathNames, CatalogNameIsTheFileNameBeforeItsFirstDot)
{
    EXPECT_EQ(CatalogNameOfFile("/lib/CatalogLibrary/Mp3/Best of 2004.xml"), "Best of 2004");
    EXPECT_EQ(CatalogNameOfFile("/x/My.Disc.xml"), "My");
    EXPECT_EQ(CatalogNameOfFile("/x/Disc.old.xml"), "Disc");
    EXPECT_EQ(CatalogNameOfFile("/x/.hidden.xml"), "");
    EXPECT_EQ(CatalogNameOfFile("plain"), "plain");
}

}  // namespace
}  // namespace vellumark
