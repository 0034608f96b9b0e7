#include "ui/library_manager_dialog.h"

#include "services/messages.h"
#include "tests/system/fake_volumes.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/library_tree_view.h"
#include "ui/qt_text.h"

#include <QAbstractItemModelTester>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace vellumark {
namespace {

using testing::PathExists;
using testing::ProcessEventsUntil;

class LibraryManager : public testing::DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        testing::MakeDirs(library_ + "/Mp3/Live");
        testing::MakeDirs(library_ + "/Book");
        testing::WriteFile(library_ + "/Mp3/Rock.xml", testing::CatalogWithFiles({"a.mp3"}));
        testing::WriteFile(library_ + "/Mp3/Pop.xml", testing::CatalogWithFiles({"b.mp3"}));
        testing::WriteFile(library_ + "/Mp3/Live/Gig.xml", testing::CatalogWithFiles({"c.mp3"}));
        dialog_ = std::make_unique<LibraryManagerDialog>(nullptr, prompts_, volumes_, library_,
                                              [this](QWidget*, const std::string& path) { exported_.push_back(path); });
        tester_ = std::make_unique<QAbstractItemModelTester>(Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    LibraryTreeModel* Model() const { return dialog_->LibraryTree()->Model(); }
    QTreeView* Tree() const { return dialog_->LibraryTree()->View(); }
    // The node reached by names from the root, e.g. {"Mp3", "Live"}.
    CatalogTreeNode* Node(std::initializer_list<const char*> names) const
    {
        CatalogTreeNode* node = Model()->Tree().First();
        for (const char* name : names) {
            CatalogTreeNode* next = nullptr;
            for (int row = 0; node && row < node->ChildCount(); ++row)
                if (node->Child(row)->record.Field(kFileName) == name)
                    next = node->Child(row);
            node = next;
        }
        return node;
    }
    void Focus(CatalogTreeNode* node) const { Tree()->setCurrentIndex(Model()->IndexOf(node)); }
    QLineEdit* Editor() const
    {
        ProcessEventsUntil([this] { return Tree()->indexWidget(Tree()->currentIndex()) != nullptr; }, 2000);
        return qobject_cast<QLineEdit*>(Tree()->indexWidget(Tree()->currentIndex()));
    }
    void Type(const char* text, Qt::Key key) const
    {
        QLineEdit* editor = Editor();
        ASSERT_NE(editor, nullptr);
        if (text)
            editor->setText(QString::fromUtf8(text));
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents();
    }

    testing::FakeVolumes volumes_;
    std::vector<std::string> exported_;
    std::unique_ptr<LibraryManagerDialog> dialog_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

TEST_F(LibraryManager, ButtonsFollowTheFocusedNode)
{
    EXPECT_EQ(dialog_->windowTitle(), "Catalog Library ");
    EXPECT_EQ(Model()->headerData(0, Qt::Horizontal).toString(), "Name  (Press F2 to edit)");
    EXPECT_EQ(dialog_->NewGroupButton()->toolTip(), "Create a new group");
    EXPECT_EQ(dialog_->LibraryTree()->FocusedNode(), Node({}));
    const auto enabled = [this] {
        return std::vector<bool>{dialog_->DeleteButton()->isEnabled(), dialog_->OpenButton()->isEnabled(),
                                 dialog_->ExportButton()->isEnabled()};
    };
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false}));
    Focus(Node({"Mp3"}));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false}));
    Focus(Node({"Mp3", "Rock"}));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true}));

    dialog_->onExportClicked();
    EXPECT_EQ(exported_, std::vector<std::string>{library_ + "/Mp3/Rock.xml"});
    EXPECT_TRUE(dialog_->isVisible());
    dialog_->onOpenClicked();
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    EXPECT_EQ(dialog_->CatalogPath(), library_ + "/Mp3/Rock.xml");
}

TEST_F(LibraryManager, OpenAndExportDoNothingOnAGroup)
{
    Focus(Node({"Mp3"}));
    emit Tree()->doubleClicked(Model()->IndexOf(Node({"Mp3"})));
    dialog_->onExportClicked();
    EXPECT_NE(dialog_->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog_->CatalogPath().empty());
    EXPECT_TRUE(exported_.empty());
}

TEST_F(LibraryManager, ANewGroupCommitsOnEnterWithTheDefaultOrTypedName)
{
    dialog_->onNewGroupClicked();
    EXPECT_TRUE(dialog_->NewGroupPending());
    EXPECT_FALSE(PathExists(library_ + "/NewGroup"));
    Type(nullptr, Qt::Key_Return);
    EXPECT_FALSE(dialog_->NewGroupPending());
    EXPECT_TRUE(PathExists(library_ + "/NewGroup"));
    ASSERT_NE(Node({"NewGroup"}), nullptr);

    dialog_->onNewGroupClicked();
    Type("Jazz", Qt::Key_Return);
    EXPECT_FALSE(dialog_->NewGroupPending());
    EXPECT_TRUE(PathExists(library_ + "/Jazz"));
    ASSERT_NE(Node({"Jazz"}), nullptr);
    EXPECT_EQ(Node({"Jazz"})->record.Field(kFullPath), library_ + "/Jazz");
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(LibraryManager, ATakenNameIsRefusedTheEditorReopensAndEscapeDiscardsTheGroup)
{
    dialog_->onNewGroupClicked();
    Type("Mp3", Qt::Key_Return);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: A file with the name already exists!"});
    EXPECT_TRUE(dialog_->NewGroupPending());
    ASSERT_NE(Editor(), nullptr);  // reopened on the same node
    EXPECT_EQ(dialog_->LibraryTree()->FocusedNode()->record.Field(kFileName), "NewGroup");
    EXPECT_FALSE(PathExists(library_ + "/NewGroup"));
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Rock.xml"));

    Type(nullptr, Qt::Key_Escape);
    EXPECT_FALSE(dialog_->NewGroupPending());
    EXPECT_EQ(Node({"NewGroup"}), nullptr);
    EXPECT_FALSE(PathExists(library_ + "/NewGroup"));
}

TEST_F(LibraryManager, TheDefaultNameTakenReopensWithoutAMessage)
{
    testing::MakeDirs(library_ + "/NewGroup");
    dialog_->LibraryTree()->FillTree(library_, false);
    dialog_->onNewGroupClicked();
    Type(nullptr, Qt::Key_Return);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(dialog_->NewGroupPending());
    Type(nullptr, Qt::Key_Escape);
    EXPECT_FALSE(dialog_->NewGroupPending());
    // Only the folder that was there before is left.
    int named = 0;
    for (const CatalogTreeNode* node : Model()->Tree().PreOrder())
        named += node->record.Field(kFileName) == "NewGroup";
    EXPECT_EQ(named, 1);
}

TEST_F(LibraryManager, ANewGroupCommitsWhenTheFocusMovesAndIsHeldWhenItCannot)
{
    dialog_->onNewGroupClicked();
    ASSERT_NE(Editor(), nullptr);
    Focus(Node({"Book"}));
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog_->NewGroupPending());
    EXPECT_TRUE(PathExists(library_ + "/NewGroup"));

    dialog_->onNewGroupClicked();
    ASSERT_NE(Editor(), nullptr);
    CatalogTreeNode* second = dialog_->LibraryTree()->FocusedNode();
    Focus(Node({"Book"}));
    ProcessEventsUntil([&] { return dialog_->LibraryTree()->FocusedNode() == second; });
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: A file with the name already exists!"});
    EXPECT_EQ(dialog_->LibraryTree()->FocusedNode(), second);
    EXPECT_TRUE(dialog_->NewGroupPending());
    // While a group is pending nothing can be dragged.
    EXPECT_FALSE(dialog_->DragAllowed(Node({"Book"})));
    EXPECT_FALSE(dialog_->DropOnto(Node({"Book"}), Node({"Mp3"})));
    EXPECT_TRUE(PathExists(library_ + "/Book"));
}

TEST_F(LibraryManager, RenamingACatalogNeverOverwritesAndMovesItsFile)
{
    Focus(Node({"Mp3", "Rock"}));
    Tree()->edit(Tree()->currentIndex());
    Type("Pop", Qt::Key_Return);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: A file with the name already exists!"});
    EXPECT_EQ(testing::ReadFile(library_ + "/Mp3/Pop.xml"), testing::CatalogWithFiles({"b.mp3"}));
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Rock.xml"));
    ASSERT_NE(Node({"Mp3", "Rock"}), nullptr);

    Type("Jazz", Qt::Key_Return);
    EXPECT_FALSE(PathExists(library_ + "/Mp3/Rock.xml"));
    EXPECT_EQ(testing::ReadFile(library_ + "/Mp3/Jazz.xml"), testing::CatalogWithFiles({"a.mp3"}));
    ASSERT_NE(Node({"Mp3", "Jazz"}), nullptr);
    EXPECT_EQ(Node({"Mp3", "Jazz"})->record.Field(kFullPath), library_ + "/Mp3/Jazz.xml");

    Focus(Node({"Mp3", "Jazz"}));
    Tree()->edit(Tree()->currentIndex());
    Type("../Out", Qt::Key_Return);
    EXPECT_EQ(prompts_.messages.back(), std::string("Warning: ") + messages::kBadItemName);
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Jazz.xml"));
}

TEST_F(LibraryManager, RenamingAGroupMovesThePathsBelowItAtOnce)
{
    Focus(Node({"Mp3"}));
    Tree()->edit(Tree()->currentIndex());
    Type("Music", Qt::Key_Return);
    ASSERT_TRUE(PathExists(library_ + "/Music/Live/Gig.xml"));
    CatalogTreeNode* gig = Node({"Music", "Live", "Gig"});
    ASSERT_NE(gig, nullptr);
    EXPECT_EQ(Node({"Music", "Live"})->record.Field(kFullPath), library_ + "/Music/Live");
    Focus(gig);
    dialog_->onOpenClicked();
    EXPECT_EQ(dialog_->CatalogPath(), library_ + "/Music/Live/Gig.xml");
}

TEST_F(LibraryManager, TheRootCannotBeEditedDeletedOrDragged)
{
    CatalogTreeNode* root = Node({});
    EXPECT_FALSE(Model()->flags(Model()->IndexOf(root)) & Qt::ItemIsEditable);
    EXPECT_FALSE(dialog_->DragAllowed(root));
    dialog_->onDeleteClicked();
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(PathExists(library_));
}

TEST_F(LibraryManager, DeleteAsksFirstAndRemovesTheNodeOnlyWhenTheDiskDid)
{
    Focus(Node({"Mp3"}));
    dialog_->onDeleteClicked();
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: Are you sure to delete the item and all its children?"});
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Live/Gig.xml"));
    ASSERT_NE(Node({"Mp3"}), nullptr);

    prompts_.yesNoAnswers = {true};
    dialog_->onDeleteClicked();
    EXPECT_FALSE(PathExists(library_ + "/Mp3"));
    EXPECT_EQ(Node({"Mp3"}), nullptr);

    // A catalog that is gone from the disk cannot be deleted: the node stays and the reason shows.
    testing::WriteFile(library_ + "/Book/Novel.xml", testing::CatalogWithFiles({}));
    dialog_->LibraryTree()->FillTree(library_, false);
    CatalogTreeNode* novel = Node({"Book", "Novel"});
    ASSERT_NE(novel, nullptr);
    std::filesystem::remove(library_ + "/Book/Novel.xml");
    Focus(novel);
    prompts_.yesNoAnswers = {true};
    prompts_.messages.clear();
    dialog_->onDeleteClicked();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_NE(prompts_.messages[1].find("Novel.xml"), std::string::npos);
    EXPECT_EQ(Node({"Book", "Novel"}), novel);
}

TEST_F(LibraryManager, DropsAreRefusedOntoItselfItsDescendantsAndCatalogs)
{
    CatalogTreeNode* mp3 = Node({"Mp3"});
    EXPECT_FALSE(dialog_->DropAllowed(mp3, mp3));
    EXPECT_FALSE(dialog_->DropAllowed(mp3, Node({"Mp3", "Live"})));
    EXPECT_FALSE(dialog_->DropAllowed(mp3, Node({"Mp3", "Rock"})));
    EXPECT_FALSE(dialog_->DropAllowed(Node({"Mp3", "Pop"}), Node({"Mp3", "Rock"})));
    EXPECT_FALSE(dialog_->DropAllowed(mp3, nullptr));
    EXPECT_TRUE(dialog_->DropAllowed(mp3, Node({"Book"})));
    EXPECT_FALSE(dialog_->DropOnto(mp3, Node({"Mp3", "Live"})));
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Live"));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(LibraryManager, ADropMovesTheItemAndReloadsTheTreeAndAClashChangesNothing)
{
    ASSERT_TRUE(dialog_->DropOnto(Node({"Mp3", "Rock"}), Node({})));
    EXPECT_TRUE(PathExists(library_ + "/Rock.xml"));
    EXPECT_FALSE(PathExists(library_ + "/Mp3/Rock.xml"));
    ASSERT_NE(Node({"Rock"}), nullptr);
    EXPECT_EQ(dialog_->LibraryTree()->FocusedNode(), Node({}));

    testing::MakeDirs(library_ + "/Book/Live");
    dialog_->LibraryTree()->FillTree(library_, false);
    CatalogTreeNode* live = Node({"Mp3", "Live"});
    EXPECT_FALSE(dialog_->DropOnto(live, Node({"Book"})));
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Warning: A file with the name already exists!"});
    EXPECT_EQ(Node({"Mp3", "Live"}), live);
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Live/Gig.xml"));
}

TEST_F(LibraryManager, ADropOntoACatalogRowOrBetweenRowsChangesNothing)
{
    // The view turns a drop onto a row that takes none into a drop between rows: the row and
    // the parent it names are the catalog's place in its group, never a target of their own.
    CatalogTreeNode* book = Node({"Book"});
    QMimeData* data = Model()->mimeData({Model()->IndexOf(book)});
    ASSERT_NE(data, nullptr);
    const QModelIndex mp3 = Model()->IndexOf(Node({"Mp3"}));
    const int rockRow = Node({"Mp3", "Rock"})->Row();
    EXPECT_FALSE(Model()->canDropMimeData(data, Qt::MoveAction, rockRow, 0, mp3));
    EXPECT_FALSE(Model()->canDropMimeData(data, Qt::MoveAction, rockRow + 1, 0, mp3));
    EXPECT_TRUE(Model()->canDropMimeData(data, Qt::MoveAction, -1, -1, mp3));
    delete data;

    // The same through the view, as a drop at a point of a row. The view takes drops only from
    // its own drags, which a test cannot start; it takes them from anywhere for this test.
    QTreeView* tree = Tree();
    tree->expandAll();
    tree->setDragDropMode(QAbstractItemView::DragDrop);
    const auto dropAt = [&](CatalogTreeNode* dragged, CatalogTreeNode* row, int yInRow) {
        ASSERT_TRUE(dragged && row);
        Focus(dragged);
        std::unique_ptr<QMimeData> mime(Model()->mimeData({Model()->IndexOf(dragged)}));
        // The drag enters over the root, which takes drops, and moves to the point of the drop.
        QDragEnterEvent enter(tree->visualRect(Model()->IndexOf(Node({}))).center(), Qt::MoveAction, mime.get(),
                              Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        const QRect rect = tree->visualRect(Model()->IndexOf(row));
        const QPoint point(rect.center().x(), rect.top() + yInRow);
        QDragMoveEvent move(point, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &move);
        QDropEvent drop(point, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree->viewport(), &drop);
        QCoreApplication::processEvents();
    };
    const int rowHeight = tree->visualRect(Model()->IndexOf(Node({"Mp3", "Rock"}))).height();
    for (const int y : {1, rowHeight / 2, rowHeight - 1})
        dropAt(Node({"Book"}), Node({"Mp3", "Rock"}), y);
    EXPECT_TRUE(PathExists(library_ + "/Book"));
    EXPECT_FALSE(PathExists(library_ + "/Mp3/Book"));
    ASSERT_NE(Node({"Book"}), nullptr);
    EXPECT_EQ(Node({"Mp3", "Book"}), nullptr);
    EXPECT_TRUE(prompts_.messages.empty());

    // A group still takes a drop anywhere on its row, its edges included.
    dropAt(Node({"Book"}), Node({"Mp3", "Live"}), 1);
    ProcessEventsUntil([this] { return Node({"Mp3", "Live", "Book"}) != nullptr; });
    EXPECT_TRUE(PathExists(library_ + "/Mp3/Live/Book"));
}

TEST_F(LibraryManager, TheModelsDropGoesThroughTheSameChecks)
{
    // A drop through the model (as the view makes it) moves only onto an accepting group.
    CatalogTreeNode* pop = Node({"Mp3", "Pop"});
    QMimeData* data = Model()->mimeData({Model()->IndexOf(pop)});
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(Model()->canDropMimeData(data, Qt::MoveAction, -1, -1, Model()->IndexOf(Node({"Mp3", "Rock"}))));
    Model()->dropMimeData(data, Qt::MoveAction, -1, -1, Model()->IndexOf(Node({"Book"})));
    delete data;
    ProcessEventsUntil([this] { return Node({"Book", "Pop"}) != nullptr; });
    EXPECT_TRUE(PathExists(library_ + "/Book/Pop.xml"));
}

}  // namespace
}  // namespace vellumark
