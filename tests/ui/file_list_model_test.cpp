#include "ui/file_list_model.h"

#include "tests/ui/ui_test_support.h"
#include "ui/detail_panel_model.h"
#include "ui/field_display.h"
#include "ui/ui_colors.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QIcon>
#include <QLocale>

namespace vellumark {
namespace {

class FileList : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        std::vector<ListColumn> columns;
        for (const char* name : {"FileName", "FileSize", "SizePercentage", "Description", "filesize"})
            columns.push_back({name, ColumnKeyIndex(name), std::string_view(name) != "Description" && std::string_view(name) != "FileName",
                               std::string_view(name) == "FileSize" ? Qt::AlignRight : Qt::AlignLeft});
        model_.SetColumns(columns);
    }
    static CatalogTreeNode* Add(CatalogTree& tree, CatalogTreeNode* parent, std::string_view name, std::string_view kind,
                                std::string_view size)
    {
        CatalogTreeNode* node = tree.Append(parent);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFileType, kind);
        node->record.SetField(kFileSize, size);
        return node;
    }

    FileListModel model_;
    QAbstractItemModelTester tester_{&model_, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(FileList, CellsShowSizesInKilobytesPercentagesAndHintsByKey)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "CD", "directory", "1234567");
    root->record.SetField(kSizePercentage, "12.50");
    Add(tree, root, "a.mp3", "file", "1536")->record.SetField(kDescription, "holiday");
    Add(tree, root, "odd", "file", "")->record.SetField(kSizePercentage, "n/a");
    Add(tree, root, "bad", "file", "12 bytes");
    model_.AdoptTree(std::move(tree));

    const QModelIndex cd = model_.index(0, 0);
    EXPECT_EQ(cd.siblingAtColumn(1).data().toString(), "1,205.63 KB");
    EXPECT_EQ(cd.siblingAtColumn(2).data().toString(), "12.50%");
    EXPECT_EQ(cd.siblingAtColumn(4).data().toString(), "CD");  // an unknown name shows FileName
    const QModelIndex a = model_.index(0, 0, cd);
    EXPECT_EQ(a.siblingAtColumn(1).data().toString(), "1.50 KB");
    EXPECT_EQ(a.data(Qt::ToolTipRole).toString(), "a.mp3 (Press F2 to edit the file's FileName)");
    EXPECT_EQ(a.siblingAtColumn(3).data(Qt::ToolTipRole).toString(), "holiday (Press F2 to edit the file's Description)");
    EXPECT_EQ(a.siblingAtColumn(1).data(Qt::ToolTipRole).toString(), "1.50 KB");
    const QModelIndex odd = model_.index(1, 0, cd);
    EXPECT_EQ(odd.siblingAtColumn(1).data().toString(), "");
    EXPECT_EQ(odd.siblingAtColumn(2).data().toString(), "n/a%");
    EXPECT_EQ(model_.index(2, 1, cd).data().toString(), "");

    EXPECT_TRUE(model_.flags(a) & Qt::ItemIsEditable);
    EXPECT_TRUE(model_.flags(a.siblingAtColumn(3)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model_.flags(a.siblingAtColumn(1)) & Qt::ItemIsEditable);
    EXPECT_EQ(a.siblingAtColumn(1).data(Qt::BackgroundRole).value<QBrush>().color(), colors::TreeBackground());
    EXPECT_EQ(a.data(Qt::BackgroundRole).value<QBrush>().color(), colors::EditableCell());
    EXPECT_EQ(a.siblingAtColumn(1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);

    // Icons only in the FileName column; folders have an open form; one icon per extension.
    EXPECT_FALSE(cd.data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(cd.data(FileListModel::kOpenIconRole).value<QIcon>().isNull());
    EXPECT_TRUE(cd.siblingAtColumn(1).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(a.data(Qt::DecorationRole).value<QIcon>().cacheKey(), a.data(Qt::DecorationRole).value<QIcon>().cacheKey());
}

TEST_F(FileList, EditsGoToTheOwnerWithTheColumnsKeyAndBatchesAppendInOrder)
{
    CatalogTree tree;
    Add(tree, nullptr, "x", "file", "1");
    model_.AdoptTree(std::move(tree));
    std::vector<std::pair<int, std::string>> edits;
    model_.SetEditHandler([&](CatalogTreeNode&, int key, const std::string& text) { edits.emplace_back(key, text); });
    EXPECT_TRUE(model_.setData(model_.index(0, 3), "note"));
    EXPECT_FALSE(model_.setData(model_.index(0, 1), "999"));
    EXPECT_EQ(edits, (std::vector<std::pair<int, std::string>>{{kDescription, "note"}}));

    CatalogTree batch;
    CatalogTreeNode* folder = Add(batch, nullptr, "folder", "directory", "3");
    Add(batch, folder, "inner", "file", "3");
    Add(batch, nullptr, "y", "file", "2");
    model_.AppendBatch(std::move(batch));
    ASSERT_EQ(model_.rowCount(), 3);
    EXPECT_EQ(model_.index(1, 0).data().toString(), "folder");
    EXPECT_EQ(model_.index(2, 0).data().toString(), "y");
    EXPECT_EQ(model_.index(0, 0, model_.index(1, 0)).data().toString(), "inner");
    EXPECT_EQ(model_.Tree().NodeCount(), 4u);

    model_.Sort(kFileSize, Qt::DescendingOrder);
    EXPECT_EQ(model_.index(0, 0).data().toString(), "folder");
    EXPECT_EQ(model_.index(1, 0).data().toString(), "y");
    model_.Clear();
    EXPECT_EQ(model_.rowCount(), 0);
}

TEST(DetailPanel, OnlyFileNameAndDescriptionValuesAreEditableAndOnlyForListEntries)
{
    DetailPanelModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.SetRows({{"FileName", "a.mp3"}, {"FullPath", "CD/a.mp3"}, {"Description", ""}});
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(model.index(0, 1).data(Qt::ToolTipRole).toString(), "a.mp3");
    EXPECT_TRUE(model.index(0, 1).data(Qt::BackgroundRole).isNull());

    model.SetEditable(true);
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.flags(model.index(1, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(2, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(model.index(0, 1).data(Qt::ToolTipRole).toString(), "a.mp3 (Press F2 to edit the file's FileName)");
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(), "FileName");
    EXPECT_EQ(model.index(1, 1).data(Qt::ToolTipRole).toString(), "CD/a.mp3");
    EXPECT_EQ(model.index(0, 1).data(Qt::BackgroundRole).value<QBrush>().color(), colors::EditableCell());
    EXPECT_TRUE(model.index(1, 1).data(Qt::BackgroundRole).isNull());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Key");

    QString editedKey, editedText;
    model.SetEditHandler([&](const QString& key, const QString& text) {
        editedKey = key;
        editedText = text;
    });
    EXPECT_TRUE(model.setData(model.index(2, 1), "  as typed "));
    EXPECT_EQ(editedKey, "Description");
    EXPECT_EQ(editedText, "  as typed ");
    EXPECT_EQ(model.index(2, 1).data().toString(), "  as typed ");
    EXPECT_FALSE(model.setData(model.index(1, 1), "x"));
}

}  // namespace
}  // namespace vellumark
