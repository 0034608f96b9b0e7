#include "ui/library_tree_view.h"

#include "config/config.h"
#include "config/program_folder.h"
#include "library/library_store.h"
#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLocale>
#include <QMimeData>
#include <QTreeView>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

class LibraryTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(SetProgramFolder(home_.Path()));
        ResetConfigInstance();
        library_ = ConfigInstance().GetLibraryPath();
        MakeDirs(library_ + "/Mp3");
        MakeDirs(library_ + "/Book");
        WriteFile(library_ + "/Mp3/Best of 2004.xml", std::string(1234567, 'x'));
        WriteFile(library_ + "/Mp3/alpha.xml", std::string(1536, 'x'));
        WriteFile(library_ + "/Mp3/Alpha.b.xml", std::string(1536, 'x'));
        WriteFile(library_ + "/empty.xml", "");
    }
    void TearDown() override { ResetConfigInstance(); }

    std::vector<QString> Column(const QModelIndex& parent, int column) const
    {
        std::vector<QString> texts;
        for (int row = 0; row < frame_.Model()->rowCount(parent); ++row)
            texts.push_back(frame_.Model()->index(row, column, parent).data().toString());
        return texts;
    }
    QModelIndex Find(const QModelIndex& parent, const QString& name) const
    {
        for (int row = 0; row < frame_.Model()->rowCount(parent); ++row)
            if (frame_.Model()->index(row, 0, parent).data().toString() == name)
                return frame_.Model()->index(row, 0, parent);
        return {};
    }

    TempDir home_;
    std::string library_;
    LibraryTreeView frame_;
};

TEST_F(LibraryTreeViewTest, FillTreeShowsTheLibraryWithTheRootFocusedSelectedAndExpanded)
{
    QAbstractItemModelTester tester(frame_.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(frame_.FillTree(library_, false));
    QTreeView* tree = frame_.View();
    const QModelIndex root = frame_.Model()->index(0, 0);
    EXPECT_EQ(root.data().toString(), "CatalogLibrary");
    EXPECT_EQ(tree->currentIndex(), root);
    EXPECT_TRUE(tree->selectionModel()->isRowSelected(0, {}));
    EXPECT_TRUE(tree->isExpanded(root));
    EXPECT_EQ(frame_.FocusedNode()->record.Field(kFileName), "CatalogLibrary");

    const QModelIndex mp3 = Find(root, "Mp3");
    ASSERT_TRUE(mp3.isValid());
    EXPECT_EQ(mp3.siblingAtColumn(2).data().toString(), "");
    const QModelIndex best = Find(mp3, "Best of 2004");
    ASSERT_TRUE(best.isValid());
    EXPECT_EQ(best.siblingAtColumn(2).data().toString(), "1,205.63 KB");
    EXPECT_EQ(best.siblingAtColumn(2).data(Qt::ToolTipRole).toString(), "1,205.63 KB");
    EXPECT_EQ(Find(root, "empty").siblingAtColumn(2).data().toString(), "0.00 KB");
    EXPECT_FALSE(best.siblingAtColumn(1).data().toString().isEmpty());
    EXPECT_FALSE(best.data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(best.siblingAtColumn(1).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(frame_.Model()->headerData(1, Qt::Horizontal).toString(), "Create Time");

    // The frame refuses every edit.
    EXPECT_FALSE(frame_.Model()->flags(best) & Qt::ItemIsEditable);
    EXPECT_FALSE(frame_.Model()->setData(best, "renamed"));
    EXPECT_EQ(best.data().toString(), "Best of 2004");

    ASSERT_TRUE(frame_.FillTree(library_, true));
    EXPECT_EQ(Column(frame_.Model()->index(0, 0), 0).size(), 2u);  // Mp3 and Book only
}

TEST_F(LibraryTreeViewTest, HeaderClicksFlipTheDirectionAcrossColumnsAndGroupsStayOnTop)
{
    QAbstractItemModelTester tester(frame_.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(frame_.FillTree(library_, false));
    const QModelIndex root = frame_.Model()->index(0, 0);
    const QModelIndex mp3 = Find(root, "Mp3");
    QPersistentModelIndex kept(Find(mp3, "Best of 2004"));

    frame_.onHeaderClicked(2);  // "Size": ascending
    EXPECT_EQ(frame_.SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Column(root, 0), (std::vector<QString>{"Book", "Mp3", "empty"}));
    std::vector<QString> sizes = Column(mp3, 0);
    EXPECT_EQ(sizes.back(), "Best of 2004");
    EXPECT_EQ(kept.data().toString(), "Best of 2004");

    frame_.onHeaderClicked(0);  // "CatalogName": the direction flips to descending
    EXPECT_EQ(frame_.SortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Column(root, 0), (std::vector<QString>{"Mp3", "Book", "empty"}));
    // alpha and Alpha compare equal and keep their order from the size sort.
    const std::vector<QString> names = Column(mp3, 0);
    EXPECT_EQ(names.front(), "Best of 2004");
    EXPECT_EQ(frame_.View()->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(frame_.View()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(kept.data().toString(), "Best of 2004");

    // Filling again leaves the store's order: nothing sorts but a header click.
    ASSERT_TRUE(frame_.FillTree(library_, false));
    EXPECT_EQ(frame_.SortOrder(), Qt::DescendingOrder);
}

TEST_F(LibraryTreeViewTest, HostsCanRenameInPlaceAndMoveByDragAndDrop)
{
    ASSERT_TRUE(frame_.FillTree(library_, false));
    const QModelIndex root = frame_.Model()->index(0, 0);
    QModelIndex empty = Find(root, "empty");
    std::string renamedFrom;
    frame_.Model()->SetRenameHandler([&](CatalogTreeNode& node, const QString& name) {
        renamedFrom = std::string(node.record.Field(kFileName));
        node.record.SetField(kFileName, name.toStdString());
        return true;
    });
    EXPECT_TRUE(frame_.Model()->flags(empty) & Qt::ItemIsEditable);
    EXPECT_FALSE(frame_.Model()->flags(root) & Qt::ItemIsEditable);
    EXPECT_TRUE(frame_.Model()->setData(empty, "full"));
    EXPECT_EQ(renamedFrom, "empty");
    EXPECT_EQ(empty.data().toString(), "full");

    std::pair<std::string, std::string> moved;
    frame_.Model()->SetMoveHandler([&](CatalogTreeNode& source, CatalogTreeNode& target) {
        moved = {std::string(source.record.Field(kFileName)), std::string(target.record.Field(kFileName))};
    });
    const QModelIndex book = Find(root, "Book");
    std::unique_ptr<QMimeData> data(frame_.Model()->mimeData({empty}));
    ASSERT_TRUE(data);
    EXPECT_FALSE(frame_.Model()->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, empty));
    EXPECT_FALSE(frame_.Model()->dropMimeData(data.get(), Qt::MoveAction, -1, 0, book));
    EXPECT_EQ(moved, (std::pair<std::string, std::string>{"full", "Book"}));

    // A drag from an older tree is not trusted once the tree was filled again.
    ASSERT_TRUE(frame_.FillTree(library_, false));
    moved = {};
    frame_.Model()->dropMimeData(data.get(), Qt::MoveAction, -1, 0, frame_.Model()->index(0, 0));
    EXPECT_EQ(moved.first, "");
}

}  // namespace
}  // namespace vellumark
