#include "ui/catalog_session.h"
#include "ui/library_manager_dialog.h"
#include "ui/library_tree_view.h"
#include "ui/main_toolbar.h"
#include "ui/main_window.h"
#include "ui/new_catalog_dialog.h"
#include "ui/search_dialog.h"
#include "ui/detail_panel_model.h"
#include "ui/file_list_model.h"

#include "tests/system/fake_volumes.h"
#include "tests/ui/dialog_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <cstdlib>

namespace vellumark {
namespace {

// Light text on dark grounds, as Breeze Dark or Adwaita-dark give it.
QPalette DarkPalette()
{
    QPalette dark;
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base, QPalette::AlternateBase})
        dark.setColor(role, QColor(42, 46, 50));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(239, 240, 241));
    return dark;
}

// Text and ground far enough apart in lightness to be read.
bool Readable(const QColor& text, const QColor& ground) { return std::abs(text.lightness() - ground.lightness()) >= 128; }

// How many pixels of the area are dark enough to be text drawn on a light ground.
int DarkPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += QColor(image.pixel(x, y)).lightness() < 80;
    return count;
}

class DarkTheme : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        saved_ = QApplication::palette();
        QApplication::setPalette(DarkPalette());
        testing::MakeDirs(library_ + "/Mp3");
        catalog_ = library_ + "/Mp3/Small.xml";
        testing::WriteFile(catalog_, testing::SmallCatalogText());
    }
    void TearDown() override
    {
        QApplication::setPalette(saved_);
        DialogTest::TearDown();
    }

    QPalette saved_;
    std::string catalog_;
    testing::FakeVolumes volumes_;
};

TEST_F(DarkTheme, TheListsAndTheDetailPanelKeepDarkTextOnTheirLightGround)
{
    MainWindow window(&prompts_);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(window.Session().Open(catalog_).ok());
    for (QTreeView* view : {window.FileList(), window.DetailPanel(), window.LibraryTree()->View()})
        EXPECT_TRUE(Readable(view->palette().color(QPalette::Text), view->palette().color(QPalette::Base)))
            << view->objectName().toStdString();

    // Every cell of the list: the read-only ones on the tree's ground, the editable ones on the
    // tooltip's.
    const FileListModel* list = window.Session().Model();
    const QModelIndex first = list->index(0, 0);
    ASSERT_TRUE(first.isValid());
    for (int column = 0; column < list->columnCount(); ++column) {
        const QModelIndex cell = first.siblingAtColumn(column);
        EXPECT_TRUE(Readable(cell.data(Qt::ForegroundRole).value<QBrush>().color(),
                             cell.data(Qt::BackgroundRole).value<QBrush>().color()))
            << list->headerData(column, Qt::Horizontal).toString().toStdString();
    }

    window.FileList()->setCurrentIndex(first);
    const DetailPanelModel* detail = window.DetailModel();
    ASSERT_TRUE(detail->Editable());
    int editable = 0;
    for (int row = 0; row < detail->rowCount(); ++row) {
        const QModelIndex value = detail->index(row, 1);
        const QVariant ground = value.data(Qt::BackgroundRole);
        if (!ground.isValid())
            continue;
        ++editable;
        EXPECT_TRUE(Readable(value.data(Qt::ForegroundRole).value<QBrush>().color(), ground.value<QBrush>().color()));
    }
    EXPECT_EQ(editable, 2);

    // The header's captions are drawn dark on its fixed blue.
    QHeaderView* header = window.FileList()->header();
    const QImage image = header->grab().toImage();
    const int column = header->logicalIndex(0);
    const QRect caption(header->sectionViewportPosition(column) + 3, 3, header->sectionSize(column) - 6, header->height() - 6);
    EXPECT_GT(DarkPixels(image, caption), 20);
}

TEST_F(DarkTheme, TheToolbarCaptionsAreDarkOnItsLightStrip)
{
    MainToolbar toolbar;
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    const QColor strip = toolbar.widget()->palette().color(QPalette::Window);
    for (const QToolButton* button : {toolbar.NewCatalogButton(), toolbar.QuitButton()}) {
        EXPECT_TRUE(Readable(button->palette().color(QPalette::ButtonText), strip)) << button->text().toStdString();
        EXPECT_TRUE(Readable(button->palette().color(QPalette::WindowText), strip));
    }
}

TEST_F(DarkTheme, TheManagersNameColumnAndTheDialogsNotesKeepTheirTextReadable)
{
    LibraryManagerDialog manager(nullptr, prompts_, volumes_, ConfigInstance().GetLibraryPath(), {});
    manager.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&manager));
    QTreeView* tree = manager.LibraryTree()->View();
    // A group's name, right of its icon; the root is selected and drawn in the highlight.
    const QRect name = tree->visualRect(tree->model()->index(0, 0, tree->model()->index(0, 0)));
    const QImage image = tree->viewport()->grab().toImage();
    EXPECT_GT(DarkPixels(image, QRect(name.left() + name.height() + 4, name.top() + 2, name.width() / 2, name.height() - 4)), 20);

    NewCatalogDialog newCatalog(nullptr, prompts_, volumes_, {}, ConfigInstance().GetLibraryPath());
    SearchDialog search(nullptr, prompts_, ConfigInstance().GetLibraryPath());
    for (const QLabel* note : {newCatalog.findChild<QLabel*>(QStringLiteral("maskNote")),
                               search.findChild<QLabel*>(QStringLiteral("scopeNote"))}) {
        ASSERT_NE(note, nullptr);
        EXPECT_TRUE(Readable(note->palette().color(QPalette::WindowText), note->palette().color(QPalette::Window)))
            << note->objectName().toStdString();
    }
}

}  // namespace
}  // namespace vellumark
