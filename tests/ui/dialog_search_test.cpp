#include "ui/search_dialog.h"

#include "tests/ui/dialog_test_support.h"
#include "ui/catalog_tree_frame.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

namespace vellumark {
namespace {

class SearchDialog : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        testing::MakeDirs(library_ + "/Mp3");
        testing::WriteFile(library_ + "/Mp3/My.Disc.xml", testing::CatalogWithFiles({"a.mp3"}));
    }
};

TEST_F(SearchDialog, OkNeedsAPatternThatIsNotBlankAndKeepsThePatternsAsTyped)
{
    TFMSearch dialog(nullptr, prompts_);
    EXPECT_EQ(dialog.windowTitle(), "File Search");
    EXPECT_EQ(dialog.FrmCatTree()->VTLib()->toolTip(), "Select to search");
    EXPECT_EQ(dialog.CheckBox1()->text(), "Case censitive");
    dialog.BitBtn1Click();
    dialog.EdDes()->setText("   ");
    dialog.BitBtn1Click();
    EXPECT_EQ(prompts_.messages, (std::vector<std::string>(2, "Warning: Please input search condition.")));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.EdFileName()->setText("  ");
    dialog.EdExt()->setText("mp3");
    dialog.CheckBox2()->setChecked(true);
    dialog.BitBtn1Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SearchRequest request = dialog.Request();
    EXPECT_EQ(request.scopePath, library_);
    EXPECT_TRUE(request.scopeIsGroup);
    EXPECT_EQ(request.namePattern, "  ");
    EXPECT_EQ(request.descriptionPattern, "   ");
    EXPECT_FALSE(request.caseSensitive);
    EXPECT_TRUE(request.wholeValues);
}

TEST_F(SearchDialog, TheScopeIsTheFocusedGroupOrCatalogAndNoneIsRefused)
{
    TFMSearch dialog(nullptr, prompts_);
    dialog.EdFileName()->setText("a");
    QTreeView* tree = dialog.FrmCatTree()->VTLib();
    const QModelIndex mp3 = tree->model()->index(0, 0, tree->model()->index(0, 0));
    tree->setCurrentIndex(tree->model()->index(0, 0, mp3));
    EXPECT_EQ(dialog.Request().scopePath, library_ + "/Mp3/My.Disc.xml");
    EXPECT_FALSE(dialog.Request().scopeIsGroup);

    tree->setCurrentIndex({});
    dialog.BitBtn1Click();
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Please input search condition."});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(SearchDialog, TheKeyboardWalksTheControlsInOrderAndEnterIsOk)
{
    TFMSearch dialog(nullptr, prompts_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dialog.FrmCatTree()->VTLib()->setFocus();
    std::vector<QString> order;
    for (int step = 0; step < 8; ++step) {
        QWidget* focused = QApplication::focusWidget();
        order.push_back(focused ? focused->objectName() : QString());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<QString>{"VTLib", "EdFileName", "EdExt", "EdDes", "CheckBox1", "CheckBox2", "Memo1",
                                           "BitBtn1"}));

    dialog.EdExt()->setFocus();
    QTest::keyClicks(dialog.EdExt(), "mp3");
    QTest::keyClick(dialog.EdExt(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace vellumark
