#include "ui/file_list_model.h"
#include "ui/size_map_render.h"
#include "ui/size_map_view.h"
#include "ui/size_map_window.h"

#include "tests/core/size_map_test_trees.h"
#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace vellumark {
namespace {

using testing::AddFile;
using testing::AddFolder;
using testing::ProcessEventsUntil;
using testing::RandomDisc;

bool LaidOut(const SizeMapView& view)
{
    return ProcessEventsUntil([&] { return view.LayoutSize() == view.size(); }, 20000);
}

QPoint Centre(const SizeMapBlock& block)
{
    return QPoint(static_cast<int>(block.x + block.width / 2), static_cast<int>(block.y + block.height / 2));
}

double SizeOf(const SizeMapBlock& block) { return std::stod(std::string(block.node->record.Field(kFileSize))); }

// The first block that satisfies the condition, or nullptr.
template <typename Condition>
const SizeMapBlock* FindBlock(const SizeMapView& view, Condition condition)
{
    const auto& blocks = view.Blocks();
    const auto found = std::find_if(blocks.begin(), blocks.end(), condition);
    return found == blocks.end() ? nullptr : &*found;
}

class SizeMapViewTest : public ::testing::Test {
protected:
    void ShowView(const CatalogTree& tree, CatalogTreeNode* root = nullptr, QSize size = {640, 480})
    {
        view_.resize(size);
        view_.SetTree(tree, root);
        view_.show();
        ASSERT_TRUE(LaidOut(view_));
        ASSERT_FALSE(view_.Blocks().empty());
    }

    SizeMapView view_;
};

TEST_F(SizeMapViewTest, DrawsBlocksInProportionWithoutOverlapsColouredByKind)
{
    CatalogTree tree = RandomDisc(3, 4000);
    // Ten folders of about 200 square pixels holding a thousand songs of a fifth of a pixel.
    CatalogTreeNode* disc = tree.First();
    const long long pixel = std::stoll(std::string(disc->record.Field(kFileSize))) / (640 * 480);
    for (int i = 0; i < 10; ++i) {
        CatalogTreeNode* songs = AddFolder(tree, disc, "Songs" + std::to_string(i), std::to_string(pixel * 200));
        for (int song = 0; song < 1000; ++song)
            AddFile(tree, songs, "song" + std::to_string(song), std::to_string(pixel / 5), "mp3");
    }
    ShowView(tree);
    const auto& blocks = view_.Blocks();
    std::map<int, std::vector<const SizeMapBlock*>> siblings;
    for (const SizeMapBlock& block : blocks)
        siblings[block.parent].push_back(&block);
    for (const auto& [parent, group] : siblings) {
        const double areaPerByte = group[0]->width * group[0]->height / SizeOf(*group[0]);
        for (std::size_t a = 0; a < group.size(); ++a) {
            EXPECT_NEAR(group[a]->width * group[a]->height / SizeOf(*group[a]) / areaPerByte, 1.0, 1e-3);
            const QRectF first(group[a]->x, group[a]->y, group[a]->width, group[a]->height);
            for (std::size_t b = a + 1; b < group.size(); ++b) {
                const QRectF overlap = first.intersected(QRectF(group[b]->x, group[b]->y, group[b]->width, group[b]->height));
                EXPECT_TRUE(overlap.width() < 1e-3 || overlap.height() < 1e-3);
            }
        }
    }

    // A small block without a name shows its kind's colour, and so does a folder too small to
    // show its files; the names are dark on them.
    const QImage shown = view_.grab().toImage();
    int files = 0;
    int folders = 0;
    for (const SizeMapBlock& block : blocks) {
        if (block.content == ContentKind::Folder || block.width < 6 || block.height < 6 || block.width >= 30)
            continue;
        EXPECT_EQ(shown.pixelColor(Centre(block)), SizeMapFill(block.content)) << block.node->record.Field(kFileName);
        ++(block.kind == ContentKind::Folder ? folders : files);
    }
    EXPECT_GT(files, 50);
    EXPECT_GT(folders, 5);
    EXPECT_LT(SizeMapText().lightness(), 40);
    for (int kind = 0; kind < kContentKindCount; ++kind)
        EXPECT_GT(SizeMapFill(static_cast<ContentKind>(kind)).lightness(), 150);
}

TEST_F(SizeMapViewTest, ResizingShowsTheOldLayoutUntilTheNewOneArrives)
{
    const CatalogTree tree = RandomDisc(4, 4000);
    ShowView(tree);
    const std::size_t before = view_.Blocks().size();
    view_.resize(900, 300);
    EXPECT_EQ(view_.LayoutSize(), QSize(640, 480));
    EXPECT_EQ(view_.Blocks().size(), before);
    // Hits on the stretched old layout land on the same blocks.
    const SizeMapBlock& last = view_.Blocks().back();
    const QPointF stretched((last.x + last.width / 2) * 900 / 640, (last.y + last.height / 2) * 300 / 480);
    EXPECT_EQ(view_.BlockAt(stretched), static_cast<int>(before - 1));
    EXPECT_FALSE(view_.grab().isNull());

    // A burst of sizes ends with the last one's layout.
    for (int width = 500; width < 800; width += 30)
        view_.resize(width, 400);
    ASSERT_TRUE(LaidOut(view_));
    EXPECT_EQ(view_.LayoutSize(), QSize(770, 400));
    for (const SizeMapBlock& block : view_.Blocks())
        ASSERT_LE(block.x + block.width, 770.01);
}

TEST_F(SizeMapViewTest, AClickReportsTheEntryUnderThePointerAndOutlinesIt)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "1000");
    CatalogTreeNode* music = AddFolder(tree, disc, "Music", "600");
    CatalogTreeNode* song = AddFile(tree, music, "song", "600", "mp3");
    CatalogTreeNode* movie = AddFile(tree, disc, "movie", "400", "mkv");
    ShowView(tree);

    QSignalSpy clicked(&view_, &SizeMapView::NodeClicked);
    for (CatalogTreeNode* node : {song, movie, disc}) {
        const SizeMapBlock* block = FindBlock(view_, [&](const SizeMapBlock& b) { return b.node == node; });
        ASSERT_NE(block, nullptr);
        const QPoint point = node == disc ? QPoint(static_cast<int>(block->x) + 3, static_cast<int>(block->y) + 3) : Centre(*block);
        QTest::mouseClick(&view_, Qt::LeftButton, {}, point);
        ASSERT_EQ(clicked.count(), 1);
        EXPECT_EQ(clicked.takeFirst().at(0).value<CatalogTreeNode*>(), node);
        EXPECT_EQ(&view_.Blocks()[static_cast<std::size_t>(view_.OutlinedBlock())], block);
    }
    // The right button selects nothing.
    QTest::mouseClick(&view_, Qt::RightButton, {}, QPoint(320, 240));
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(SizeMapViewTest, TheOutlineFollowsTheGivenEntryAcrossLayouts)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "10000001");
    AddFile(tree, disc, "big", "10000000", "iso");
    CatalogTreeNode* crumbs = AddFolder(tree, disc, "Crumbs", "1");
    CatalogTreeNode* crumb = AddFile(tree, crumbs, "crumb", "1");
    CatalogTreeNode* big = disc->Child(0);
    ShowView(tree);

    view_.OutlineNode(big);
    ASSERT_GE(view_.OutlinedBlock(), 0);
    const SizeMapBlock outlined = view_.Blocks()[static_cast<std::size_t>(view_.OutlinedBlock())];
    EXPECT_EQ(outlined.node, big);
    const QImage shown = view_.grab().toImage();
    const QRect rect = SnappedRect(outlined);
    EXPECT_EQ(shown.pixelColor(rect.left() + 1, rect.center().y()), SizeMapOutline());
    EXPECT_EQ(shown.pixelColor(rect.center().x(), rect.bottom() - 1), SizeMapOutline());

    view_.resize(300, 500);
    ASSERT_TRUE(LaidOut(view_));
    ASSERT_GE(view_.OutlinedBlock(), 0);
    EXPECT_EQ(view_.Blocks()[static_cast<std::size_t>(view_.OutlinedBlock())].node, big);

    // An entry too small to draw is shown by the innermost folder drawn around it.
    view_.OutlineNode(crumb);
    ASSERT_GE(view_.OutlinedBlock(), 0);
    const CatalogTreeNode* shownFor = view_.Blocks()[static_cast<std::size_t>(view_.OutlinedBlock())].node;
    EXPECT_TRUE(shownFor == disc || shownFor == crumbs);
    EXPECT_EQ(FindBlock(view_, [&](const SizeMapBlock& b) { return b.node == crumb; }), nullptr);

    view_.OutlineNode(nullptr);
    EXPECT_EQ(view_.OutlinedBlock(), -1);
}

TEST_F(SizeMapViewTest, HoverShowsTheNameAndSize)
{
    CatalogTree tree;
    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "2048000");
    AddFile(tree, disc, "holiday", "2048000", "jpg");
    ShowView(tree);
    const SizeMapBlock* block = FindBlock(view_, [](const SizeMapBlock& b) { return b.kind == ContentKind::Image; });
    ASSERT_NE(block, nullptr);
    QHelpEvent hover(QEvent::ToolTip, Centre(*block), view_.mapToGlobal(Centre(*block)));
    QCoreApplication::sendEvent(&view_, &hover);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("holiday.jpg\n") + QLocale().toString(2000.0, 'f', 2) + QStringLiteral(" KB"));
    QToolTip::hideText();
}

TEST_F(SizeMapViewTest, ZeroSizesAndAnEmptyTreeDrawNothing)
{
    CatalogTree tree;
    view_.resize(200, 100);
    view_.SetTree(tree, nullptr);
    view_.show();
    EXPECT_TRUE(LaidOut(view_));
    EXPECT_TRUE(view_.Blocks().empty());
    EXPECT_EQ(view_.BlockAt(QPointF(50, 50)), -1);

    CatalogTreeNode* disc = AddFolder(tree, nullptr, "Disc", "0");
    AddFile(tree, disc, "nothing", "");
    view_.SetTree(tree, nullptr);
    EXPECT_TRUE(LaidOut(view_));
    EXPECT_TRUE(view_.Blocks().empty());
    QSignalSpy clicked(&view_, &SizeMapView::NodeClicked);
    QTest::mouseClick(&view_, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(SizeMapViewTest, AClearedViewNeverTakesUpALayoutStillUnderway)
{
    for (int round = 0; round < 3; ++round) {
        auto tree = std::make_unique<CatalogTree>(RandomDisc(5, 60000));
        view_.resize(1200 + round, 900);
        view_.SetTree(*tree, nullptr);
        view_.show();
        view_.OutlineNode(tree->First());
        view_.Clear();
        tree.reset();
        view_.update();
        QTest::qWait(round * 150);
        QCoreApplication::processEvents();
        EXPECT_TRUE(view_.Blocks().empty());
        EXPECT_TRUE(view_.LayoutSize().isEmpty());
        EXPECT_EQ(view_.OutlinedBlock(), -1);
        EXPECT_FALSE(view_.grab().isNull());
    }
    // Destroyed while a layout runs.
    const CatalogTree tree = RandomDisc(6, 60000);
    auto view = std::make_unique<SizeMapView>();
    view->resize(1000, 800);
    view->SetTree(tree, nullptr);
    view.reset();
}

class SizeMapWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model_ = new FileListModel(&owner_);
        model_->SetColumns({ListColumn{"FileName", kFileName}, ListColumn{"FileSize", kFileSize}});
        CatalogTree tree;
        disc_ = AddFolder(tree, nullptr, "Disc", "1000");
        music_ = AddFolder(tree, disc_, "Music", "700");
        song_ = AddFile(tree, music_, "song", "500", "flac");
        AddFile(tree, music_, "other", "200", "ogg");
        movie_ = AddFile(tree, disc_, "movie", "300", "avi");
        model_->AdoptTree(std::move(tree));
        owner_.resize(300, 200);
        owner_.show();
    }

    SizeMapWindow* Show(CatalogTreeNode* entry)
    {
        SizeMapWindow* window = ShowSizeMap(&owner_, *model_, entry);
        window->resize(500, 400);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(LaidOut(*window->View()));
        return window;
    }

    QWidget owner_;
    FileListModel* model_ = nullptr;
    CatalogTreeNode* disc_ = nullptr;
    CatalogTreeNode* music_ = nullptr;
    CatalogTreeNode* song_ = nullptr;
    CatalogTreeNode* movie_ = nullptr;
};

TEST_F(SizeMapWindowTest, AFileMapsItsFolderAndTheWholeListNeedsNoEntry)
{
    SizeMapWindow* window = Show(song_);
    const auto& blocks = window->View()->Blocks();
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks[0].node, music_);
    EXPECT_EQ(blocks[static_cast<std::size_t>(window->View()->OutlinedBlock())].node, song_);
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("Music")));

    // A second map takes the first one's place.
    QPointer<SizeMapWindow> first = window;
    SizeMapWindow* whole = Show(nullptr);
    EXPECT_TRUE(ProcessEventsUntil([&] { return first.isNull(); }));
    EXPECT_EQ(whole->View()->Blocks()[0].node, disc_);
    EXPECT_EQ(whole->windowTitle(), QStringLiteral("Size map"));
}

TEST_F(SizeMapWindowTest, ClicksSelectInTheListAndTheListsCurrentEntryIsOutlined)
{
    QTreeView list;
    list.setModel(model_);
    list.show();
    SizeMapWindow* window = Show(nullptr);
    // The wiring the main window uses.
    QObject::connect(window, &SizeMapWindow::IndexClicked, &list, &QTreeView::setCurrentIndex);
    QObject::connect(list.selectionModel(), &QItemSelectionModel::currentChanged, window, &SizeMapWindow::OutlineIndex);

    SizeMapView* view = window->View();
    const SizeMapBlock* movie = FindBlock(*view, [&](const SizeMapBlock& b) { return b.node == movie_; });
    ASSERT_NE(movie, nullptr);
    QTest::mouseClick(view, Qt::LeftButton, {}, Centre(*movie));
    EXPECT_EQ(model_->NodeAt(list.currentIndex()), movie_);

    list.setCurrentIndex(model_->IndexOf(song_));
    ASSERT_GE(view->OutlinedBlock(), 0);
    EXPECT_EQ(view->Blocks()[static_cast<std::size_t>(view->OutlinedBlock())].node, song_);
    list.setCurrentIndex(QModelIndex());
    EXPECT_EQ(view->OutlinedBlock(), -1);
}

TEST_F(SizeMapWindowTest, EscapeClosesTheWindow)
{
    QPointer<SizeMapWindow> window = Show(disc_);
    QTest::keyClick(window.data(), Qt::Key_Escape);
    EXPECT_TRUE(ProcessEventsUntil([&] { return window.isNull(); }));
}

TEST_F(SizeMapWindowTest, ReplacingTheListsEntriesClosesTheMapEvenWhileALayoutRuns)
{
    model_->AdoptTree(RandomDisc(7, 60000));
    QPointer<SizeMapWindow> window = Show(nullptr);
    ASSERT_FALSE(window.isNull());
    window->resize(1400, 1000);
    model_->AdoptTree(RandomDisc(8, 100));
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->View()->Blocks().empty());
    EXPECT_TRUE(ProcessEventsUntil([&] { return window.isNull(); }));

    // Entries added to the list (search results coming in) close it too.
    window = Show(nullptr);
    CatalogTree batch;
    AddFile(batch, nullptr, "late", "10");
    model_->AppendBatch(std::move(batch));
    EXPECT_TRUE(ProcessEventsUntil([&] { return window.isNull(); }));

    // Sorting keeps every entry and the map with them.
    window = Show(nullptr);
    model_->Sort(kFileSize, Qt::DescendingOrder);
    QTest::qWait(50);
    EXPECT_FALSE(window.isNull());
    window->close();
}

}  // namespace
}  // namespace vellumark
