#include "scan/catalog_update.h"

#include "core/catalog_file.h"
#include "core/entry_edit.h"
#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "services/atomic_file.h"
#include "tests/common/test_support.h"
#include "tests/system/fake_volumes.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A fixed time for every file, so that scans of the same files compare equal.
void WriteFileAt(const std::string& path, std::string_view bytes, std::time_t time = 1086613508)
{
    WriteFile(path, bytes);
    const timeval times[2] = {{time, 0}, {time, 0}};
    ::utimes(path.c_str(), times);
}

// The records of a catalog by relative path (the root under "").
std::map<std::string, EntryRecord> ByRelativePath(const CatalogTree& tree)
{
    std::map<std::string, EntryRecord> records;
    tree.ForEachPreOrder([&](CatalogTreeNode& node) { records[RelativePathOf(node)] = node.record; });
    return records;
}

// Runs the work in a child process without the right to bypass file permissions (tests often
// run as root, who can list any folder), in the given folder, so that it needs no access to the
// folders above it; gives its exit code.
int RunUnprivileged(const std::string& folder, const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0)
            ::_exit(100);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0
                                 || ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(101);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
}

class CatalogUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDirs(source + "/Rock/Live");
        MakeDirs(source + "/Pop");
        MakeDirs(library);
        WriteFileAt(source + "/Rock/a.mp3", "12345");
        WriteFileAt(source + "/Rock/b.mp3", "123");
        WriteFileAt(source + "/Rock/Live/c.mp3", "1");
        WriteFileAt(source + "/Pop/d.mp3", "12");
        WriteFileAt(source + "/notes.txt", "1234567890");
    }
    void TearDown() override { AtomicFile::SetFaultHook(nullptr); }

    void MakeCatalog(bool onlyFolders = false, const std::string& maskList = {})
    {
        CatalogTree tree;
        ASSERT_TRUE(ScanFolder(tree, {source, catalog, onlyFolders, maskList}, volumes, progress).status);
        ASSERT_TRUE(WriteCatalogFile(tree, catalog, progress));
    }

    // Edits one entry's field as the user does, and saves.
    void Edit(const std::string& relativePath, int key, const std::string& text)
    {
        CatalogTree tree;
        ASSERT_TRUE(ReadCatalogFile(catalog, tree, progress));
        bool found = false;
        tree.ForEachPreOrder([&](CatalogTreeNode& node) {
            if (!found && RelativePathOf(node) == relativePath && (node.Parent() || relativePath.empty())) {
                ApplyEntryEdit(node, key, text);
                found = true;
            }
        });
        ASSERT_TRUE(found) << relativePath;
        ASSERT_TRUE(WriteCatalogFile(tree, catalog, progress));
    }

    std::map<std::string, EntryRecord> Catalog()
    {
        CatalogTree tree;
        EXPECT_TRUE(ReadCatalogFile(catalog, tree, progress));
        return ByRelativePath(tree);
    }

    UpdateRequest Request(const std::string& folder = {}) const
    {
        UpdateRequest request;
        request.catalogPath = catalog;
        request.folderPath = folder.empty() ? source : folder;
        return request;
    }

    TempDir dir;
    const std::string source = dir / "source";
    const std::string library = dir / "library";
    const std::string catalog = library + "/My.Disc.xml";
    testing::FakeVolumes volumes;
    NullProgress progress;
};

TEST_F(CatalogUpdateTest, DescriptionsOfEntriesFoundAgainAreKeptAndTheOthersReported)
{
    MakeCatalog();
    Edit("Rock/a.mp3", kDescription, "unchanged");
    Edit("Rock/b.mp3", kDescription, "grows");
    Edit("Rock/Live/c.mp3", kDescription, "moves");
    Edit("Pop/d.mp3", kDescription, "goes");
    Edit("Rock", kDescription, "a folder");

    WriteFileAt(source + "/Rock/b.mp3", "1234567");
    ASSERT_EQ(::rename((source + "/Rock/Live/c.mp3").c_str(), (source + "/Pop/c.mp3").c_str()), 0);
    ASSERT_EQ(::unlink((source + "/Pop/d.mp3").c_str()), 0);
    WriteFileAt(source + "/Pop/e.mp3", "1");

    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    const UpdatePlan& plan = update.Plan();
    EXPECT_FALSE(plan.wrongMedium);
    EXPECT_EQ(plan.counts.added, 2u);    // Pop/c.mp3 (moved here), Pop/e.mp3
    EXPECT_EQ(plan.counts.removed, 2u);  // Rock/Live/c.mp3 (moved away), Pop/d.mp3
    EXPECT_EQ(plan.counts.changed, 1u);
    EXPECT_EQ(plan.counts.unchanged, 5u);  // Pop, Rock, Rock/Live, Rock/a.mp3, notes.txt
    EXPECT_EQ(plan.counts.unreadable, 0u);
    EXPECT_EQ(plan.counts.descriptionsKept, 3u);
    ASSERT_EQ(plan.lostDescriptions.size(), 2u);
    EXPECT_EQ(plan.lostDescriptions[0].relativePath, "Pop/d.mp3");
    EXPECT_EQ(plan.lostDescriptions[0].description, "goes");
    EXPECT_EQ(plan.lostDescriptions[1].relativePath, "Rock/Live/c.mp3");
    EXPECT_EQ(plan.lostDescriptions[1].description, "moves");

    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::Written);
    auto entries = Catalog();
    EXPECT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kDescription), "unchanged");
    EXPECT_EQ(entries["Rock/b.mp3"].Field(kDescription), "grows");
    EXPECT_EQ(entries["Rock/b.mp3"].Field(kFileSize), "7");
    EXPECT_EQ(entries["Rock"].Field(kDescription), "a folder");
    EXPECT_EQ(entries["Pop/c.mp3"].Field(kDescription), "");
    EXPECT_EQ(entries["Pop/c.mp3"].Field(kFullPath), source + "/Pop/c.mp3");
    EXPECT_EQ(entries.count("Pop/d.mp3"), 0u);
    EXPECT_EQ(entries[""].Field(kFileSize), "24");
    EXPECT_EQ(entries["notes.txt"].Field(kSizePercentage), "41.67");
    EXPECT_EQ(entries[""].Field(kDiskName), "My");
}

TEST_F(CatalogUpdateTest, ARenamedRootKeepsItsNameAndPathsAreRebuiltFromIt)
{
    MakeCatalog();
    Edit("", kFileName, "My music");
    Edit("", kDescription, "the whole disc");
    Edit("Rock/a.mp3", kDescription, "kept");
    WriteFileAt(source + "/Rock/new.mp3", "1");

    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(update.Plan().counts.descriptionsKept, 2u);
    auto entries = Catalog();
    EXPECT_EQ(entries[""].Field(kFileName), "My music");
    EXPECT_EQ(entries[""].Field(kFullPath), "My music");
    EXPECT_EQ(entries[""].Field(kDescription), "the whole disc");
    // A rename gave the root its length fields; they follow the kept name.
    EXPECT_EQ(entries[""].Field(kFileNameLength), "8");
    EXPECT_EQ(entries[""].Field(kPathNameLength), "8");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kFullPath), "My music/Rock/a.mp3");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kPathNameLength), "19");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kDescription), "kept");
    EXPECT_EQ(entries["Rock/new.mp3"].Field(kFullPath), "My music/Rock/new.mp3");
}

TEST_F(CatalogUpdateTest, ACatalogWrittenOnWindowsKeepsItsSeparatorsAndDescriptions)
{
    WriteFile(catalog,
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n<fileinfo generated=\"Vellumark\">"
              "<file FileName=\"MUSIC(D:\\)\" FullPath=\"MUSIC(D:\\)\" FileSize=\"17\" FileType=\"directory\" SizePercentage=\"100\">"
              "<file FileName=\"Rock\" FullPath=\"MUSIC(D:\\)\\Rock\" FileSize=\"8\" FileTime=\"07.06.2004 13:05:08\" FileType=\"directory\" "
              "FileNameLength=\"4\" PathNameLength=\"15\" SizePercentage=\"47,06\">"
              "<file FileName=\"a.mp3\" FullPath=\"MUSIC(D:\\)\\Rock\\a.mp3\" FileSize=\"5\" FileTime=\"6/7/2004 1:05:08 PM\" "
              "FileExt=\"mp3\" FileType=\"file\" Description=\"Summer hit\" FileNameLength=\"5\" PathNameLength=\"21\" "
              "SizePercentage=\"29,41\"/></file></file></fileinfo>");

    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    EXPECT_EQ(update.Plan().counts.removed, 0u);
    EXPECT_EQ(update.Plan().counts.descriptionsKept, 1u);
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    auto entries = Catalog();
    EXPECT_EQ(entries[""].Field(kFileName), "MUSIC(D:\\)");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kFullPath), "MUSIC(D:\\)\\Rock\\a.mp3");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kDescription), "Summer hit");
    EXPECT_EQ(entries["Rock/Live/c.mp3"].Field(kFullPath), "MUSIC(D:\\)\\Rock\\Live\\c.mp3");
    EXPECT_EQ(entries["Rock/Live/c.mp3"].Field(kPathNameLength), "26");
    EXPECT_EQ(entries["Rock"].Field(kSizePercentage), "42.86");
}

TEST_F(CatalogUpdateTest, AnUpdateThatChangesNothingWritesNothing)
{
    MakeCatalog();
    Edit("Rock/a.mp3", kDescription, "kept");
    const std::string before = ReadFile(catalog);
    struct stat original {};
    ASSERT_EQ(::stat(catalog.c_str(), &original), 0);

    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    EXPECT_TRUE(update.Plan().sameAsCatalog);
    EXPECT_TRUE(update.Plan().differences.empty());
    EXPECT_EQ(update.Plan().counts.unchanged, 8u);
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::AlreadyUpToDate);
    struct stat after {};
    ASSERT_EQ(::stat(catalog.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, original.st_ino);
    EXPECT_EQ(ReadFile(catalog), before);

    // A new folder time alone is no difference to report, but it is written.
    const timeval times[2] = {{1086613600, 0}, {1086613600, 0}};
    ::utimes((source + "/Pop").c_str(), times);
    CatalogUpdate touched(Request());
    ASSERT_TRUE(touched.Prepare(volumes, progress));
    EXPECT_TRUE(touched.Plan().differences.empty());
    EXPECT_FALSE(touched.Plan().sameAsCatalog);
    ASSERT_TRUE(touched.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::Written);
}

TEST_F(CatalogUpdateTest, ACancelledOrFailedUpdateLeavesTheCatalogByteIdentical)
{
    MakeCatalog();
    Edit("Rock/a.mp3", kDescription, "kept");
    WriteFileAt(source + "/Rock/new.mp3", "1");
    const std::string before = ReadFile(catalog);

    testing::RecordingProgress cancelling;
    cancelling.cancelAfterMessages = 1;
    CatalogUpdate cancelled(Request());
    EXPECT_EQ(cancelled.Prepare(volumes, cancelling).code(), Status::Code::Cancelled);

    // Cancelled after the scan, before the write (the caller's wait window spans both steps).
    testing::RecordingProgress window;
    window.Begin(true);
    CatalogUpdate late(Request());
    ASSERT_TRUE(late.Prepare(volumes, window));
    window.Cancel();
    UpdateOutcome outcome{};
    EXPECT_EQ(late.Commit(false, window, outcome).code(), Status::Code::Cancelled);
    window.End();
    EXPECT_EQ(ReadFile(catalog), before);

    for (const AtomicFile::Step failing :
         {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync, AtomicFile::Step::Rename}) {
        AtomicFile::SetFaultHook([failing](AtomicFile::Step step) { return step == failing; });
        CatalogUpdate update(Request());
        ASSERT_TRUE(update.Prepare(volumes, progress));
        EXPECT_EQ(update.Commit(false, progress, outcome).code(), Status::Code::Failed) << static_cast<int>(failing);
        EXPECT_EQ(ReadFile(catalog), before);
        EXPECT_EQ(ListFolder(library), std::vector<std::string>{"My.Disc.xml"});
    }
}

TEST_F(CatalogUpdateTest, TheWrongMediumIsRefusedUnlessAccepted)
{
    MakeCatalog();
    Edit("Rock/a.mp3", kDescription, "on the first disc");
    const std::string before = ReadFile(catalog);
    const std::string other = dir / "other";
    MakeDirs(other + "/Films");
    WriteFileAt(other + "/Films/x.mkv", "123");

    CatalogUpdate update(Request(other));
    ASSERT_TRUE(update.Prepare(volumes, progress));
    EXPECT_TRUE(update.Plan().wrongMedium);
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::RefusedWrongMedium);
    EXPECT_EQ(ReadFile(catalog), before);

    ASSERT_TRUE(update.Commit(true, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::Written);
    auto entries = Catalog();
    EXPECT_EQ(entries.count("Films/x.mkv"), 1u);
    EXPECT_EQ(entries.count("Rock/a.mp3"), 0u);
}

TEST_F(CatalogUpdateTest, AlmostNothingFoundAgainMeansFewerThanOneInTen)
{
    // 20 old entries below the root: Keep, Keep/k and 18 files. Finding 2 of them is enough.
    MakeDirs(dir / "wide/Keep");
    for (int i = 0; i < 18; ++i)
        WriteFileAt(dir / ("wide/f" + std::to_string(i)), "1");
    WriteFileAt(dir / "wide/Keep/k", "1");
    CatalogTree tree;
    ASSERT_TRUE(ScanFolder(tree, {dir / "wide", catalog, false, {}}, volumes, progress).status);
    ASSERT_TRUE(WriteCatalogFile(tree, catalog, progress));
    Edit("f0", kDescription, "lost either way");

    const std::string next = dir / "next";
    MakeDirs(next + "/Keep");
    WriteFileAt(next + "/f1", "1");
    CatalogUpdate twoFound(Request(next));
    ASSERT_TRUE(twoFound.Prepare(volumes, progress));
    EXPECT_EQ(twoFound.Plan().counts.unchanged, 2u);
    EXPECT_FALSE(twoFound.Plan().wrongMedium);

    ASSERT_EQ(::unlink((next + "/f1").c_str()), 0);
    CatalogUpdate oneFound(Request(next));
    ASSERT_TRUE(oneFound.Prepare(volumes, progress));
    EXPECT_TRUE(oneFound.Plan().wrongMedium);

    // Almost nothing found, but no description to lose: an ordinary update.
    Edit("f0", kDescription, "");
    CatalogUpdate nothingLost(Request(next));
    ASSERT_TRUE(nothingLost.Prepare(volumes, progress));
    EXPECT_FALSE(nothingLost.Plan().wrongMedium);

    // Nothing at all (a mount point without its disc) would empty the catalog.
    const std::string empty = dir / "empty";
    MakeDirs(empty);
    CatalogUpdate noMedium(Request(empty));
    ASSERT_TRUE(noMedium.Prepare(volumes, progress));
    EXPECT_TRUE(noMedium.Plan().wrongMedium);
    EXPECT_TRUE(noMedium.Plan().lostDescriptions.empty());
}

TEST_F(CatalogUpdateTest, ADescriptionTypedDuringTheScanIsTakenFromTheFreshCatalog)
{
    MakeCatalog();
    Edit("Rock/a.mp3", kDescription, "before the scan");
    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    EXPECT_TRUE(update.Plan().sameAsCatalog);

    // Meanwhile the user describes another entry and renames the root.
    Edit("Pop/d.mp3", kDescription, "typed during the scan");
    Edit("", kFileName, "Renamed");
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::AlreadyUpToDate);
    EXPECT_EQ(update.Plan().counts.descriptionsKept, 2u);
    auto entries = Catalog();
    EXPECT_EQ(entries["Pop/d.mp3"].Field(kDescription), "typed during the scan");
    EXPECT_EQ(entries["Rock/a.mp3"].Field(kDescription), "before the scan");
    EXPECT_EQ(entries["Pop/d.mp3"].Field(kFullPath), "Renamed/Pop/d.mp3");
}

TEST_F(CatalogUpdateTest, FoldersOnlyAndMasksFollowTheCatalogAndTheRequest)
{
    MakeCatalog(true);
    CatalogUpdate foldersOnly(Request());
    ASSERT_TRUE(foldersOnly.Prepare(volumes, progress));
    UpdateOutcome outcome{};
    ASSERT_TRUE(foldersOnly.Commit(false, progress, outcome));
    EXPECT_EQ(outcome, UpdateOutcome::AlreadyUpToDate);  // the empty root size kept it folders-only

    MakeCatalog(false, BuildMaskList({"*.mp3"}));
    Edit("Rock/a.mp3", kDescription, "kept");
    UpdateRequest request = Request();
    request.maskList = BuildMaskList({"*.mp3"});
    CatalogUpdate masked(request);
    ASSERT_TRUE(masked.Prepare(volumes, progress));
    EXPECT_TRUE(masked.Plan().sameAsCatalog);

    // Masks that match nothing now still leave the root with its name and description.
    Edit("", kDescription, "root");
    request.maskList = BuildMaskList({"*.flac"});
    CatalogUpdate nothing(request);
    ASSERT_TRUE(nothing.Prepare(volumes, progress));
    ASSERT_TRUE(nothing.Commit(true, progress, outcome));
    auto entries = Catalog();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[""].Field(kFileName), source);
    EXPECT_EQ(entries[""].Field(kDescription), "root");
    EXPECT_EQ(entries[""].Field(kFileSize), "0");
}

TEST_F(CatalogUpdateTest, AKindChangeKeepsTheDescription)
{
    MakeCatalog();
    Edit("notes.txt", kDescription, "was a file");
    ASSERT_EQ(::unlink((source + "/notes.txt").c_str()), 0);
    MakeDirs(source + "/notes.txt");
    WriteFileAt(source + "/notes.txt/inside", "1");
    CatalogUpdate update(Request());
    ASSERT_TRUE(update.Prepare(volumes, progress));
    EXPECT_EQ(update.Plan().counts.changed, 1u);
    EXPECT_EQ(update.Plan().counts.added, 1u);
    UpdateOutcome outcome{};
    ASSERT_TRUE(update.Commit(false, progress, outcome));
    EXPECT_EQ(Catalog()["notes.txt"].Field(kDescription), "was a file");
}

class UnreadableFolderTest : public CatalogUpdateTest {
protected:
    void SetUp() override
    {
        CatalogUpdateTest::SetUp();
        MakeDirs(source + "/Secret/Deep");
        WriteFileAt(source + "/Secret/x.mp3", "1234");
        WriteFileAt(source + "/Secret/Deep/y.txt", "12");
        // The unprivileged child writes the catalog beside itself.
        ::chmod(dir.Path().c_str(), 0777);
        ::chmod(library.c_str(), 0777);
    }

    // Updates in a child that cannot read Secret; 0 when the update was written with the counts
    // expected.
    int UpdateWithoutAccess(const UpdateRequest& request, std::size_t unreadable,
                            const std::function<void(const std::string&)>& duringTheScan = {})
    {
        ::chmod((source + "/Secret").c_str(), 0);
        ::chmod(catalog.c_str(), 0644);
        // Paths relative to the temporary folder.
        UpdateRequest relative = request;
        relative.catalogPath = catalog.substr(dir.Path().size() + 1);
        relative.folderPath = source.substr(dir.Path().size() + 1);
        const int code = RunUnprivileged(dir.Path(), [&] {
            CatalogUpdate update(relative);
            NullProgress quiet;
            if (!update.Prepare(volumes, quiet))
                return 1;
            const UpdateCounts& counts = update.Plan().counts;
            if (counts.unreadable != unreadable || counts.removed != 0 || counts.descriptionsKept != 2)
                return 2;
            if (duringTheScan)
                duringTheScan(relative.catalogPath);
            UpdateOutcome outcome{};
            if (!update.Commit(false, quiet, outcome) || outcome != UpdateOutcome::Written)
                return 3;
            return counts.unreadable == unreadable && counts.removed == 0 ? 0 : 4;
        });
        ::chmod((source + "/Secret").c_str(), 0755);
        return code;
    }
};

TEST_F(UnreadableFolderTest, EntriesBelowAFolderThatCannotBeReadAreKeptAsTheyWere)
{
    MakeCatalog();
    Edit("Secret/x.mp3", kDescription, "hidden away");
    Edit("Rock/a.mp3", kDescription, "visible");
    WriteFileAt(source + "/Rock/new.mp3", "1");
    const auto before = Catalog();

    ASSERT_EQ(UpdateWithoutAccess(Request(), 3), 0);
    auto entries = Catalog();
    EXPECT_EQ(entries.count("Rock/new.mp3"), 1u);
    for (const char* kept : {"Secret/x.mp3", "Secret/Deep", "Secret/Deep/y.txt"}) {
        for (int key = 0; key < kColumnKeyCount; ++key) {
            if (key != kSizePercentage) {
                EXPECT_EQ(entries[kept].Field(key), before.at(kept).Field(key)) << kept << " " << kColumnKeys[key];
            }
        }
    }
    // Sizes roll up over what was kept, and percentages follow the new total.
    EXPECT_EQ(entries["Secret"].Field(kFileSize), "6");
    EXPECT_EQ(entries[""].Field(kFileSize), "28");
    EXPECT_EQ(entries["Secret/x.mp3"].Field(kSizePercentage), "14.29");
}

TEST_F(UnreadableFolderTest, AnUnreadableFolderThatMasksWouldPruneIsKeptToo)
{
    MakeCatalog(false, BuildMaskList({"*.mp3", "*.txt"}));
    Edit("Secret/x.mp3", kDescription, "hidden away");
    Edit("Rock/a.mp3", kDescription, "visible");
    const auto before = Catalog();

    UpdateRequest request = Request();
    request.maskList = BuildMaskList({"*.mp3", "*.txt"});
    ASSERT_EQ(UpdateWithoutAccess(request, 4), 0);  // the pruned folder itself is kept as well
    auto entries = Catalog();
    EXPECT_EQ(entries["Secret"].AllFields(), before.at("Secret").AllFields());
    EXPECT_EQ(entries["Secret/Deep/y.txt"].AllFields(), before.at("Secret/Deep/y.txt").AllFields());
}

TEST_F(UnreadableFolderTest, PlanningAgainAfterAnEditKeepsTheUnreadableEntriesOnce)
{
    MakeCatalog();
    Edit("Secret/x.mp3", kDescription, "hidden away");
    Edit("Rock/a.mp3", kDescription, "visible");
    const std::size_t entriesBefore = Catalog().size();
    WriteFileAt(source + "/Rock/new.mp3", "1");

    // A description typed while the update scanned: the write reads the catalog again and plans
    // anew, with the kept folder's entries taken from the fresh content.
    ASSERT_EQ(UpdateWithoutAccess(Request(), 3,
                                  [](const std::string& path) {
                                      CatalogTree tree;
                                      NullProgress quiet;
                                      ReadCatalogFile(path, tree, quiet);
                                      tree.ForEachPreOrder([](CatalogTreeNode& node) {
                                          if (RelativePathOf(node) == "Secret/Deep/y.txt")
                                              ApplyEntryEdit(node, kDescription, "typed meanwhile");
                                      });
                                      WriteCatalogFile(tree, path, quiet);
                                  }),
              0);
    CatalogTree written;
    ASSERT_TRUE(ReadCatalogFile(catalog, written, progress));
    EXPECT_EQ(written.NodeCount(), entriesBefore + 1);
    auto entries = ByRelativePath(written);
    EXPECT_EQ(entries["Secret/Deep/y.txt"].Field(kDescription), "typed meanwhile");
    EXPECT_EQ(entries["Secret/x.mp3"].Field(kDescription), "hidden away");
    EXPECT_EQ(entries["Secret"].Field(kFileSize), "6");
}

}  // namespace
}  // namespace vellumark
