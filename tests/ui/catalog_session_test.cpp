#include "ui/catalog_session.h"

#include "core/catalog_file.h"
#include "core/column_keys.h"
#include "system/file_status.h"
#include "tests/ui/ui_test_support.h"
#include "ui/file_list_model.h"
#include "ui/task_runner.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace vellumark {
namespace {

using testing::FakePrompts;
using testing::ProcessEventsUntil;
using testing::ReadFile;
using testing::RecordingProgress;
using testing::TempDir;
using testing::WriteFile;

class CatalogSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        small_ = folder_ / "Small.xml";
        other_ = folder_ / "Other.xml";
        WriteFile(small_, testing::SmallCatalogText());
        WriteFile(other_, testing::SmallCatalogText());
        session_.Model()->SetColumns({ListColumn{"FileName", kFileName, false}, ListColumn{"Description", kDescription, false}});
    }

    CatalogTreeNode* Find(std::string_view name) const
    {
        for (CatalogTreeNode* node : session_.Tree().PreOrder())
            if (node->record.Field(kFileName) == name)
                return node;
        return nullptr;
    }
    static FileStatus StatusOf(const std::string& path) { return StatusOfPath(path, FollowLinks::Yes).value(); }

    TempDir folder_;
    std::string small_;
    std::string other_;
    FakePrompts prompts_;
    RecordingProgress progress_;
    TaskRunner runner_{progress_};
    CatalogSession session_{runner_, prompts_};
    QAbstractItemModelTester tester_{session_.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(CatalogSessionTest, OpenShowsTheCatalogWithItsFileIdentityAndTheSamePathDoesNothing)
{
    int shown = 0;
    session_.SetCatalogShownHandler([&] { ++shown; });
    EXPECT_TRUE(session_.CatalogPath().empty());
    EXPECT_EQ(session_.FileIdentity(), nullptr);

    ASSERT_TRUE(session_.Open(small_));
    EXPECT_EQ(session_.CatalogPath(), small_);
    EXPECT_EQ(session_.Tree().NodeCount(), 5u);
    ASSERT_NE(session_.FileIdentity(), nullptr);
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(small_));
    EXPECT_EQ(shown, 1);

    QSignalSpy resets(session_.Model(), &QAbstractItemModel::modelAboutToBeReset);
    ASSERT_TRUE(session_.Open(small_));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(shown, 1);

    // A file that does not read leaves everything as it was.
    WriteFile(folder_ / "Broken.xml", "<fileinfo><file FileName=");
    EXPECT_FALSE(session_.Open(folder_ / "Broken.xml"));
    EXPECT_EQ(session_.CatalogPath(), small_);
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(small_));
    EXPECT_EQ(session_.Tree().NodeCount(), 5u);
    EXPECT_EQ(resets.count(), 0);
}

TEST_F(CatalogSessionTest, AnAdoptedTreeHasNoIdentityUntilItsFileIsWrittenAndEachSaveTakesTheNewFile)
{
    CatalogTree tree;
    tree.Append(nullptr)->record.SetField(kFileName, "Scanned");
    const std::string path = folder_ / "New.xml";
    int shown = 0;
    session_.SetCatalogShownHandler([&] { ++shown; });
    session_.Adopt(std::move(tree), path);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(session_.CatalogPath(), path);
    EXPECT_EQ(session_.FileIdentity(), nullptr);

    ASSERT_TRUE(session_.SaveNewCatalog(false));
    ASSERT_NE(session_.FileIdentity(), nullptr);
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(path));
    const FileStatus first = *session_.FileIdentity();
    // The save replaces the file by rename: the identity follows it.
    ASSERT_TRUE(session_.SaveNewCatalog(true));
    EXPECT_FALSE(session_.FileIdentity()->SameFileAs(first));
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(path));
    EXPECT_TRUE(prompts_.messages.empty());
}

// A catalog of the new one's name that appeared while the scan ran is only replaced when the
// user says so, at the moment its file would be put in place.
TEST_F(CatalogSessionTest, ANewCatalogKeepsAFileThatAppearedMeanwhileUnlessTheUserAgrees)
{
    const std::string path = folder_ / "New.xml";
    CatalogTree tree;
    tree.Append(nullptr)->record.SetField(kFileName, "Scanned");
    session_.Adopt(std::move(tree), path);
    WriteFile(path, "appeared");

    prompts_.yesNoAnswers = {false, true};
    EXPECT_EQ(session_.SaveNewCatalog(false).code(), Status::Code::Cancelled);
    EXPECT_EQ(ReadFile(path), "appeared");
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], "Warning: Catalog with the same name already exists,overwrite?");

    ASSERT_TRUE(session_.SaveNewCatalog(false));
    EXPECT_NE(ReadFile(path).find("Scanned"), std::string::npos);
    EXPECT_EQ(prompts_.messages.size(), 2u);
    EXPECT_TRUE(testing::ListFolder(folder_.Path()) == (std::vector<std::string>{"New.xml", "Other.xml", "Small.xml"}));
}

// Another program saved the catalog after the list read it: the edit is applied to the file as
// it is now, the list shows that, and the user is told; an edit of an entry that is gone is
// refused and the file left as the other program wrote it.
TEST_F(CatalogSessionTest, AnEditOfACatalogChangedElsewhereLandsOnItsFreshContent)
{
    ASSERT_TRUE(session_.Open(small_));
    std::string elsewhere = testing::SmallCatalogText();
    const std::string name = "FileName=\"A.mp3\"";
    elsewhere.replace(elsewhere.find(name), name.size(), name + " Description=\"theirs\"");
    WriteFile(small_, elsewhere);

    session_.EditEntry(*Find("readme.txt"), kDescription, "mine");
    const Status saved = session_.SaveEdits();
    ASSERT_TRUE(saved) << saved.message();
    const std::string written = ReadFile(small_);
    EXPECT_NE(written.find("theirs"), std::string::npos);
    EXPECT_NE(written.find("mine"), std::string::npos);
    EXPECT_EQ(Find("A.mp3")->record.Field(kDescription), "theirs");
    EXPECT_EQ(Find("readme.txt")->record.Field(kDescription), "mine");
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(small_));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_NE(prompts_.messages[0].find("read again"), std::string::npos);

    // The entry is gone from what the other program wrote.
    std::string without = testing::SmallCatalogText();
    const std::size_t readme = without.find("<file FileName=\"readme.txt\"");
    without.erase(readme, without.find("/>", readme) + 2 - readme);
    WriteFile(small_, without);
    session_.EditEntry(*Find("readme.txt"), kDescription, "lost?");
    EXPECT_FALSE(session_.SaveEdits());
    EXPECT_EQ(ReadFile(small_), without);
    EXPECT_EQ(Find("readme.txt"), nullptr);
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(small_));
    // The save the edit queued finds nothing left to do.
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(ReadFile(small_), without);
}

TEST_F(CatalogSessionTest, ListsThatBelongToNoFileAskWhereToSaveAndStayUnattached)
{
    ASSERT_TRUE(session_.Open(small_));
    session_.Detach();
    EXPECT_TRUE(session_.CatalogPath().empty());
    EXPECT_EQ(session_.FileIdentity(), nullptr);
    EXPECT_EQ(session_.Tree().NodeCount(), 5u);

    const std::string chosen = folder_ / "Results.xml";
    prompts_.saveChoices = {"", chosen};
    EXPECT_EQ(session_.SaveEdits().code(), Status::Code::Cancelled);
    ASSERT_TRUE(session_.SaveEdits());
    EXPECT_TRUE(testing::PathExists(chosen));
    EXPECT_TRUE(session_.CatalogPath().empty());
    EXPECT_EQ(session_.FileIdentity(), nullptr);

    CatalogTree batch;
    batch.Append(nullptr)->record.SetField(kFileName, "late.mp3");
    session_.AppendResults(std::move(batch));
    EXPECT_EQ(session_.Tree().TopLevelCount(), 2);
    session_.Clear();
    EXPECT_TRUE(session_.Tree().Empty());
}

TEST_F(CatalogSessionTest, EditsInQuickSuccessionShareOneSaveThatRunsAfterTheEditorsCall)
{
    ASSERT_TRUE(session_.Open(small_));
    const std::string before = ReadFile(small_);
    const int savesBefore = progress_.shows;
    CatalogTreeNode* readme = Find("readme.txt");
    ASSERT_NE(readme, nullptr);
    session_.EditEntry(*readme, kDescription, "first");
    session_.EditEntry(*Find("A.mp3"), kDescription, "second");
    EXPECT_EQ(ReadFile(small_), before);
    EXPECT_EQ(progress_.shows, savesBefore);

    ASSERT_TRUE(ProcessEventsUntil([&] { return progress_.shows > savesBefore; }));
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(progress_.shows, savesBefore + 1);
    const std::string after = ReadFile(small_);
    EXPECT_NE(after.find("first"), std::string::npos);
    EXPECT_NE(after.find("second"), std::string::npos);
    EXPECT_EQ(*session_.FileIdentity(), StatusOf(small_));
    EXPECT_TRUE(prompts_.messages.empty());
}

// However the queued save and the next command reach the event loop, an edit is written to
// the catalog it was made in, never lost with the list nor written into the next catalog.
TEST_F(CatalogSessionTest, AnEditIsSavedToItsOwnCatalogBeforeTheListChanges)
{
    ASSERT_TRUE(session_.Open(small_));
    session_.EditEntry(*Find("readme.txt"), kDescription, "kept");
    ASSERT_TRUE(session_.Open(other_));
    EXPECT_NE(ReadFile(small_).find("kept"), std::string::npos);
    EXPECT_EQ(ReadFile(other_).find("kept"), std::string::npos);

    session_.EditEntry(*Find("b.mp3"), kDescription, "also kept");
    session_.Clear();
    EXPECT_NE(ReadFile(other_).find("also kept"), std::string::npos);
    const std::string written = ReadFile(other_);
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(ReadFile(other_), written);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(CatalogSessionTest, AnEditInTheListGoesThroughTheSessionAndIsReportedBack)
{
    ASSERT_TRUE(session_.Open(small_));
    CatalogTreeNode* edited = nullptr;
    session_.SetListEditHandler([&](CatalogTreeNode& node) { edited = &node; });
    CatalogTreeNode* rock = Find("Rock");
    const QModelIndex index = session_.Model()->IndexOf(rock);
    ASSERT_TRUE(session_.Model()->setData(index, QStringLiteral("Jazz")));
    EXPECT_EQ(edited, rock);
    EXPECT_EQ(Find("b.mp3")->record.Field(kFullPath), "CD/Jazz/b.mp3");
    ASSERT_TRUE(ProcessEventsUntil([&] { return ReadFile(small_).find("CD/Jazz/b.mp3") != std::string::npos; }));
}

}  // namespace
}  // namespace vellumark
