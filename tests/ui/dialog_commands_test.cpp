#include "ui/main_commands.h"

#include "core/path_names.h"
#include "system/folder_listing.h"
#include "tests/system/permissions_bite.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/catalog_session.h"
#include "ui/library_tree_view.h"
#include "ui/export_dialog.h"
#include "ui/file_list_model.h"
#include "ui/library_manager_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/search_dialog.h"
#include "ui/wait_window.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>

#include <filesystem>

namespace vellumark {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::CancelOnShow;
using testing::WhenShown;

class Commands : public testing::ShownMainWindowTest {
protected:
    void SetUp() override
    {
        ShownMainWindowTest::SetUp();
        testing::WriteFile(source_ + "/sub/c.MP3", "123");
        testing::MakeDirs(source_ + "/empty");
    }

    // Picks the folder, names the catalog, chooses the group below the root and the masks.
    void DriveNewCatalog(const std::string& name, int groupRow, std::initializer_list<const char*> maskList)
    {
        // The dialog is driven after this function has returned: keep copies, not the list.
        const std::vector<std::string> masks(maskList.begin(), maskList.end());
        WhenShown<NewCatalogDialog>([=](NewCatalogDialog& dialog) {
            dialog.onChooseFolderClicked();
            dialog.NameEdit()->setText(ToQString(name));
            QTreeView* tree = dialog.LibraryTree()->View();
            tree->setCurrentIndex(tree->model()->index(groupRow, 0, tree->model()->index(0, 0)));
            for (const std::string& mask : masks) {
                dialog.ExtensionEdit()->setText(ToQString(mask));
                dialog.onAddMaskClicked();
            }
            dialog.onOkClicked();
        });
    }
    FolderChooser Chooser() const
    {
        return [this](QWidget*, const std::string&) -> std::optional<std::string> { return source_; };
    }
    std::vector<std::string> ListNames() const
    {
        std::vector<std::string> names;
        for (const CatalogTreeNode* node : main_->Session().Model()->Tree().PreOrder())
            names.emplace_back(node->record.Field(kFileName));
        return names;
    }
    // The library catalogs with the given numbers of entries, all named "song<i>.mp3".
    void MakeCatalogs(int catalogs, int entries)
    {
        for (int c = 0; c < catalogs; ++c) {
            std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\">";
            for (int e = 0; e < entries; ++e)
                text += "<file FileName=\"song" + std::to_string(e) + ".mp3\" FileExt=\"mp3\" FileType=\"file\"/>";
            testing::WriteFile(library_ + "/Mp3/cat" + std::to_string(c) + ".xml", text + "</fileinfo>");
        }
    }
    void DriveSearch(const char* name)
    {
        WhenShown<SearchDialog>([=](SearchDialog& dialog) {
            dialog.NameEdit()->setText(QString::fromLatin1(name));
            dialog.onOkClicked();
        });
    }

};

TEST_F(Commands, ANewCatalogIsScannedWithItsMasksIntoTheGroupSavedAndShownInTheLibraryTree)
{
    DriveNewCatalog("Songs", 0, {"mp3"});  // row 0 below the root: the first default group, Mp3
    RunNewCatalogCommand(*main_, Chooser());
    const std::string path = library_ + "/Mp3/Songs.xml";
    ASSERT_TRUE(PathExists(path)) << (prompts_.messages.empty() ? "" : prompts_.messages.back());
    EXPECT_TRUE(prompts_.messages.empty());
    const std::string file = ReadFile(path);
    EXPECT_NE(file.find("FileName=\"a.mp3\""), std::string::npos);
    EXPECT_NE(file.find("FileName=\"c.MP3\""), std::string::npos);
    EXPECT_EQ(file.find("b.txt"), std::string::npos);
    EXPECT_EQ(file.find("\"empty\""), std::string::npos);
    EXPECT_EQ(main_->Session().CatalogPath(), path);
    EXPECT_EQ(ListNames().front(), source_);
    EXPECT_EQ(ListNames().size(), 4u);  // the root, a.mp3, sub, c.MP3
    // Shown as an opened catalog is: its root expanded.
    EXPECT_TRUE(main_->FileList()->isExpanded(main_->Session().Model()->index(0, 0)));

    bool inTree = false;
    for (const CatalogTreeNode* node : main_->LibraryTree()->Model()->Tree().PreOrder())
        inTree = inTree || node->record.Field(kFullPath) == path;
    EXPECT_TRUE(inTree);
}

TEST_F(Commands, ACancelledScanWritesNothingAndKeepsTheOldCatalogAndList)
{
    const std::string path = library_ + "/Songs.xml";
    testing::WriteFile(path, testing::CatalogWithFiles({"old.mp3"}));
    prompts_.yesNoAnswers = {true};
    WhenShown<NewCatalogDialog>([](NewCatalogDialog& dialog) {
        dialog.onChooseFolderClicked();
        dialog.NameEdit()->setText("Songs");
        dialog.onOkClicked();
    });
    {
        CancelOnShow cancel(main_->WaitingWindow());
        RunNewCatalogCommand(*main_, Chooser());
    }
    EXPECT_EQ(ReadFile(path), testing::CatalogWithFiles({"old.mp3"}));
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Catalog with the same name already exists,overwrite?"});
    EXPECT_TRUE(main_->Session().CatalogPath().empty());
    EXPECT_TRUE(ListNames().empty());
}

TEST_F(Commands, CancellingTheDialogScansNothing)
{
    WhenShown<NewCatalogDialog>([](NewCatalogDialog& dialog) { dialog.reject(); });
    RunNewCatalogCommand(*main_, Chooser());
    EXPECT_EQ(testing::ListFolder(library_).size(), 5u);  // the default groups only
}

TEST_F(Commands, ACatalogMissingUnreadableEntriesIsSavedAndTheUserToldHowMany)
{
    testing::MakeDirs(source_ + "/locked/inner");
    ASSERT_EQ(::chmod((source_ + "/locked").c_str(), 0), 0);
    DriveNewCatalog("Songs", 0, {});
    {
        testing::PermissionsBite permissions;
        if (FolderHandle::Open(source_ + "/locked").IsOpen()) {
            ::chmod((source_ + "/locked").c_str(), 0755);
            GTEST_SKIP() << "file permissions cannot be made to apply to this process";
        }
        RunNewCatalogCommand(*main_, Chooser());
    }
    ::chmod((source_ + "/locked").c_str(), 0755);
    const std::string path = library_ + "/Mp3/Songs.xml";
    ASSERT_TRUE(PathExists(path));
    EXPECT_NE(ReadFile(path).find("FileName=\"locked\""), std::string::npos);
    EXPECT_EQ(main_->Session().CatalogPath(), path);
    EXPECT_EQ(prompts_.messages,
              std::vector<std::string>{"Warning: 1 entries could not be read and are missing from the catalog."});
}

TEST_F(Commands, ASearchFillsTheListWithTheMatchesAndReportsSkippedFiles)
{
    testing::WriteFile(library_ + "/Mp3/My.Disc.xml", testing::CatalogWithFiles({"rock.mp3", "jazz.mp3"}));
    testing::WriteFile(library_ + "/Book/notes.txt", "not a catalog");
    ASSERT_TRUE(main_->Session().Open(library_ + "/Mp3/My.Disc.xml"));
    DriveSearch("rock");
    RunSearchCommand(*main_);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"rock.mp3"});
    EXPECT_EQ(main_->Session().Model()->Tree().First()->record.Field(kDiskName), "My");
    EXPECT_TRUE(main_->Session().CatalogPath().empty());
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_NE(prompts_.messages[0].find("Warning: 1 file(s)"), std::string::npos) << prompts_.messages[0];
}

TEST_F(Commands, ResultsReachTheListCatalogByCatalogAndACancelledSearchKeepsThemAndSaysSo)
{
    constexpr int kCatalogs = 30, kEntries = 3000;
    MakeCatalogs(kCatalogs, kEntries);
    std::vector<int> batchSizes;
    QObject::connect(main_->Session().Model(), &QAbstractItemModel::rowsInserted, main_.get(),
                     [&](const QModelIndex&, int first, int last) {
                         batchSizes.push_back(last - first + 1);
                         main_->WaitingWindow().Cancel();
                     });
    DriveSearch("song");
    RunSearchCommand(*main_);
    const std::size_t found = main_->Session().Model()->Tree().TopLevelCount();
    ASSERT_FALSE(batchSizes.empty());
    EXPECT_EQ(batchSizes.front(), kEntries);
    // Whole catalogs, then at most the part of the one being read when the cancel came.
    for (std::size_t i = 0; i + 1 < batchSizes.size(); ++i)
        EXPECT_EQ(batchSizes[i], kEntries);
    EXPECT_LE(batchSizes.back(), kEntries);
    EXPECT_LT(found, static_cast<std::size_t>(kCatalogs * kEntries));
    EXPECT_TRUE(main_->Session().CatalogPath().empty());
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: The search was cancelled; the results are incomplete."});
}

TEST_F(Commands, ASearchCancelledBeforeItFindsAnythingLeavesTheListEmptyAndSaysSo)
{
    MakeCatalogs(3, 10);
    DriveSearch("song");
    {
        CancelOnShow cancel(main_->WaitingWindow());
        RunSearchCommand(*main_);
    }
    EXPECT_TRUE(ListNames().empty());
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: The search was cancelled; the results are incomplete."});
}

TEST_F(Commands, TheLibraryManagerOpensTheChosenCatalog)
{
    const std::string path = library_ + "/Mp3/My.Disc.xml";
    testing::WriteFile(path, testing::CatalogWithFiles({"rock.mp3"}));
    WhenShown<LibraryManagerDialog>([&](LibraryManagerDialog& dialog) {
        for (const CatalogTreeNode* node : dialog.LibraryTree()->Model()->Tree().PreOrder())
            if (node->record.Field(kFullPath) == path)
                dialog.LibraryTree()->View()->setCurrentIndex(dialog.LibraryTree()->Model()->IndexOf(node));
        dialog.onOpenClicked();
    });
    RunLibraryCommand(*main_);
    EXPECT_EQ(main_->Session().CatalogPath(), path);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"Disc", "rock.mp3"}));
}

TEST_F(Commands, ACatalogDeletedInTheManagerIsNoLongerTheListsFile)
{
    const std::string path = library_ + "/Mp3/My.Disc.xml";
    testing::WriteFile(path, testing::CatalogWithFiles({"rock.mp3"}));
    ASSERT_TRUE(main_->Session().Open(path));
    prompts_.yesNoAnswers = {true};
    WhenShown<LibraryManagerDialog>([&](LibraryManagerDialog& dialog) {
        for (const CatalogTreeNode* node : dialog.LibraryTree()->Model()->Tree().PreOrder())
            if (node->record.Field(kFullPath) == path)
                dialog.LibraryTree()->View()->setCurrentIndex(dialog.LibraryTree()->Model()->IndexOf(node));
        dialog.onDeleteClicked();
        dialog.reject();
    });
    RunLibraryCommand(*main_);
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(main_->Session().CatalogPath().empty());
    EXPECT_TRUE(ListNames().empty());
}

// The commands read the configuration at their start: a value that does not convert is
// reported there, once, and no dialog opens with half its content.
TEST_F(Commands, ABrokenConfigurationIsReportedOnceAndOpensNoDialog)
{
    std::string config = ReadFile(ConfigInstance().GetConfigFileName());
    const std::size_t tick = config.find("DefaultExport=\"True\"");
    ASSERT_NE(tick, std::string::npos);
    config.replace(tick, 20, "DefaultExport=\"Maybe\"");
    testing::WriteFile(ConfigInstance().GetConfigFileName(), config);
    ResetConfigInstance();

    QStringList dialogs;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogs << dialog->windowTitle();
            dialog->reject();
        }
    });
    watch.start(5);
    for (const auto& command : {RunExportCommand, RunLibraryCommand}) {
        prompts_.messages.clear();
        command(*main_);
        ASSERT_EQ(prompts_.messages.size(), 1u);
        EXPECT_EQ(prompts_.messages[0].rfind("Warning: ", 0), 0u);
        EXPECT_NE(prompts_.messages[0].find("DefaultExport"), std::string::npos) << prompts_.messages[0];
    }
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(", ").toStdString();
}

TEST_F(Commands, TheExportCommandWritesTheListOnScreen)
{
    const std::string path = library_ + "/Mp3/My.Disc.xml";
    testing::WriteFile(path, testing::CatalogWithFiles({"rock.mp3"}));
    ASSERT_TRUE(main_->Session().Open(path));
    const std::string out = home_ / "list.txt";
    prompts_.saveChoices = {out};
    WhenShown<ExportDialog>([](ExportDialog& dialog) {
        dialog.FormatButton(ExportFormatKind::Text)->setChecked(true);
        dialog.onOkClicked();
    });
    RunExportCommand(*main_);
    EXPECT_NE(ReadFile(out).find("rock.mp3"), std::string::npos);
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace vellumark
