#include "ui/search_dialog.h"

#include "tests/ui/dialog_test_support.h"
#include "ui/library_tree_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

namespace vellumark {
namespace {

class SearchDialogTest : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        testing::MakeDirs(library_ + "/Mp3");
        testing::WriteFile(library_ + "/Mp3/My.Disc.xml", testing::CatalogWithFiles({"a.mp3"}));
    }
};

TEST_F(SearchDialogTest, OkNeedsAPatternThatIsNotBlankAndKeepsThePatternsAsTyped)
{
    SearchDialog dialog(nullptr, prompts_, library_);
    EXPECT_EQ(dialog.windowTitle(), "File Search");
    EXPECT_EQ(dialog.LibraryTree()->View()->toolTip(), "Select to search");
    EXPECT_EQ(dialog.CaseSensitiveBox()->text(), "Case censitive");
    dialog.onOkClicked();
    dialog.DescriptionEdit()->setText("   ");
    dialog.onOkClicked();
    EXPECT_EQ(prompts_.messages, (std::vector<std::string>(2, "Warning: Please input search condition.")));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.NameEdit()->setText("  ");
    dialog.ExtensionEdit()->setText("mp3");
    dialog.WholeValuesBox()->setChecked(true);
    dialog.onOkClicked();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SearchRequest request = dialog.Request();
    EXPECT_EQ(request.scopePath, library_);
    EXPECT_TRUE(request.scopeIsGroup);
    EXPECT_EQ(request.namePattern, "  ");
    EXPECT_EQ(request.descriptionPattern, "   ");
    EXPECT_FALSE(request.caseSensitive);
    EXPECT_TRUE(request.wholeValues);
}

TEST_F(SearchDialogTest, TheScopeIsTheFocusedGroupOrCatalogAndNoneIsRefused)
{
    SearchDialog dialog(nullptr, prompts_, library_);
    dialog.NameEdit()->setText("a");
    QTreeView* tree = dialog.LibraryTree()->View();
    const QModelIndex mp3 = tree->model()->index(0, 0, tree->model()->index(0, 0));
    tree->setCurrentIndex(tree->model()->index(0, 0, mp3));
    EXPECT_EQ(dialog.Request().scopePath, library_ + "/Mp3/My.Disc.xml");
    EXPECT_FALSE(dialog.Request().scopeIsGroup);

    tree->setCurrentIndex({});
    dialog.onOkClicked();
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Please input search condition."});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(SearchDialogTest, TheKeyboardWalksTheControlsInOrderAndEnterIsOk)
{
    SearchDialog dialog(nullptr, prompts_, library_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dialog.LibraryTree()->View()->setFocus();
    std::vector<QString> order;
    for (int step = 0; step < 8; ++step) {
        QWidget* focused = QApplication::focusWidget();
        order.push_back(focused ? focused->objectName() : QString());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<QString>{"libraryTree", "nameEdit", "extensionEdit", "descriptionEdit", "caseSensitiveBox", "wholeValuesBox", "scopeNote",
                                           "okButton"}));

    dialog.ExtensionEdit()->setFocus();
    QTest::keyClicks(dialog.ExtensionEdit(), "mp3");
    QTest::keyClick(dialog.ExtensionEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace vellumark
