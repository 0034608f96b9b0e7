#include "ui/main_window.h"

#include "config/config.h"
#include "config/program_folder.h"
#include "core/catalog_file.h"
#include "services/atomic_file.h"
#include "tests/ui/ui_test_support.h"
#include "ui/catalog_session.h"
#include "ui/library_tree_view.h"
#include "ui/columns_dialog.h"
#include "ui/detail_panel_model.h"
#include "ui/file_list_model.h"
#include "ui/main_toolbar.h"
#include "ui/size_map_view.h"
#include "ui/size_map_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace vellumark {
namespace {

using testing::FakePrompts;
using testing::MakeDirs;
using testing::ProcessEventsUntil;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(SetProgramFolder(home_.Path()));
        ResetConfigInstance();
        WindowFrame frame = ConfigInstance().Root().Frame();
        frame.SetMaximized(false);
        frame.SetLeft(20);
        frame.SetTop(30);
        frame.SetWidth(1000);
        frame.SetHeight(700);
        catalog_ = ConfigInstance().GetLibraryPath() + "/Mp3/Small.xml";
        MakeDirs(ConfigInstance().GetLibraryPath() + "/Mp3");
        WriteFile(catalog_, testing::SmallCatalogText());
        Open();
    }
    void TearDown() override
    {
        AtomicFile::SetFaultHook(nullptr);
        window_.reset();
        ResetConfigInstance();
    }

    void Open()
    {
        window_ = std::make_unique<MainWindow>(&prompts_);
        listTester_ = std::make_unique<QAbstractItemModelTester>(
            window_->Session().Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        detailTester_ = std::make_unique<QAbstractItemModelTester>(
            window_->DetailModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void Reopen()
    {
        window_->close();
        listTester_.reset();
        detailTester_.reset();
        window_.reset();
        ResetConfigInstance();  // the next window reads the file written at close
        Open();
    }

    QModelIndex FindIn(const QAbstractItemModel* model, const QModelIndex& parent, const QString& name) const
    {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (index.data().toString() == name)
                return index;
            if (const QModelIndex below = FindIn(model, index, name); below.isValid())
                return below;
        }
        return {};
    }
    void Click(QTreeView* view, const QModelIndex& index, Qt::MouseButton button = Qt::LeftButton)
    {
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), button, {}, view->visualRect(index).center());
    }
    void ClickHeader(int column, Qt::MouseButton button = Qt::LeftButton)
    {
        QHeaderView* header = window_->FileList()->header();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mousePress(header->viewport(), button, {}, QPoint(x, header->height() / 2));
        QTest::mouseRelease(header->viewport(), button, {}, QPoint(x, header->height() / 2));
    }
    void OpenSmallCatalog()
    {
        const QModelIndex small = FindIn(window_->LibraryTree()->Model(), {}, "Small");
        ASSERT_TRUE(small.isValid());
        Click(window_->LibraryTree()->View(), small);
    }
    QStringList Children(const QString& name, int column = 0) const
    {
        const FileListModel* model = window_->Session().Model();
        const QModelIndex parent = FindIn(model, {}, name);
        QStringList texts;
        for (int row = 0; row < model->rowCount(parent); ++row)
            texts << model->index(row, column, parent).data().toString();
        return texts;
    }
    int ColumnOf(std::string_view key) const { return static_cast<int>(FindColumnKey(key)); }
    // Opens F2 on the cell, types the text and presses Enter.
    void EditCell(QTreeView* view, const QModelIndex& index, const QString& text)
    {
        view->setFocus();
        view->setCurrentIndex(index);
        QTest::keyClick(view, Qt::Key_F2);
        QLineEdit* editor = nullptr;
        for (QLineEdit* candidate : view->viewport()->findChildren<QLineEdit*>())
            if (candidate->isVisible())
                editor = candidate;
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    // Runs the action with the next modal dialog answered by the handler.
    template <typename Handler>
    void WithModal(Handler handler, const std::function<void()>& action)
    {
        bool handled = false;
        QTimer::singleShot(0, [&] {
            ProcessEventsUntil([] { return QApplication::activeModalWidget() != nullptr; });
            handler(QApplication::activeModalWidget());
            handled = true;
        });
        action();
        EXPECT_TRUE(handled);
    }

    TempDir home_;
    std::string catalog_;
    FakePrompts prompts_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QAbstractItemModelTester> listTester_;
    std::unique_ptr<QAbstractItemModelTester> detailTester_;
};

TEST_F(MainWindowTest, StartsWithTheLibraryFocusedAnEmptyListAndTheDialogCommandsOn)
{
    EXPECT_EQ(window_->windowTitle(), "Vellumark 4.0");
    EXPECT_EQ(window_->LibraryTree()->FocusedNode()->record.Field(kFileName), "CatalogLibrary");
    EXPECT_EQ(window_->Session().Model()->rowCount(), 0);
    EXPECT_EQ(window_->DetailModel()->rowCount(), 0);
    EXPECT_EQ(window_->Session().CatalogPath(), "");
    EXPECT_EQ(window_->Session().Model()->columnCount(), 11);
    EXPECT_TRUE(window_->FileList()->header()->isSectionHidden(ColumnOf("FileType")));
    EXPECT_FALSE(window_->FileList()->header()->isSectionHidden(ColumnOf("DiskName")));
    EXPECT_TRUE(window_->Toolbar()->NewCatalogButton()->isEnabled());
    EXPECT_TRUE(window_->Toolbar()->ExportButton()->isEnabled());
    EXPECT_TRUE(window_->Toolbar()->QuitButton()->isEnabled());
    EXPECT_EQ(window_->Toolbar()->NewCatalogButton()->text(), "&New catalog");
    EXPECT_EQ(window_->Toolbar()->SearchButton()->toolTip(), "Search a file in the library");
    EXPECT_EQ(window_->geometry(), QRect(20, 30, 1000, 700));
    EXPECT_EQ(window_->LeftPane()->width(), 308);
    EXPECT_EQ(window_->DetailPane()->height(), 262);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(MainWindowTest, ClickingACatalogOpensItSortedWithDirectoriesFirstAndAGroupEmptiesTheList)
{
    OpenSmallCatalog();
    EXPECT_EQ(window_->Session().CatalogPath(), catalog_);
    ASSERT_EQ(window_->Session().Model()->rowCount(), 1);
    EXPECT_TRUE(window_->FileList()->isExpanded(window_->Session().Model()->index(0, 0)));
    EXPECT_EQ(Children("CD"), (QStringList{"Rock", "readme.txt"}));
    EXPECT_EQ(Children("Rock"), (QStringList{"A.mp3", "b.mp3"}));
    EXPECT_EQ(Children("CD", ColumnOf("FileSize")), (QStringList{"3.00 KB", "1.50 KB"}));
    EXPECT_EQ(window_->StatusText(), "Current Catalog: ==> CatalogLibrary/Mp3/Small");
    EXPECT_EQ(window_->DetailModel()->rowCount(), 11);
    EXPECT_EQ(window_->DetailModel()->Rows()[0].value, "Small");
    EXPECT_FALSE(window_->DetailsEditable());
    EXPECT_FALSE(window_->DetailModel()->flags(window_->DetailModel()->index(0, 1)) & Qt::ItemIsEditable);

    // Focusing an entry shows it in the panel, editable, and in the status line.
    Click(window_->FileList(), FindIn(window_->Session().Model(), {}, "readme.txt"));
    EXPECT_TRUE(window_->DetailsEditable());
    EXPECT_EQ(window_->StatusText(), "Current Catalog: ==> CatalogLibrary/Mp3/Small ==> readme.txt");
    EXPECT_EQ(window_->DetailModel()->Rows()[2].value, "1.50 KB");
    EXPECT_TRUE(window_->DetailModel()->flags(window_->DetailModel()->index(6, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(window_->DetailModel()->flags(window_->DetailModel()->index(1, 1)) & Qt::ItemIsEditable);

    // The shown catalog is not loaded again: the focus and the expansion stay.
    Click(window_->LibraryTree()->View(), FindIn(window_->LibraryTree()->Model(), {}, "Small"));
    EXPECT_EQ(window_->FocusedListNode()->record.Field(kFileName), "readme.txt");

    Click(window_->LibraryTree()->View(), FindIn(window_->LibraryTree()->Model(), {}, "Mp3"));
    EXPECT_EQ(window_->Session().Model()->rowCount(), 0);
    EXPECT_EQ(window_->Session().CatalogPath(), "");
    EXPECT_EQ(window_->StatusText(), "Current Catalog: ==> CatalogLibrary/Mp3");
    EXPECT_EQ(window_->DetailModel()->Rows()[0].value, "Mp3");
    EXPECT_TRUE(prompts_.messages.empty());
}

// The status line and the panel follow the list's focus within the call that moves it: at the
// mouse press, at a key, at setCurrentIndex, with nothing left to a timer or a queued call.
TEST_F(MainWindowTest, TheStatusLineFollowsTheListsFocusAtOnce)
{
    OpenSmallCatalog();
    const QString catalog = "Current Catalog: ==> CatalogLibrary/Mp3/Small";
    QTreeView* list = window_->FileList();
    list->setCurrentIndex(FindIn(window_->Session().Model(), {}, "readme.txt"));
    EXPECT_EQ(window_->StatusText(), catalog + " ==> readme.txt");
    EXPECT_EQ(window_->DetailModel()->Rows()[0].value, "readme.txt");

    const QModelIndex rock = FindIn(window_->Session().Model(), {}, "Rock");
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(rock).center());
    EXPECT_EQ(window_->StatusText(), catalog + " ==> Rock");
    EXPECT_EQ(window_->DetailModel()->Rows()[0].value, "Rock");
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, list->visualRect(rock).center());

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(window_->StatusText(), catalog + " ==> readme.txt");
    list->setCurrentIndex(FindIn(window_->Session().Model(), {}, "CD"));
    EXPECT_EQ(window_->StatusText(), catalog + " ==> CD");
}

TEST_F(MainWindowTest, ABrokenCatalogIsReportedAndTheListKeepsWhatItHeld)
{
    OpenSmallCatalog();
    WriteFile(ConfigInstance().GetLibraryPath() + "/Mp3/Broken.xml", "<fileinfo><file FileName=");
    ASSERT_TRUE(window_->FillLibraryTree(ConfigInstance().GetLibraryPath()));
    Click(window_->LibraryTree()->View(), FindIn(window_->LibraryTree()->Model(), {}, "Broken"));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].rfind("Warning: ", 0), 0u);
    EXPECT_EQ(window_->Session().CatalogPath(), catalog_);
    EXPECT_EQ(Children("CD"), (QStringList{"Rock", "readme.txt"}));
    EXPECT_EQ(window_->StatusText(), "Current Catalog: ==> CatalogLibrary/Mp3/Broken");
}

TEST_F(MainWindowTest, HeaderClicksSortAndTheRightButtonOpensTheColumnsDialogInstead)
{
    OpenSmallCatalog();
    ClickHeader(ColumnOf("FileSize"));  // ascending
    EXPECT_EQ(window_->SortKey(), kFileSize);
    EXPECT_EQ(Children("Rock"), (QStringList{"b.mp3", "A.mp3"}));
    EXPECT_EQ(Children("CD"), (QStringList{"Rock", "readme.txt"}));
    ClickHeader(ColumnOf("FileName"));  // the direction flips across columns: descending
    EXPECT_EQ(window_->SortKey(), kFileName);
    EXPECT_EQ(Children("Rock"), (QStringList{"b.mp3", "A.mp3"}));
    EXPECT_EQ(Children("CD"), (QStringList{"Rock", "readme.txt"}));
    EXPECT_EQ(window_->FileList()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(ColumnOf("FileSize"));  // ascending again
    EXPECT_EQ(Children("Rock"), (QStringList{"b.mp3", "A.mp3"}));
    ClickHeader(ColumnOf("FileSize"));  // descending
    EXPECT_EQ(Children("Rock"), (QStringList{"A.mp3", "b.mp3"}));

    QString dialogTitle;
    WithModal([&](QWidget* dialog) {
        dialogTitle = dialog->windowTitle();
        static_cast<QDialog*>(dialog)->reject();
    }, [&] { ClickHeader(ColumnOf("FileName"), Qt::RightButton); });
    EXPECT_EQ(dialogTitle, "Config visible columns");
    EXPECT_EQ(window_->SortKey(), kFileSize);
    EXPECT_EQ(Children("Rock"), (QStringList{"A.mp3", "b.mp3"}));
    EXPECT_EQ(window_->FileList()->header()->sortIndicatorSection(), ColumnOf("FileSize"));
}

TEST_F(MainWindowTest, EditsInTheListAndInThePanelRewriteTheCatalogAtOnce)
{
    OpenSmallCatalog();
    const QModelIndex b = FindIn(window_->Session().Model(), {}, "b.mp3");
    EditCell(window_->FileList(), b, "c.ogg");
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadFile(catalog_).find("CD/Rock/c.ogg") != std::string::npos; }));
    const std::string afterRename = ReadFile(catalog_);
    EXPECT_NE(afterRename.find("FileName=\"c.ogg\""), std::string::npos);
    EXPECT_NE(afterRename.find("FileExt=\"mp3\""), std::string::npos);
    EXPECT_EQ(afterRename.find("b.mp3"), std::string::npos);
    EXPECT_EQ(window_->DetailModel()->Rows()[1].value, "CD/Rock/c.ogg");

    // A read-only column takes no edit.
    const QModelIndex size = b.siblingAtColumn(ColumnOf("FileSize"));
    EXPECT_FALSE(window_->Session().Model()->flags(size) & Qt::ItemIsEditable);

    // The Description in the list, then in the panel.
    const QModelIndex a = FindIn(window_->Session().Model(), {}, "A.mp3");
    EditCell(window_->FileList(), a.siblingAtColumn(ColumnOf("Description")), "first take");
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadFile(catalog_).find("first take") != std::string::npos; }));
    EXPECT_EQ(a.siblingAtColumn(ColumnOf("Description")).data(Qt::ToolTipRole).toString(),
              "first take (Press F2 to edit the file's Description)");

    window_->FileList()->setCurrentIndex(FindIn(window_->Session().Model(), {}, "readme.txt"));
    EditCell(window_->DetailPanel(), window_->DetailModel()->index(kDescription, 1), "holiday");
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadFile(catalog_).find("holiday") != std::string::npos; }));
    const QModelIndex readme = FindIn(window_->Session().Model(), {}, "readme.txt");
    EXPECT_EQ(readme.siblingAtColumn(ColumnOf("Description")).data().toString(), "holiday");
    EXPECT_EQ(window_->DetailModel()->Rows()[kDescription].value, "holiday");

    // A rename in the panel updates the list's paths; the panel's own path row waits.
    EditCell(window_->DetailPanel(), window_->DetailModel()->index(kFileName, 1), "notes.txt");
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadFile(catalog_).find("CD/notes.txt") != std::string::npos; }));
    EXPECT_EQ(readme.siblingAtColumn(ColumnOf("FullPath")).data().toString(), "CD/notes.txt");
    EXPECT_EQ(window_->DetailModel()->Rows()[kFullPath].value, "CD/readme.txt");
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(MainWindowTest, TheListsContextMenuShowsTheSizeMapOfTheFocusedFolderLinkedBothWaysWithTheList)
{
    OpenSmallCatalog();
    const FileListModel* model = window_->Session().Model();
    QTreeView* list = window_->FileList();
    const QModelIndex rock = FindIn(model, {}, "Rock");
    list->setCurrentIndex(rock);

    const QPoint inList = list->visualRect(rock).center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, inList, list->viewport()->mapToGlobal(inList));
    QApplication::sendEvent(list->viewport(), &menuEvent);
    ASSERT_TRUE(ProcessEventsUntil([&] { return window_->ListMenu()->isVisible(); }));
    QStringList entries;
    for (QAction* action : window_->ListMenu()->actions())
        if (action->isVisible())
            entries << action->text();
    EXPECT_EQ(entries, QStringList{"Show size map"});
    window_->ListMenu()->close();

    window_->SizeMapAction()->trigger();
    QPointer<SizeMapWindow> map = window_->findChild<SizeMapWindow*>();
    ASSERT_FALSE(map.isNull());
    EXPECT_TRUE(map->isVisible());
    EXPECT_EQ(map->windowTitle(), "Size map - CD/Rock");
    SizeMapView* view = map->View();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !view->Blocks().empty() && view->LayoutSize() == view->size(); }));

    // A click on a block focuses its entry in the list.
    const auto& blocks = view->Blocks();
    const auto song = std::find_if(blocks.begin(), blocks.end(),
                                   [](const SizeMapBlock& block) { return block.node->record.Field(kFileName) == "A.mp3"; });
    ASSERT_NE(song, blocks.end());
    const QPoint centre(static_cast<int>(song->x + song->width / 2), static_cast<int>(song->y + song->height / 2));
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    ASSERT_NE(window_->FocusedListNode(), nullptr);
    EXPECT_EQ(window_->FocusedListNode()->record.Field(kFileName), "A.mp3");
    EXPECT_EQ(window_->StatusText(), "Current Catalog: ==> CatalogLibrary/Mp3/Small ==> A.mp3");

    // The list's focus is outlined in the map.
    list->setCurrentIndex(FindIn(model, {}, "b.mp3"));
    ASSERT_GE(view->OutlinedBlock(), 0);
    EXPECT_EQ(view->Blocks()[static_cast<std::size_t>(view->OutlinedBlock())].node->record.Field(kFileName), "b.mp3");

    // Another catalog in the list closes the map.
    WriteFile(ConfigInstance().GetLibraryPath() + "/Mp3/Other.xml", testing::SmallCatalogText());
    ASSERT_TRUE(window_->FillLibraryTree(ConfigInstance().GetLibraryPath()));
    Click(window_->LibraryTree()->View(), FindIn(window_->LibraryTree()->Model(), {}, "Other"));
    EXPECT_EQ(window_->Session().CatalogPath(), ConfigInstance().GetLibraryPath() + "/Mp3/Other.xml");
    EXPECT_TRUE(ProcessEventsUntil([&] { return map.isNull(); }));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(MainWindowTest, EscapeCancelsAnEditAndTheArrowKeysMoveTheFocus)
{
    OpenSmallCatalog();
    const std::string before = ReadFile(catalog_);
    QTreeView* list = window_->FileList();
    const QModelIndex rock = FindIn(window_->Session().Model(), {}, "Rock");
    list->setCurrentIndex(rock);
    QTest::keyClick(list, Qt::Key_F2);
    QLineEdit* editor = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "Jazz");
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(rock.data().toString(), "Rock");

    QTest::keyClick(list, Qt::Key_Down);  // Rock is collapsed: the next row is its sibling
    EXPECT_EQ(window_->FocusedListNode()->record.Field(kFileName), "readme.txt");
    EXPECT_EQ(window_->DetailModel()->Rows()[0].value, "readme.txt");
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(window_->FocusedListNode()->record.Field(kFileName), "Rock");
    ProcessEventsUntil([] { return false; }, 200);
    EXPECT_EQ(ReadFile(catalog_), before);
}

// The window's parts go in order when it is destroyed; an editor still open then is committed
// or dropped, and reaches nothing that is already gone.
TEST_F(MainWindowTest, ClosingWithEditorsOpenLosesNothingThatWasSaved)
{
    OpenSmallCatalog();
    const std::string before = ReadFile(catalog_);
    window_->FileList()->setCurrentIndex(FindIn(window_->Session().Model(), {}, "readme.txt"));
    QTreeView* panel = window_->DetailPanel();
    panel->setFocus();
    panel->setCurrentIndex(window_->DetailModel()->index(kDescription, 1));
    QTest::keyClick(panel, Qt::Key_F2);
    QLineEdit* editor = panel->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "typed");
    listTester_.reset();
    detailTester_.reset();
    window_.reset();
    EXPECT_EQ(ReadFile(catalog_), before);
}

TEST_F(MainWindowTest, AFailedSaveIsReportedAndTheEditStaysInTheList)
{
    OpenSmallCatalog();
    const std::string before = ReadFile(catalog_);
    AtomicFile::SetFaultHook([](AtomicFile::Step step) { return step == AtomicFile::Step::Rename; });
    const QModelIndex readme = FindIn(window_->Session().Model(), {}, "readme.txt");
    EditCell(window_->FileList(), readme.siblingAtColumn(ColumnOf("Description")), "lost?");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !prompts_.messages.empty(); }));
    EXPECT_EQ(prompts_.messages[0].rfind("Warning: ", 0), 0u);
    EXPECT_EQ(ReadFile(catalog_), before);
    EXPECT_EQ(readme.siblingAtColumn(ColumnOf("Description")).data().toString(), "lost?");
}

// A list that belongs to no catalog file (search results) is saved where the user says.
TEST_F(MainWindowTest, WithoutACurrentCatalogASaveAsksForTheFile)
{
    OpenSmallCatalog();
    const std::string before = ReadFile(catalog_);
    window_->Session().Detach();
    const std::string chosen = home_ / "Results.xml";
    prompts_.saveChoices = {"", chosen};

    EXPECT_EQ(window_->Session().SaveEdits().code(), Status::Code::Cancelled);
    EXPECT_FALSE(testing::PathExists(chosen));
    ASSERT_TRUE(window_->Session().SaveEdits().ok());

    ASSERT_EQ(prompts_.requests.size(), 2u);
    EXPECT_EQ(prompts_.requests[0].defaultExtension, ".xml");
    EXPECT_EQ(prompts_.requests[0].filter, "XML File|*.XML");
    // The list is written whole; the catalog it came from stays as it was.
    CatalogTree saved;
    NullProgress progress;
    ASSERT_TRUE(ReadCatalogFile(chosen, saved, progress));
    EXPECT_EQ(saved.NodeCount(), window_->Session().Model()->Tree().NodeCount());
    EXPECT_EQ(saved.NodeCount(), 5u);
    EXPECT_EQ(ReadFile(catalog_), before);
}

TEST_F(MainWindowTest, HidingAColumnInTheDialogHidesItAndWritesTheConfiguration)
{
    const std::string configFile = ConfigInstance().GetConfigFileName();
    const int fullPath = ColumnOf("FullPath");
    WithModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<ColumnsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->ColumnList()->count(), 11);
        EXPECT_EQ(dialog->ColumnList()->item(5)->checkState(), Qt::Unchecked);
        dialog->ColumnList()->item(fullPath)->setCheckState(Qt::Unchecked);
        dialog->findChild<QPushButton*>("okButton")->click();
    }, [&] { window_->Toolbar()->ColumnsAction()->trigger(); });
    EXPECT_TRUE(window_->FileList()->header()->isSectionHidden(fullPath));
    EXPECT_FALSE(ConfigInstance().Root().Columns().Column(1).Visible());
    EXPECT_NE(ReadFile(configFile).find("<node Name=\"FullPath\" Visible=\"False\""), std::string::npos);

    // Cancel changes nothing.
    const std::string saved = ReadFile(configFile);
    WithModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<ColumnsDialog*>(modal);
        dialog->ColumnList()->item(0)->setCheckState(Qt::Unchecked);
        dialog->findChild<QPushButton*>("cancelButton")->click();
    }, [&] { window_->ShowColumnsDialog(); });
    EXPECT_FALSE(window_->FileList()->header()->isSectionHidden(0));
    EXPECT_EQ(ReadFile(configFile), saved);
}

TEST_F(MainWindowTest, TheLayoutComesBackExactlyAfterARestart)
{
    window_->setGeometry(40, 50, 1100, 720);
    ASSERT_TRUE(ProcessEventsUntil([&] { return window_->geometry() == QRect(40, 50, 1100, 720); }));
    window_->MainSplitter()->setSizes({350, 700});
    window_->LeftSplitter()->setSizes({300, 200});
    QHeaderView* header = window_->FileList()->header();
    header->resizeSection(ColumnOf("FileName"), 233);
    header->moveSection(header->visualIndex(ColumnOf("Description")), 1);
    header->setSectionHidden(ColumnOf("DiskName"), true);
    header->setSectionHidden(ColumnOf("SizePercentage"), false);
    window_->LibraryTree()->View()->header()->resizeSection(1, 91);
    window_->DetailPanel()->header()->resizeSection(0, 120);
    const int leftWidth = window_->LeftPane()->width();
    const int hintHeight = window_->DetailPane()->height();
    std::vector<int> visual;
    for (int i = 0; i < header->count(); ++i)
        visual.push_back(header->visualIndex(i));

    Reopen();
    EXPECT_EQ(window_->geometry(), QRect(40, 50, 1100, 720));
    EXPECT_FALSE(window_->isMaximized());
    EXPECT_EQ(window_->LeftPane()->width(), leftWidth);
    EXPECT_EQ(window_->DetailPane()->height(), hintHeight);
    header = window_->FileList()->header();
    EXPECT_EQ(header->sectionSize(ColumnOf("FileName")), 233);
    EXPECT_TRUE(header->isSectionHidden(ColumnOf("DiskName")));
    EXPECT_FALSE(header->isSectionHidden(ColumnOf("SizePercentage")));
    for (int i = 0; i < header->count(); ++i)
        EXPECT_EQ(header->visualIndex(i), visual[static_cast<std::size_t>(i)]) << "column " << i;
    EXPECT_EQ(window_->LibraryTree()->View()->header()->sectionSize(1), 91);
    EXPECT_EQ(window_->DetailPanel()->header()->sectionSize(0), 120);
    const std::string file = ReadFile(ConfigInstance().GetConfigFileName());
    EXPECT_EQ(file.rfind("<config versionNo=\"Vellumark V4.0\">", 0), 0u);
}

TEST_F(MainWindowTest, TheFileNameColumnMovesLikeAnyOtherAndComesBackWhereItWasPut)
{
    // Dragged with the mouse by its header, as the user moves it.
    QHeaderView* header = window_->FileList()->header();
    const int fileName = ColumnOf("FileName");
    ASSERT_EQ(header->visualIndex(fileName), 0);
    const int y = header->height() / 2;
    const QPoint from(header->sectionViewportPosition(fileName) + header->sectionSize(fileName) / 2, y);
    const int target = header->logicalIndex(2);
    const QPoint to(header->sectionViewportPosition(target) + header->sectionSize(target) * 3 / 4, y);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 10; ++step)
        QTest::mouseMove(header->viewport(), from + (to - from) * step / 10);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    const int moved = header->visualIndex(fileName);
    EXPECT_EQ(moved, 2);

    Reopen();
    header = window_->FileList()->header();
    EXPECT_EQ(header->visualIndex(fileName), moved);
    EXPECT_EQ(header->logicalIndex(0), ColumnOf("FullPath"));
    EXPECT_EQ(ConfigInstance().Root().Columns().Column(static_cast<std::size_t>(fileName)).Index(), moved);
}

TEST_F(MainWindowTest, TheStoredBoundsDoNotDriftOverRestarts)
{
    // The window's bounds are stored and applied as the same rectangle, the one inside the
    // frame. Under openbox, a window placed at 100,80 by its frame's corner was saved back at
    // 99,60 and crept up by that much on every run: the frame Qt measured there was not the
    // frame the window manager drew. The offscreen platform draws a frame of its own too.
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(window_->geometry(), QRect(20, 30, 1000, 700)) << "run " << run;
        Reopen();
        const WindowFrame frame = ConfigInstance().Root().Frame();
        EXPECT_EQ(QRect(frame.Left(), frame.Top(), frame.Width(), frame.Height()), QRect(20, 30, 1000, 700));
    }
}

TEST_F(MainWindowTest, AMaximizedWindowStoresMaxAndItsBoundsAndComesBackMaximized)
{
    window_->showMaximized();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window_->isMaximized(); }));
    const QRect bounds = window_->geometry();
    window_->close();
    const WindowFrame frame = ConfigInstance().Root().Frame();
    EXPECT_TRUE(frame.Maximized());
    EXPECT_EQ(frame.Width(), bounds.width());
    EXPECT_EQ(frame.Height(), bounds.height());
    Reopen();
    EXPECT_TRUE(ProcessEventsUntil([&] { return window_->isMaximized(); }));
}

TEST_F(MainWindowTest, TheOptionsMenuOpensBelowTheMiddleOfItsButton)
{
    MainToolbar* toolbar = window_->Toolbar();
    const QPoint expected = toolbar->OptionsButton()->mapToGlobal(
        QPoint(toolbar->OptionsButton()->width() / 2, toolbar->OptionsButton()->height() + 6));
    EXPECT_EQ(toolbar->PopupPosition(), expected);
    QTest::mouseClick(toolbar->OptionsButton(), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return toolbar->OptionsMenu()->isVisible(); }));
    QStringList entries;
    for (QAction* action : toolbar->OptionsMenu()->actions())
        entries << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(entries, (QStringList{"Config Visible Columns", "-", "Help", "-", "About Vellumark", "Vellumark on the Web"}));
    toolbar->OptionsMenu()->close();
}

}  // namespace
}  // namespace vellumark
