#include "ui/history_commands.h"

#include "core/catalog_file.h"
#include "scan/folder_scanner.h"
#include "tests/system/fake_volumes.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/catalog_session.h"
#include "ui/compare_dialog.h"
#include "ui/duplicates_dialog.h"
#include "ui/file_list_model.h"
#include "ui/library_manager_dialog.h"
#include "ui/library_tree_view.h"
#include "ui/main_commands.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/result_rows.h"
#include "ui/search_dialog.h"
#include "ui/update_catalog_dialog.h"
#include "ui/wait_window.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <map>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::CancelOnShow;
using testing::WhenShown;
using testing::WriteFile;

// A catalog of one folder "Disc" with the files given as (name, size).
std::string DiscCatalog(std::initializer_list<std::pair<const char*, int>> files)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\">"
                       "<file FileName=\"Disc\" FullPath=\"Disc\" FileType=\"directory\">";
    for (const auto& [name, size] : files)
        text += std::string("<file FileName=\"") + name + "\" FullPath=\"Disc/" + name + "\" FileType=\"file\" FileSize=\""
                + std::to_string(size) + "\" FileTime=\"2020-01-01 10:00:00\"/>";
    return text + "</file></fileinfo>";
}

class HistoryCommandsTest : public testing::ShownMainWindowTest {
protected:
    void SetUp() override
    {
        ShownMainWindowTest::SetUp();
        main_->History().SetVolumes(&volumes_);
        main_->History().SetFolderChooser([this](QWidget*, const std::string&) -> std::optional<std::string> { return source_; });
        WriteFile(source_ + "/sub/c.mp3", "123");
    }

    // Focuses the library item at the path (the root for an empty one) and offers its menu.
    LibraryTreeView& MenuOn(const std::string& path)
    {
        LibraryTreeView& tree = *main_->LibraryTree();
        EXPECT_TRUE(main_->FillLibraryTree(library_));
        CatalogTreeNode* target = tree.Model()->Tree().First();
        for (CatalogTreeNode* node : tree.Model()->Tree().PreOrder())
            if (!path.empty() && node->record.Field(kFullPath) == path)
                target = node;
        EXPECT_TRUE(tree.PrepareContextMenu(target));
        EXPECT_EQ(tree.FocusedNode(), target);
        return tree;
    }
    // The catalog of the source folder in the Mp3 group, with descriptions on a.mp3 and b.txt.
    std::string ScanDescribedCatalog()
    {
        const std::string path = library_ + "/Mp3/disc.xml";
        CatalogTree tree;
        testing::RecordingProgress progress;
        EXPECT_TRUE(ScanFolder(tree, {source_, path, false, ""}, volumes_, progress).status);
        for (CatalogTreeNode* node : tree.PreOrder()) {
            if (node->record.Field(kFileName) == "a.mp3")
                node->record.SetField(kDescription, "first song");
            if (node->record.Field(kFileName) == "b.txt")
                node->record.SetField(kDescription, "the notes");
        }
        EXPECT_TRUE(WriteCatalogFile(tree, path, progress));
        return path;
    }
    void DriveUpdateDialog(const std::string& folder)
    {
        WhenShown<UpdateCatalogDialog>([folder](UpdateCatalogDialog& dialog) {
            dialog.FolderEdit()->setText(ToQString(folder));
            dialog.accept();
        });
    }
    QModelIndex Row(int row, const QModelIndex& parent = {}) const
    {
        return main_->Session().Model()->index(row, FileNameColumn(), parent);
    }
    int FileNameColumn() const
    {
        const std::vector<ListColumn>& columns = main_->Session().Model()->Columns();
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].key == kFileName)
                return static_cast<int>(i);
        return 0;
    }
    QStringList RowTexts(const QModelIndex& parent = {}) const
    {
        QStringList texts;
        for (int row = 0; row < main_->Session().Model()->rowCount(parent); ++row)
            texts << Row(row, parent).data().toString();
        return texts;
    }
    // Opens the list's menu on the row and chooses "Open in catalog"; false when not offered.
    bool OpenInCatalog(const QModelIndex& row)
    {
        main_->FileList()->setCurrentIndex(row);
        emit main_->ListMenu()->aboutToShow();
        if (!main_->OpenInCatalogAction()->isVisible())
            return false;
        main_->OpenInCatalogAction()->trigger();
        return true;
    }
    std::string FocusedListName() const
    {
        const CatalogTreeNode* node = main_->FocusedListNode();
        return node ? std::string(node->record.Field(kFileName)) : std::string();
    }

    testing::FakeVolumes volumes_;
};

TEST(DuplicateGroupText, CountsTheCopiesAndTheBytesWasted)
{
    EXPECT_EQ(DuplicateGroupText(3, 12897485), "3 copies, 12.3 MB wasted");
    EXPECT_EQ(DuplicateGroupText(2, 10), "2 copies, 10 bytes wasted");
    EXPECT_EQ(DuplicateGroupText(2, 3000), "2 copies, 2.9 KB wasted");
}

TEST_F(HistoryCommandsTest, TheMenuOffersTheCatalogCommandsOnACatalogAndDuplicatesOnAGroup)
{
    WriteFile(library_ + "/Mp3/one.xml", DiscCatalog({{"a.mp3", 10}}));
    LibraryTreeView& tree = MenuOn(library_ + "/Mp3/one.xml");
    EXPECT_TRUE(tree.UpdateAction()->isVisible());
    EXPECT_TRUE(tree.CompareAction()->isVisible());
    EXPECT_FALSE(tree.DuplicatesAction()->isVisible());
    MenuOn(library_ + "/Mp3");
    EXPECT_FALSE(tree.UpdateAction()->isVisible());
    EXPECT_TRUE(tree.DuplicatesAction()->isVisible());
    EXPECT_EQ(tree.UpdateAction()->text(), "Update catalog...");
    EXPECT_EQ(tree.CompareAction()->text(), "Compare with...");
    EXPECT_EQ(tree.DuplicatesAction()->text(), "Find duplicates");
}

TEST_F(HistoryCommandsTest, ARightClickOrTheMenuKeyOpensTheMenuOnItsRow)
{
    const std::string path = library_ + "/Mp3/one.xml";
    WriteFile(path, DiscCatalog({{"a.mp3", 10}}));
    LibraryTreeView& tree = MenuOn({});
    QTreeView* view = tree.View();
    CatalogTreeNode* catalog = nullptr;
    for (CatalogTreeNode* node : tree.Model()->Tree().PreOrder())
        if (node->record.Field(kFullPath) == path)
            catalog = node;
    ASSERT_NE(catalog, nullptr);
    view->expandAll();
    const QPoint onCatalog = view->visualRect(tree.Model()->IndexOf(catalog)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onCatalog, view->viewport()->mapToGlobal(onCatalog));
    QApplication::sendEvent(view->viewport(), &click);
    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return tree.ContextMenu()->isVisible(); }));
    EXPECT_EQ(tree.FocusedNode(), catalog);
    EXPECT_TRUE(tree.UpdateAction()->isVisible());
    tree.ContextMenu()->close();

    // The menu key: the focused row, wherever the pointer is.
    view->setCurrentIndex(tree.Model()->index(0, 0));
    QContextMenuEvent key(QContextMenuEvent::Keyboard, onCatalog, view->mapToGlobal(onCatalog));
    QApplication::sendEvent(view, &key);
    ASSERT_TRUE(testing::ProcessEventsUntil([&] { return tree.ContextMenu()->isVisible(); }));
    EXPECT_EQ(tree.FocusedNode(), tree.Model()->Tree().First());
    EXPECT_TRUE(tree.DuplicatesAction()->isVisible());
    EXPECT_FALSE(tree.UpdateAction()->isVisible());
    tree.ContextMenu()->close();
}

TEST_F(HistoryCommandsTest, AnUpdateKeepsTheDescriptionsFoundAgainAndAsksBeforeLosingTheOthers)
{
    const std::string path = ScanDescribedCatalog();
    ASSERT_TRUE(main_->Session().Open(path));
    std::filesystem::remove(source_ + "/b.txt");
    WriteFile(source_ + "/d.mp3", "1234567");
    const std::string before = ReadFile(path);

    // Declined: nothing is written.
    DriveUpdateDialog(source_);
    MenuOn(path).UpdateAction()->trigger();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_NE(prompts_.messages[0].find("b.txt: the notes"), std::string::npos) << prompts_.messages[0];
    EXPECT_EQ(ReadFile(path), before);

    prompts_.messages.clear();
    prompts_.yesNoAnswers = {true};
    DriveUpdateDialog(source_);
    MenuOn(path).UpdateAction()->trigger();
    const std::string after = ReadFile(path);
    EXPECT_NE(after.find("Description=\"first song\""), std::string::npos);
    EXPECT_EQ(after.find("the notes"), std::string::npos);
    EXPECT_NE(after.find("FileName=\"d.mp3\""), std::string::npos);
    EXPECT_EQ(after.find("FileName=\"b.txt\""), std::string::npos);
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_NE(prompts_.messages[1].find("added 1, removed 1, changed 0, unchanged 3, unreadable 0, descriptions kept 1"),
              std::string::npos)
        << prompts_.messages[1];
    // The list showed the catalog: it shows the new content.
    std::vector<std::string> names;
    for (const CatalogTreeNode* node : main_->Session().Tree().PreOrder())
        names.emplace_back(node->record.Field(kFileName));
    EXPECT_NE(std::find(names.begin(), names.end(), "d.mp3"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "b.txt"), names.end());
}

TEST_F(HistoryCommandsTest, ACancelledUpdateLeavesTheCatalogByteIdentical)
{
    const std::string path = ScanDescribedCatalog();
    std::filesystem::remove(source_ + "/a.mp3");
    const std::string before = ReadFile(path);
    prompts_.yesNoAnswers = {true, true};
    DriveUpdateDialog(source_);
    {
        CancelOnShow cancel(main_->WaitingWindow());
        MenuOn(path).UpdateAction()->trigger();
    }
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(prompts_.messages.empty());

    // Cancelling the dialog scans nothing either.
    WhenShown<UpdateCatalogDialog>([](UpdateCatalogDialog& dialog) { dialog.reject(); });
    MenuOn(path).UpdateAction()->trigger();
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(HistoryCommandsTest, AMediumNotFoundByItsLabelIsAQuestionAndTheWrongMediumAnother)
{
    const std::string path = library_ + "/DVD/backup.xml";
    WriteFile(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo>"
                    "<file FileName=\"BACKUP(/media/cd/)\" FullPath=\"/media/cd/\" FileType=\"directory\" FileSize=\"9\">"
                    "<file FileName=\"x.doc\" FullPath=\"/media/cd/x.doc\" FileType=\"file\" FileSize=\"9\" Description=\"kept\"/>"
                    "<file FileName=\"y.doc\" FullPath=\"/media/cd/y.doc\" FileType=\"file\" FileSize=\"9\"/>"
                    "<file FileName=\"z.doc\" FullPath=\"/media/cd/z.doc\" FileType=\"file\" FileSize=\"9\"/>"
                    "</file></fileinfo>");
    const std::string before = ReadFile(path);
    QString note;
    WhenShown<UpdateCatalogDialog>([&](UpdateCatalogDialog& dialog) {
        if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("noteLabel")))
            note = label->text();
        EXPECT_TRUE(dialog.FolderEdit()->text().isEmpty());
        dialog.onChooseFolderClicked();
        dialog.accept();
    });
    MenuOn(path).UpdateAction()->trigger();
    EXPECT_EQ(note, "No medium labelled \"BACKUP\" is mounted now: choose the folder to scan.");
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], "Update catalog: The folder " + source_ + " is not the medium labelled \"BACKUP\". "
                                    "Update the catalog \"backup\" from it anyway?");
    EXPECT_EQ(ReadFile(path), before);

    // Taken anyway, nothing of the catalog is found there and a description would be lost.
    prompts_.messages.clear();
    prompts_.yesNoAnswers = {true};
    DriveUpdateDialog(source_);
    MenuOn(path).UpdateAction()->trigger();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_NE(prompts_.messages[1].find("Only 0 of 3 entries were found again"), std::string::npos) << prompts_.messages[1];
    EXPECT_NE(prompts_.messages[1].find("x.doc: kept"), std::string::npos);
    EXPECT_EQ(ReadFile(path), before);

    // With the medium mounted under its label, the dialog offers it.
    volumes_.labels[source_] = "BACKUP";
    WhenShown<UpdateCatalogDialog>([&](UpdateCatalogDialog& dialog) {
        EXPECT_EQ(dialog.FolderEdit()->text().toStdString(), source_ + "/");
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("noteLabel")), nullptr);
        dialog.reject();
    });
    MenuOn(path).UpdateAction()->trigger();
}

TEST_F(HistoryCommandsTest, ComparingTwoCatalogsFillsTheListWithMarkedRowsAndOpensTheOldEntry)
{
    const std::string oldPath = library_ + "/Mp3/old.xml";
    const std::string newPath = library_ + "/Mp3/new.xml";
    WriteFile(oldPath, DiscCatalog({{"a.mp3", 10}, {"b.mp3", 20}, {"gone.mp3", 30}}));
    WriteFile(newPath, DiscCatalog({{"a.mp3", 10}, {"b.mp3", 25}, {"new.mp3", 40}}));
    const int columns = main_->Session().Model()->columnCount();
    WhenShown<CompareDialog>([](CompareDialog& dialog) {
        EXPECT_TRUE(dialog.CatalogButton()->isChecked());
        dialog.CatalogBox()->setCurrentIndex(dialog.CatalogBox()->findText(QStringLiteral("Mp3/new.xml")));
        dialog.accept();
    });
    MenuOn(oldPath).CompareAction()->trigger();
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();

    EXPECT_EQ(RowTexts(), (QStringList{"b.mp3", "gone.mp3", "new.mp3"}));
    EXPECT_EQ(main_->Session().Model()->columnCount(), columns);
    EXPECT_EQ(Row(0).data(Qt::ToolTipRole).toString(), "Changed since \"old\"\nFileSize: 20 \u2192 25");
    EXPECT_EQ(Row(1).data(Qt::ToolTipRole).toString(), "Removed: only in \"old\"");
    EXPECT_EQ(Row(2).data(Qt::ToolTipRole).toString(), "Added: only in \"new\"");
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(Row(row).data(Qt::DecorationRole).value<QIcon>().isNull());
    // The change's icon is its own, not the file's.
    const qint64 changedIcon = Row(0).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    EXPECT_NE(changedIcon, Row(1).data(Qt::DecorationRole).value<QIcon>().cacheKey());

    ASSERT_TRUE(OpenInCatalog(Row(1)));
    EXPECT_EQ(main_->Session().CatalogPath(), oldPath);
    EXPECT_EQ(FocusedListName(), "gone.mp3");
    // A catalog's own rows carry no marks.
    EXPECT_NE(main_->Session().Model()->IndexOf(main_->FocusedListNode(), FileNameColumn()).data(Qt::ToolTipRole).toString(),
              "Removed: only in \"old\"");
    EXPECT_FALSE(OpenInCatalog(main_->FileList()->currentIndex()));
}

TEST_F(HistoryCommandsTest, ComparingWithAFolderListsWhatChangedThere)
{
    const std::string path = ScanDescribedCatalog();
    std::filesystem::remove(source_ + "/b.txt");
    WriteFile(source_ + "/sub/e.mp3", "1");
    WhenShown<CompareDialog>([](CompareDialog& dialog) {
        dialog.onChooseFolderClicked();
        EXPECT_TRUE(dialog.FolderButton()->isChecked());
        dialog.accept();
    });
    MenuOn(path).CompareAction()->trigger();
    EXPECT_EQ(RowTexts(), (QStringList{"b.txt", "e.mp3"}));
    EXPECT_EQ(Row(1).data(Qt::ToolTipRole).toString(), ToQString("Added: only in \"" + source_ + "\""));
    // What only the folder holds is in no catalog.
    EXPECT_FALSE(OpenInCatalog(Row(1)));
    ASSERT_TRUE(OpenInCatalog(Row(0)));
    EXPECT_EQ(FocusedListName(), "b.txt");
}

TEST_F(HistoryCommandsTest, DuplicatesOfTheLibraryShowOneParentRowPerGroupWithItsCopies)
{
    WriteFile(library_ + "/Mp3/one.xml", DiscCatalog({{"song.mp3", 3000}, {"\xC3\x89.mp3", 10}, {"empty.txt", 0}}));
    WriteFile(library_ + "/DVD/two.xml", DiscCatalog({{"SONG.MP3", 3000}, {"\xC3\xA9.mp3", 10}, {"empty.txt", 0}}));
    WriteFile(library_ + "/Book/three.xml", DiscCatalog({{"song.mp3", 3000}, {"other.mp3", 10}}));

    WhenShown<DuplicatesDialog>([](DuplicatesDialog& dialog) { dialog.accept(); });
    LibraryTreeView& tree = MenuOn({});
    ASSERT_TRUE(tree.DuplicatesAction()->isVisible());
    tree.DuplicatesAction()->trigger();
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
    // "É.mp3" and "é.mp3" differ in more than the case of a to z; empty files are no copies.
    EXPECT_EQ(RowTexts(), (QStringList{"3 copies, 5.9 KB wasted"}));
    // The copies come in the library's listing order.
    QStringList copies = RowTexts(Row(0));
    copies.sort();
    EXPECT_EQ(copies, (QStringList{"SONG.MP3", "song.mp3", "song.mp3"}));
    EXPECT_TRUE(main_->FileList()->isExpanded(Row(0)));
    EXPECT_EQ(Row(0).data(Qt::ToolTipRole).toString(), "3 copies, 5.9 KB wasted");

    // By size alone the 10-byte files form a group of their own, ranked below.
    WhenShown<DuplicatesDialog>([](DuplicatesDialog& dialog) {
        dialog.SizeButton()->setChecked(true);
        dialog.accept();
    });
    MenuOn({}).DuplicatesAction()->trigger();
    EXPECT_EQ(RowTexts(), (QStringList{"3 copies, 5.9 KB wasted", "3 copies, 20 bytes wasted"}));

    const QModelIndex copy = Row(1, Row(1));
    ASSERT_TRUE(OpenInCatalog(copy));
    EXPECT_FALSE(OpenInCatalog(Row(0)));
}

TEST_F(HistoryCommandsTest, OpenInCatalogFocusesTheCopyFoundInItsCatalog)
{
    WriteFile(library_ + "/Mp3/one.xml", DiscCatalog({{"a.mp3", 10}, {"song.mp3", 3000}}));
    WriteFile(library_ + "/DVD/two.xml", DiscCatalog({{"b.mp3", 10}, {"c.mp3", 10}, {"song.mp3", 3000}}));
    WhenShown<DuplicatesDialog>([](DuplicatesDialog& dialog) { dialog.accept(); });
    MenuOn({}).DuplicatesAction()->trigger();
    ASSERT_EQ(RowTexts(), (QStringList{"2 copies, 2.9 KB wasted"}));
    const std::string two = library_ + "/DVD/two.xml";
    QModelIndex copy = Row(0, Row(0));
    if (copy.data(Qt::ToolTipRole).toString() != ToQString("In the catalog " + two))
        copy = Row(1, Row(0));
    EXPECT_EQ(copy.data(Qt::ToolTipRole).toString(), ToQString("In the catalog " + two));
    ASSERT_TRUE(OpenInCatalog(copy));
    EXPECT_EQ(main_->Session().CatalogPath(), two);
    EXPECT_EQ(FocusedListName(), "song.mp3");
    EXPECT_EQ(main_->FocusedListNode()->record.Field(kFullPath), "Disc/song.mp3");
    EXPECT_EQ(main_->FileList()->currentIndex().row(), 2);
    EXPECT_TRUE(main_->FileList()->isExpanded(main_->Session().Model()->index(0, 0)));
    EXPECT_EQ(main_->LibraryTree()->FocusedNode()->record.Field(kFullPath), library_ + "/DVD/two.xml");
}

TEST_F(HistoryCommandsTest, TheLibraryManagerOffersTheCommandsAndClosesToShowTheResults)
{
    WriteFile(library_ + "/Mp3/one.xml", DiscCatalog({{"song.mp3", 3000}}));
    WriteFile(library_ + "/Mp3/two.xml", DiscCatalog({{"song.mp3", 3000}}));
    bool offered = false;
    WhenShown<LibraryManagerDialog>([&](LibraryManagerDialog& manager) {
        LibraryTreeView& tree = *manager.LibraryTree();
        CatalogTreeNode* group = nullptr;
        for (CatalogTreeNode* node : tree.Model()->Tree().PreOrder())
            if (node->record.Field(kFullPath) == library_ + "/Mp3")
                group = node;
        offered = group && tree.PrepareContextMenu(group) && tree.DuplicatesAction()->isVisible();
        WhenShown<DuplicatesDialog>([](DuplicatesDialog& dialog) { dialog.accept(); });
        tree.DuplicatesAction()->trigger();
    });
    RunLibraryCommand(*main_);
    EXPECT_TRUE(offered);
    EXPECT_EQ(RowTexts(), (QStringList{"2 copies, 2.9 KB wasted"}));
}

// Search results keep their catalog file: two catalogs of one name in two groups each give a
// result, and each result opens its own catalog with the entry focused.
TEST_F(HistoryCommandsTest, ASearchResultOpensInItsOwnCatalog)
{
    testing::MakeDirs(library_ + "/Mp3");
    testing::MakeDirs(library_ + "/Movie");
    WriteFile(library_ + "/Mp3/Live.xml", DiscCatalog({{"intro.mp3", 1}, {"song.mp3", 10}}));
    WriteFile(library_ + "/Movie/Live.xml", DiscCatalog({{"song.mp3", 20}}));
    WhenShown<SearchDialog>([](SearchDialog& dialog) {
        dialog.NameEdit()->setText(QStringLiteral("song"));
        dialog.onOkClicked();
    });
    RunSearchCommand(*main_);
    ASSERT_EQ(RowTexts(), (QStringList{"song.mp3", "song.mp3"}));

    std::map<std::string, std::string> opened;  // the catalog each result opened, by its size
    for (int row = 0; row < 2; ++row) {
        WhenShown<SearchDialog>([](SearchDialog& dialog) {
            dialog.NameEdit()->setText(QStringLiteral("song"));
            dialog.onOkClicked();
        });
        RunSearchCommand(*main_);
        const std::string size(main_->Session().Model()->Tree().TopLevel(row)->record.Field(kFileSize));
        ASSERT_TRUE(OpenInCatalog(Row(row)));
        EXPECT_EQ(FocusedListName(), "song.mp3");
        EXPECT_EQ(main_->FocusedListNode()->record.Field(kFileSize), size);
        opened[size] = main_->Session().CatalogPath();
    }
    EXPECT_EQ(opened["10"], library_ + "/Mp3/Live.xml");
    EXPECT_EQ(opened["20"], library_ + "/Movie/Live.xml");
    // A catalog's own rows are not search results.
    EXPECT_FALSE(OpenInCatalog(main_->FileList()->currentIndex()));
}

}  // namespace
}  // namespace vellumark
