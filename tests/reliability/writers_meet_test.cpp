// Writers that meet, as real processes of vellumark-cli: edits, updates, renames and new files
// of one name at once, and saves killed half-way. Each interleaving is forced with the pause
// places of the writers, never left to timing.
#include "app/cli/cli.h"
#include "services/atomic_file.h"
#include "tests/common/test_support.h"
#include "tests/reliability/cli_processes.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vellumark {
namespace {

using testing::CliProcess;
using testing::InodeOf;
using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitUntilWaitingForLock;
using testing::WriteFile;

std::vector<std::string> TemporaryFiles(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : ListFolder(folder))
        if (IsTemporaryFileName(name))
            found.push_back(name);
    return found;
}

std::size_t CountOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class WritersMeet : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDirs(source + "/sub");
        WriteFile(source + "/alpha.txt", "1");
        WriteFile(source + "/beta.txt", "22");
        WriteFile(source + "/sub/gamma.txt", "333");
        ASSERT_EQ(Cli({"scan", source, "--name", "Disc"}), 0) << err;
    }

    int Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream outStream;
        std::ostringstream errStream;
        const int code = cli::Run(arguments, outStream, errStream, false);
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    std::unique_ptr<CliProcess> Start(const std::vector<std::string>& arguments, const std::string& pause = {})
    {
        return std::make_unique<CliProcess>(dir.Path(), home, arguments, pause);
    }

    std::unique_ptr<CliProcess> StartEdit(const std::string& entry, const std::string& description,
                                          const std::string& pause = {})
    {
        return Start({"edit", "Disc.xml", "--entry", source + "/" + entry, "--description", description}, pause);
    }

    std::string Catalog() { return ReadFile(catalog); }

    TempDir dir;
    std::string home = dir / "home";
    std::string library = home + "/CatalogLibrary";
    std::string catalog = library + "/Disc.xml";
    std::string source = dir / "source";
    std::string out;
    std::string err;
};

TEST_F(WritersMeet, AnEditWaitsForTheOneHoldingTheLockAndBothLand)
{
    auto first = StartEdit("alpha.txt", "first words", "catalog-locked");
    ASSERT_TRUE(first->WaitStopped()) << first->Err();
    auto second = StartEdit("beta.txt", "second words");
    EXPECT_TRUE(WaitUntilWaitingForLock(*second, InodeOf(catalog))) << "the second edit did not wait for the lock";
    first->Continue();
    EXPECT_EQ(first->WaitExit(), 0) << first->Err();
    EXPECT_EQ(second->WaitExit(), 0) << second->Err();
    EXPECT_NE(Catalog().find("first words"), std::string::npos);
    EXPECT_NE(Catalog().find("second words"), std::string::npos);
}

// The second edit is granted the lock of a file the first one has replaced meanwhile: it must
// take the lock of the new file, or a third edit that locks the new file works beside it and
// one of the two is lost.
TEST_F(WritersMeet, AnEditGrantedTheLockOfAReplacedFileLocksTheNewOne)
{
    auto first = StartEdit("alpha.txt", "first words", "catalog-read");
    ASSERT_TRUE(first->WaitStopped()) << first->Err();
    auto second = StartEdit("beta.txt", "second words", "catalog-read");
    ASSERT_TRUE(WaitUntilWaitingForLock(*second, InodeOf(catalog))) << "the second edit did not wait for the lock";
    first->Continue();
    ASSERT_EQ(first->WaitExit(), 0) << first->Err();

    ASSERT_TRUE(second->WaitStopped()) << second->Err();
    auto third = StartEdit("sub/gamma.txt", "third words");
    EXPECT_TRUE(WaitUntilWaitingForLock(*third, InodeOf(catalog)))
        << "the third edit did not wait for the second, which holds the lock";
    second->Continue();
    EXPECT_EQ(second->WaitExit(), 0) << second->Err();
    EXPECT_EQ(third->WaitExit(), 0) << third->Err();
    for (const char* words : {"first words", "second words", "third words"})
        EXPECT_NE(Catalog().find(words), std::string::npos) << words;
}

TEST_F(WritersMeet, AnEditRacingARenameLeavesOneCatalogHoldingTheEdit)
{
    auto edit = StartEdit("alpha.txt", "edited words", "catalog-read");
    ASSERT_TRUE(edit->WaitStopped()) << edit->Err();
    auto rename = Start({"rename", "Disc.xml", "Renamed"});
    EXPECT_TRUE(WaitUntilWaitingForLock(*rename, InodeOf(catalog))) << "the rename did not wait for the edit";
    edit->Continue();
    EXPECT_EQ(edit->WaitExit(), 0) << edit->Err();
    EXPECT_EQ(rename->WaitExit(), 0) << rename->Err();
    EXPECT_FALSE(PathExists(catalog)) << "two catalogs";
    EXPECT_NE(ReadFile(library + "/Renamed.xml").find("edited words"), std::string::npos);

}

TEST_F(WritersMeet, AnUpdateAndAnEditThatMeetBothLand)
{
    WriteFile(source + "/delta.txt", "4444");
    auto edit = StartEdit("alpha.txt", "kept words", "catalog-read");
    ASSERT_TRUE(edit->WaitStopped()) << edit->Err();
    auto update = Start({"update", "Disc.xml"});
    EXPECT_TRUE(WaitUntilWaitingForLock(*update, InodeOf(catalog))) << "the update did not wait for the edit";
    edit->Continue();
    EXPECT_EQ(edit->WaitExit(), 0) << edit->Err();
    EXPECT_EQ(update->WaitExit(), 0) << update->Err();
    EXPECT_NE(Catalog().find("delta.txt"), std::string::npos) << "the update was lost";
    EXPECT_NE(Catalog().find("kept words"), std::string::npos) << "the edit was lost";
}

// Without --force a new file never replaces one that appeared while it was being written; the
// one that comes second is told (exit 3) and the first stays as written.
TEST_F(WritersMeet, NewFilesOfOneNameWithoutForceGiveExitCodes0And3)
{
    const std::string other = dir / "other";
    MakeDirs(other);
    WriteFile(other + "/omega.txt", "x");
    auto loser = Start({"scan", source, "--name", "Same"}, "temporary-written");
    ASSERT_TRUE(loser->WaitStopped()) << loser->Err();
    auto winner = Start({"scan", other, "--name", "Same"});
    EXPECT_EQ(winner->WaitExit(), 0) << winner->Err();
    loser->Continue();
    EXPECT_EQ(loser->WaitExit(), 3);
    EXPECT_NE(loser->Err().find("--force"), std::string::npos) << loser->Err();
    const std::string same = ReadFile(library + "/Same.xml");
    EXPECT_NE(same.find("omega.txt"), std::string::npos);
    EXPECT_EQ(same.find("alpha.txt"), std::string::npos);

    const std::string exported = dir / "out.csv";
    const std::pair<std::vector<std::string>, std::vector<std::string>> races[] = {
        {{"export", "Disc.xml", "--format", "csv", "--out", exported},
         {"export", "Disc.xml", "--format", "text", "--out", exported}},
        // Without the index, whose own saves would stop at the pause place first.
        {{"search", "--no-index", "--name", "alpha", "--format", "csv", "--out", exported},
         {"search", "--no-index", "--name", "alpha", "--format", "text", "--out", exported}},
    };
    for (const auto& [csv, text] : races) {
        std::remove(exported.c_str());
        auto second = Start(csv, "temporary-written");
        ASSERT_TRUE(second->WaitStopped()) << second->Err();
        auto first = Start(text);
        EXPECT_EQ(first->WaitExit(), 0) << first->Err();
        second->Continue();
        EXPECT_EQ(second->WaitExit(), 3) << csv[0];
        EXPECT_EQ(ReadFile(exported).find(','), std::string::npos) << csv[0] << ": the text export was replaced";
    }

    // With --force they take turns, and the last one's catalog stays.
    auto forced = Start({"scan", source, "--name", "Same", "--force"}, "temporary-written");
    ASSERT_TRUE(forced->WaitStopped());
    auto last = Start({"scan", other, "--name", "Same", "--force"});
    EXPECT_TRUE(WaitUntilWaitingForLock(*last, InodeOf(library + "/Same.xml")));
    forced->Continue();
    EXPECT_EQ(forced->WaitExit(), 0) << forced->Err();
    EXPECT_EQ(last->WaitExit(), 0) << last->Err();
    EXPECT_NE(ReadFile(library + "/Same.xml").find("omega.txt"), std::string::npos);
    EXPECT_TRUE(TemporaryFiles(library).empty());
    EXPECT_TRUE(TemporaryFiles(dir.Path()).empty());
}

// A catalog replaced on purpose is replaced after an edit in flight, not overwritten by it.
TEST_F(WritersMeet, AScanThatReplacesACatalogWaitsForAnEditInFlight)
{
    const std::string other = dir / "other";
    MakeDirs(other);
    WriteFile(other + "/omega.txt", "x");
    auto edit = StartEdit("alpha.txt", "edited words", "catalog-read");
    ASSERT_TRUE(edit->WaitStopped()) << edit->Err();
    auto scan = Start({"scan", other, "--name", "Disc", "--force"});
    EXPECT_TRUE(WaitUntilWaitingForLock(*scan, InodeOf(catalog))) << "the scan did not wait for the edit";
    edit->Continue();
    EXPECT_EQ(edit->WaitExit(), 0) << edit->Err();
    EXPECT_EQ(scan->WaitExit(), 0) << scan->Err();
    EXPECT_NE(Catalog().find("omega.txt"), std::string::npos) << "the new catalog was overwritten";
    EXPECT_EQ(Catalog().find("alpha.txt"), std::string::npos);
}

TEST_F(WritersMeet, ASaveKilledBeforeItsRenameLeavesNoTraceAndTheNextLibraryReadClearsIt)
{
    auto killed = StartEdit("alpha.txt", "never saved", "temporary-written");
    ASSERT_TRUE(killed->WaitStopped()) << killed->Err();
    killed->Kill();
    const std::vector<std::string> debris = TemporaryFiles(library);
    ASSERT_EQ(debris.size(), 1u);

    ASSERT_EQ(Cli({"search", "--name", "alpha.txt"}), 0) << err;
    EXPECT_EQ(CountOf(out, "\nalpha.txt\t"), 1u) << out;
    EXPECT_EQ(err, "");
    EXPECT_EQ(TemporaryFiles(library), debris) << "the search removed a file; only the library read may";

    ASSERT_EQ(Cli({"library"}), 0) << err;
    EXPECT_EQ(out.find(".vm-"), std::string::npos) << out;
    EXPECT_EQ(out.find("\n\t"), std::string::npos) << "a catalog without a name:\n" << out;
    EXPECT_EQ(CountOf(out, "\n"), 8u) << out;  // header, root, five groups, Disc
    EXPECT_TRUE(TemporaryFiles(library).empty());
    EXPECT_EQ(Catalog().find("never saved"), std::string::npos);
}

TEST_F(WritersMeet, TheTemporaryFileOfALiveSaveIsNeitherListedNorSearchedNorRemoved)
{
    auto saving = StartEdit("alpha.txt", "saved late", "temporary-written");
    ASSERT_TRUE(saving->WaitStopped()) << saving->Err();
    const std::vector<std::string> pending = TemporaryFiles(library);
    ASSERT_EQ(pending.size(), 1u);

    ASSERT_EQ(Cli({"library"}), 0) << err;
    EXPECT_EQ(out.find(".vm-"), std::string::npos) << out;
    ASSERT_EQ(Cli({"search", "--name", "alpha.txt"}), 0) << err;
    EXPECT_EQ(CountOf(out, "\nalpha.txt\t"), 1u) << out;
    EXPECT_EQ(TemporaryFiles(library), pending) << "a live writer's file was removed";

    saving->Continue();
    EXPECT_EQ(saving->WaitExit(), 0) << saving->Err();
    EXPECT_NE(Catalog().find("saved late"), std::string::npos);
    EXPECT_TRUE(TemporaryFiles(library).empty());
}

}  // namespace
}  // namespace vellumark
