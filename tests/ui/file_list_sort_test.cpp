// The file list sorts a level only when it is first read; whatever is read when, the order
// must be the one sorting the whole tree at each click gives.
#include "ui/file_list_model.h"

#include "ui/tree_sort.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

#include <string>

namespace vellumark {
namespace {

// The same tree every call: folders three deep, names that differ in case only, sizes and
// times with many ties, so that the order of earlier sorts shows in the ties of later ones.
CatalogTree MakeTree()
{
    CatalogTree tree;
    unsigned state = 7;
    const auto next = [&](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    const char* names[] = {"a", "B", "b", "A", "c", "C"};
    const char* times[] = {"2001-01-01 10:00:00", "1999-05-05", "", "not a date"};
    std::vector<std::pair<CatalogTreeNode*, int>> folders{{nullptr, 0}};
    int serial = 0;
    while (!folders.empty()) {
        const auto [parent, depth] = folders.back();
        folders.pop_back();
        const unsigned count = parent ? 2 + next(7) : 3;
        for (unsigned i = 0; i < count; ++i) {
            const bool folder = depth < 3 && (i == 0 || next(3) == 0);
            CatalogTreeNode* node = tree.Append(parent);
            const std::string name = std::string(names[next(6)]) + std::to_string(serial % 3);
            node->record.SetField(kFileName, name);
            node->record.SetField(kFullPath, name + "#" + std::to_string(serial++));
            node->record.SetField(kFileType, folder ? kKindDirectory : kKindFile);
            node->record.SetField(kFileSize, std::to_string(next(4)));
            node->record.SetField(kFileTime, times[next(4)]);
            if (folder)
                folders.emplace_back(node, depth + 1);
        }
    }
    return tree;
}

// Every entry in pre-order with its row, walked through the model's own indexes; FullPath tells
// entries with equal names apart.
std::string ThroughModel(const QAbstractItemModel& model, const QModelIndex& parent = {})
{
    std::string text;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        text += std::to_string(row) + ":" + index.data().toString().toStdString() + " ";
        if (model.hasChildren(index))
            text += "( " + ThroughModel(model, index) + ") ";
    }
    return text;
}

std::string ThroughTree(const CatalogTree& tree, const CatalogTreeNode* parent = nullptr)
{
    std::string text;
    for (int row = 0; row < tree.ChildCount(parent); ++row) {
        const CatalogTreeNode* child = tree.Child(parent, row);
        text += std::to_string(child->Row()) + ":" + std::string(child->record.Field(kFullPath)) + " ";
        if (child->HasChildren())
            text += "( " + ThroughTree(tree, child) + ") ";
    }
    return text;
}

class FileListSort : public ::testing::Test {
protected:
    void SetUp() override
    {
        model_.SetColumns({{"FullPath", kFullPath}});
        model_.AdoptTree(MakeTree());
        expected_ = MakeTree();
    }
    void Sort(int key, Qt::SortOrder order)
    {
        model_.Sort(key, order);
        SortTreeBy(expected_, key, SortRuleOfKey(key), order == Qt::AscendingOrder);
    }
    QModelIndex FirstFolder(const QModelIndex& parent) const
    {
        for (int row = 0; row < model_.rowCount(parent); ++row)
            if (model_.hasChildren(model_.index(row, 0, parent)))
                return model_.index(row, 0, parent);
        return {};
    }

    // No model tester here: it reads every level after each change, which would sort them all.
    FileListModel model_;
    CatalogTree expected_;
};

TEST_F(FileListSort, LevelsReadAtAnyTimeGetTheOrderOfEverySortBeforeThem)
{
    Sort(kFileSize, Qt::AscendingOrder);
    // One branch is read between the sorts, the rest only at the end.
    const QModelIndex folder = FirstFolder(FirstFolder({}));
    ASSERT_TRUE(folder.isValid());
    model_.rowCount(folder);
    model_.index(0, 0, folder);
    Sort(kFileTime, Qt::DescendingOrder);
    Sort(kFileName, Qt::AscendingOrder);
    Sort(kFileSize, Qt::DescendingOrder);
    Sort(kFileName, Qt::DescendingOrder);
    EXPECT_EQ(ThroughModel(model_), ThroughTree(expected_));
    EXPECT_EQ(ThroughTree(model_.Tree()), ThroughTree(expected_));

    // The whole tree read at once, then sorted again and read through the model.
    Sort(kFileTime, Qt::AscendingOrder);
    EXPECT_EQ(ThroughTree(model_.Tree()), ThroughTree(expected_));
    Sort(kFileSize, Qt::AscendingOrder);
    EXPECT_EQ(ThroughModel(model_), ThroughTree(expected_));
}

TEST_F(FileListSort, HeldIndexesFollowTheirEntriesAndChangesAndBatchesSeeTheShownOrder)
{
    Sort(kFileName, Qt::AscendingOrder);
    const QPersistentModelIndex folder(FirstFolder({}));
    const QModelIndex deep = FirstFolder(folder);
    ASSERT_TRUE(deep.isValid());
    const QPersistentModelIndex held(model_.index(model_.rowCount(deep) - 1, 0, deep));
    const CatalogTreeNode* heldNode = model_.NodeAt(held);
    Sort(kFileSize, Qt::DescendingOrder);
    ASSERT_TRUE(held.isValid());
    EXPECT_EQ(model_.NodeAt(held), heldNode);
    EXPECT_EQ(held.row(), heldNode->Row());
    EXPECT_EQ(model_.index(held.row(), 0, held.parent()), QModelIndex(held));

    // A renamed folder tells the views about entries below it, in levels not read yet too:
    // each range is the entry itself or a whole level in its shown order.
    Sort(kFileTime, Qt::AscendingOrder);
    ASSERT_TRUE(folder.isValid());
    int ranges = 0;
    QObject::connect(&model_, &QAbstractItemModel::dataChanged, [&](const QModelIndex& first, const QModelIndex& last) {
        ++ranges;
        ASSERT_TRUE(first.isValid() && last.isValid());
        EXPECT_EQ(first.parent(), last.parent());
        EXPECT_EQ(model_.index(first.row(), 0, first.parent()), first.siblingAtColumn(0));
        EXPECT_EQ(model_.index(last.row(), 0, last.parent()), last.siblingAtColumn(0));
        if (first.row() != last.row() || ranges > 1) {
            EXPECT_EQ(first.row(), 0);
            EXPECT_EQ(last.row(), model_.rowCount(first.parent()) - 1);
        }
    });
    model_.EntryChanged(*model_.NodeAt(folder), true);
    EXPECT_GT(ranges, 3);

    CatalogTree batch;
    for (const char* name : {"z", "a"}) {
        CatalogTreeNode* node = batch.Append(nullptr);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, name);
        node->record.SetField(kFileType, kKindFile);
        expected_.Append(nullptr, node->record);
    }
    model_.AppendBatch(std::move(batch));
    EXPECT_EQ(ThroughModel(model_), ThroughTree(expected_));
}

}  // namespace
}  // namespace vellumark
