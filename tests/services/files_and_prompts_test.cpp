#include "services/atomic_file.h"
#include "services/messages.h"
#include "services/progress.h"
#include "services/prompts.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>

namespace vellumark {
namespace {

using testing::FakePrompts;
using testing::ListFolder;
using testing::ReadFile;
using testing::RecordingProgress;
using testing::TempDir;
using testing::WriteFile;

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::SetFaultHook(nullptr); }
    TempDir dir;
};

TEST_F(AtomicFileTest, ReplacesTheTargetWholeAndKeepsItsMode)
{
    const std::string path = dir / "catalog.xml";
    WriteFile(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, "new content"));
    EXPECT_EQ(ReadFile(path), "new content");
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"catalog.xml"});
}

TEST_F(AtomicFileTest, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    for (AtomicFile::Step failing : {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync,
                                     AtomicFile::Step::Rename}) {
        const std::string path = dir / "catalog.xml";
        WriteFile(path, "old");
        AtomicFile::SetFaultHook([failing](AtomicFile::Step step) { return step == failing; });
        const Status status = WriteFileAtomically(path, std::string(3 << 20, 'x'));
        EXPECT_FALSE(status);
        EXPECT_EQ(status.code(), Status::Code::Failed);
        EXPECT_NE(status.message().find("catalog.xml"), std::string::npos) << status.message();
        EXPECT_EQ(ReadFile(path), "old");
        EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"catalog.xml"});
    }
}

TEST_F(AtomicFileTest, LargePiecesAndSmallOnesLandInTheOrderWritten)
{
    // Large pieces skip the buffer only while it is empty; any other order would show here.
    const std::string path = dir / "catalog.xml";
    const std::string large(1 << 20, 'L'), larger((1 << 20) + 5, 'M');
    AtomicFile file(path);
    ASSERT_TRUE(file.Open());
    for (const std::string* piece : {&large, &larger})
        ASSERT_TRUE(file.Write(*piece));
    ASSERT_TRUE(file.Write("small"));
    ASSERT_TRUE(file.Write(large));
    ASSERT_TRUE(file.Write("end"));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(path), large + larger + "small" + large + "end");
}

// A library that writes its own file by name writes into the temporary file.
TEST_F(AtomicFileTest, AWriterByNameFillsTheTemporaryFileThatCommitPutsInPlace)
{
    const std::string path = dir / "book.xlsx";
    WriteFile(path, "old");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        const std::string temporary = file.TemporaryPath();
        EXPECT_NE(temporary, path);
        EXPECT_EQ(temporary.substr(0, dir.Path().size() + 1), dir.Path() + "/");
        WriteFile(temporary, "written by name");
        EXPECT_EQ(ReadFile(path), "old");
    }
    // Abandoned without Commit: the old file stays, the temporary file goes.
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"book.xlsx"});
    EXPECT_EQ(ReadFile(path), "old");

    AtomicFile file(path);
    ASSERT_TRUE(file.Open());
    WriteFile(file.TemporaryPath(), "written by name");
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(path), "written by name");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"book.xlsx"});
}

TEST_F(AtomicFileTest, AMissingFolderIsReported)
{
    const Status status = WriteFileAtomically(dir / "missing/catalog.xml", "x");
    EXPECT_FALSE(status);
    EXPECT_NE(status.message().find("No such file"), std::string::npos) << status.message();
}

TEST(Progress, NestedOperationsShareOneWindowAndOnlyTheOutermostClearsTheCancelFlag)
{
    RecordingProgress progress;
    progress.Begin(true);
    progress.Cancel();
    {
        WaitScope inner(progress, messages::kLoadingInfo);
        EXPECT_TRUE(progress.Cancelled());
    }
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.hides, 0);
    EXPECT_TRUE(progress.lastCancelVisible);
    progress.End();
    EXPECT_EQ(progress.hides, 1);
    progress.End();  // closing a window that is not shown does nothing
    EXPECT_EQ(progress.hides, 1);

    progress.Begin(false);
    EXPECT_FALSE(progress.Cancelled());  // a new operation starts without a left-over cancel
    progress.End();
}

TEST(Progress, ThrottlesMessagesButShowsTheFirstAtOnce)
{
    RecordingProgress progress;
    WaitScope wait(progress, "first");
    for (int i = 0; i < 10000; ++i)
        progress.SetMessage("entry");
    ASSERT_FALSE(progress.shownMessages.empty());
    EXPECT_EQ(progress.shownMessages.front(), "first");
    EXPECT_LT(progress.shownMessages.size(), 10u);
}

TEST(Progress, AMessageAskedForWithDueIsShown)
{
    RecordingProgress progress;
    WaitScope wait(progress, "first");
    int asked = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(350);
    while (std::chrono::steady_clock::now() < until) {
        if (progress.Due()) {
            ++asked;
            progress.SetMessage("due");
        }
    }
    EXPECT_GE(asked, 2);
    EXPECT_EQ(static_cast<int>(progress.shownMessages.size()), asked + 1);
}

TEST(Prompts, OpenRefusesAMissingFileWithItsMessage)
{
    TempDir dir;
    FakePrompts prompts;
    prompts.openChoices = {dir / "missing.xml"};
    EXPECT_EQ(AskOpenFile(prompts, {".xml", "XML File|*.XML", ""}), "");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Warning: The file does not exist.");
}

TEST(Prompts, SaveAsksBeforeReplacingAndNeverDeletesTheOldFile)
{
    TempDir dir;
    const std::string path = dir / "out.htm";
    WriteFile(path, "old");
    FakePrompts prompts;
    prompts.saveChoices = {path, path};
    prompts.yesNoAnswers = {false, true};
    EXPECT_EQ(AskSaveFile(prompts, {".htm", "HTML File|*.htm", "x"}).path, "");
    const SaveTarget agreed = AskSaveFile(prompts, {".htm", "HTML File|*.htm", "x"});
    EXPECT_EQ(agreed.path, path);
    EXPECT_TRUE(agreed.replaceAgreed);
    EXPECT_EQ(prompts.messages.back(), "Warning: Catalog with the same name already exists,overwrite?");
    EXPECT_EQ(ReadFile(path), "old");

    // A new file is never asked about, and nothing agreed to replace what may appear there.
    prompts.saveChoices = {dir / "new.htm"};
    const std::size_t asked = prompts.messages.size();
    const SaveTarget fresh = AskSaveFile(prompts, {".htm", "HTML File|*.htm", "x"});
    EXPECT_EQ(fresh.path, dir / "new.htm");
    EXPECT_FALSE(fresh.replaceAgreed);
    EXPECT_EQ(prompts.messages.size(), asked);
}

}  // namespace
}  // namespace vellumark
