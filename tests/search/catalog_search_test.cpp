#include "core/catalog_file.h"
#include "search/catalog_search.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace vellumark {
namespace {

using testing::CatalogText;
using testing::FileEntry;
using testing::MakeDirs;
using testing::RecordingProgress;
using testing::ResultNames;
using testing::TempDir;
using testing::WriteFile;

using Names = std::vector<std::string>;

SearchRequest NameSearch(const std::string& scope, bool group, std::string pattern)
{
    SearchRequest request;
    request.scopePath = scope;
    request.scopeIsGroup = group;
    request.namePattern = std::move(pattern);
    return request;
}

// A catalog holding one matching entry named after the catalog ("<stem>.hit") and one other.
void WriteHitCatalog(const std::string& path, const std::string& stem)
{
    WriteFile(path, CatalogText(FileEntry(stem + ".hit", "hit") + FileEntry("other", "")));
}

// The files below the folder in the order a depth-first walk of the folder's listing reaches
// them, sub-folders entered where they are listed: the order results must come in.
void ListingOrder(const std::string& folder, std::vector<std::string>& files)
{
    std::vector<std::pair<std::string, bool>> entries;
    DIR* dir = ::opendir(folder.c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.emplace_back(name, entry->d_type == DT_DIR);
    }
    ::closedir(dir);
    for (const auto& [name, isFolder] : entries) {
        if (isFolder)
            ListingOrder(folder + "/" + name, files);
        else
            files.push_back(name.substr(0, name.find('.')));
    }
}

// A library root with catalogs in the root, in a group and in a sub-group.
class LibraryScope : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDirs(library_ / "Mp3/Rock");
        MakeDirs(library_ / "DVD");
        WriteHitCatalog(library_ / "Loose.xml", "Loose");
        WriteHitCatalog(library_ / "Mp3/Best of 2004.xml", "Best");
        WriteHitCatalog(library_ / "Mp3/My.Disc.xml", "My");
        WriteHitCatalog(library_ / "Mp3/Rock/Live", "Live");  // no extension: still a catalog
        WriteHitCatalog(library_ / "DVD/Films.xml", "Films");
    }

    SearchOutcome Search(const SearchRequest& request, CatalogTree& results)
    {
        RecordingProgress progress;
        SearchOutcome outcome = SearchCatalogs(request, progress, results);
        EXPECT_EQ(progress.shows, 1);
        EXPECT_EQ(progress.hides, 1);
        EXPECT_TRUE(progress.lastCancelVisible);
        return outcome;
    }

    TempDir library_;
};

TEST_F(LibraryScope, RootSearchesEveryCatalogInListingOrder)
{
    CatalogTree results;
    const SearchOutcome outcome = Search(NameSearch(library_.Path(), true, ".hit"), results);
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(outcome.resultCount, 5u);

    std::vector<std::string> stems;
    ListingOrder(library_.Path(), stems);
    Names expected;
    for (const std::string& stem : stems) {
        const std::string hit = stem == "Best of 2004" ? "Best" : stem;
        expected.push_back(stem + ":" + hit + ".hit");
    }
    EXPECT_EQ(ResultNames(results), expected);
}

// Files read side by side finish out of order; results must still come in walk order.
TEST(ResultOrder, ManyCatalogsOfMixedSizesKeepWalkOrder)
{
    TempDir library;
    MakeDirs(library / "Big");
    std::string bulk;
    for (int i = 0; i < 20000; ++i)
        bulk += FileEntry("filler" + std::to_string(i));
    for (int i = 0; i < 30; ++i) {
        const std::string stem = "C" + std::to_string(i);
        const std::string folder = i % 3 == 0 ? library / "Big" : library.Path();
        WriteFile(folder + "/" + stem + ".xml",
                  CatalogText((i % 4 == 0 ? bulk : std::string()) + FileEntry(stem + ".hit", "hit")));
    }
    CatalogTree results;
    NullProgress progress;
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library.Path(), true, ".hit"), progress, results);
    EXPECT_TRUE(outcome.Complete());
    std::vector<std::string> stems;
    ListingOrder(library.Path(), stems);
    Names expected;
    for (const std::string& stem : stems)
        expected.push_back(stem + ":" + stem + ".hit");
    EXPECT_EQ(ResultNames(results), expected);
}

TEST_F(LibraryScope, GroupScopeTakesItsSubGroupsOnly)
{
    CatalogTree results;
    const SearchOutcome outcome = Search(NameSearch(library_ / "Mp3/", true, ".hit"), results);
    EXPECT_TRUE(outcome.Complete());
    Names names = ResultNames(results);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"Best of 2004:Best.hit", "Live:Live.hit", "My:My.hit"}));
}

TEST_F(LibraryScope, CatalogScopeReadsThatFileAndNamesResultsAfterIt)
{
    CatalogTree results;
    EXPECT_TRUE(Search(NameSearch(library_ / "Mp3/Best of 2004.xml", false, "t"), results).Complete());
    EXPECT_EQ(ResultNames(results), (Names{"Best of 2004:Best.hit", "Best of 2004:other"}));

    results.Clear();
    EXPECT_TRUE(Search(NameSearch(library_ / "Mp3/My.Disc.xml", false, "hit"), results).Complete());
    EXPECT_EQ(ResultNames(results), Names{"My:My.hit"});
}

TEST_F(LibraryScope, MissingScopeGivesNothingAndNoFault)
{
    CatalogTree results;
    const SearchOutcome outcome = Search(NameSearch(library_ / "Gone.xml", false, "hit"), results);
    EXPECT_TRUE(outcome.Complete());
    EXPECT_TRUE(results.Empty());
    EXPECT_TRUE(Search(NameSearch(library_ / "NoGroup", true, "hit"), results).Complete());
    EXPECT_TRUE(results.Empty());
}

TEST(SearchResults, DocumentOrderAndFieldsCopiedAsStored)
{
    TempDir folder;
    // A DiskName in the file never survives; a top-level entry without FileType gets no kind
    // and one without FullPath no path; attributes beyond the keys are left out.
    WriteFile(folder / "Disc.old.xml",
              CatalogText("<file FileName=\"x1\" DiskName=\"Other\" Extra=\"e\">"
                          "<file FileName=\"x2\" FullPath=\"/cd/x1/x2\" FileSize=\"5368709120\" FileTime=\"2004-06-07\""
                          " FileExt=\"ogg\" FileType=\"file\" Description=\"a\tb\" FileNameLength=\"2\""
                          " PathNameLength=\"9\" SizePercentage=\"50.00\"/>"
                          "<file FileName=\"x3\" FileType=\"directory\"><file FileName=\"x4\"/></file>"
                          "</file><file FileName=\"x5\"/>"));
    CatalogTree results;
    NullProgress progress;
    EXPECT_TRUE(SearchCatalogs(NameSearch(folder / "Disc.old.xml", false, "x"), progress, results).Complete());
    EXPECT_EQ(ResultNames(results), (Names{"Disc:x1", "Disc:x2", "Disc:x3", "Disc:x4", "Disc:x5"}));

    const EntryRecord& top = results.TopLevel(0)->record;
    EXPECT_EQ(top.Field(kFileType), "");
    EXPECT_EQ(top.Field(kFullPath), "");
    const EntryRecord& full = results.TopLevel(1)->record;
    const std::vector<std::string_view> expected = {"x2",  "/cd/x1/x2", "5368709120", "2004-06-07",
                                                    "ogg", "file",      "a b",        "2",
                                                    "9",   "50.00",     "Disc"};
    for (int key = 0; key < kColumnKeyCount; ++key)
        EXPECT_EQ(full.Field(key), expected[key]) << kColumnKeys[key];
}

TEST(SearchResults, DeepNestingIsWalkedWithoutRecursion)
{
    TempDir folder;
    constexpr int kDepth = 200000;
    std::string text = "<fileinfo>";
    text.reserve(kDepth * 30);
    for (int level = 0; level < kDepth; ++level)
        text += level + 1 == kDepth ? "<file FileName=\"bottom\">" : "<file FileName=\"d\">";
    for (int level = 0; level < kDepth; ++level)
        text += "</file>";
    WriteFile(folder / "Deep.xml", text + "</fileinfo>");
    CatalogTree results;
    NullProgress progress;
    EXPECT_TRUE(SearchCatalogs(NameSearch(folder / "Deep.xml", false, "bottom"), progress, results).Complete());
    EXPECT_EQ(ResultNames(results), Names{"Deep:bottom"});
}

TEST(SearchResults, WrittenCatalogRoundTripsItsStoredForm)
{
    TempDir folder;
    CatalogTree tree;
    EntryRecord record;
    record.SetField(kFileName, std::string("bad\x01name & \"q\"\n"));
    record.SetField(kFileType, "file");
    tree.Append(nullptr, record);
    NullProgress progress;
    ASSERT_TRUE(WriteCatalogFile(tree, folder / "Odd.xml", progress).ok());

    CatalogTree results;
    EXPECT_TRUE(SearchCatalogs(NameSearch(folder / "Odd.xml", false, "\x01NAME & \"Q"), progress, results).Complete());
    ASSERT_EQ(results.TopLevelCount(), 1);
    EXPECT_EQ(results.TopLevel(0)->record.Field(kFileName), std::string("bad\x01name & \"q\"\n"));
}

TEST(BrokenFiles, AreSkippedCountedAndDropTheirResults)
{
    TempDir library;
    MakeDirs(library / "Group");
    WriteHitCatalog(library / "A.xml", "A");
    WriteHitCatalog(library / "Group/B.xml", "B");
    WriteFile(library / "readme.txt", "These are my CDs. Not a catalog.\n");
    // Matches come before the cut: they must not be reported.
    const std::string whole = CatalogText(FileEntry("T.hit", "hit") + "<file FileName=\"dir\">" + FileEntry("U.hit"));
    WriteFile(library / "Group/Truncated.xml", whole.substr(0, whole.size() - 20));
    WriteFile(library / "Group/Empty.xml", "");
    ASSERT_EQ(::mkfifo((library / "Group/pipe").c_str(), 0644), 0);

    CatalogTree results;
    NullProgress progress;
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library.Path(), true, "hit"), progress, results);
    EXPECT_TRUE(outcome.status.ok());
    EXPECT_FALSE(outcome.Complete());
    Names names = ResultNames(results);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"A:A.hit", "B:B.hit"}));
    EXPECT_EQ(outcome.resultCount, 2u);

    std::vector<std::string> skipped;
    for (const SkippedFile& file : outcome.skipped) {
        skipped.push_back(file.path);
        EXPECT_NE(file.reason.find(file.path), std::string::npos) << file.reason;
    }
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped, (std::vector<std::string>{library / "Group/Empty.xml", library / "Group/Truncated.xml",
                                                 library / "Group/pipe", library / "readme.txt"}));
}

TEST(SymbolicLinks, FolderLinksAreNotEnteredFileLinksAreRead)
{
    TempDir library;
    MakeDirs(library / "Group/Sub");
    WriteHitCatalog(library / "Group/Sub/C.xml", "C");
    // A loop back to the root, and a loop to the link's own folder.
    ASSERT_EQ(::symlink(library.Path().c_str(), (library / "Group/Sub/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", (library / "Group/self").c_str()), 0);
    ASSERT_EQ(::symlink("Sub/C.xml", (library / "Group/Linked.xml").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere.xml", (library / "Group/Dangling.xml").c_str()), 0);

    CatalogTree results;
    NullProgress progress;
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library.Path(), true, "hit"), progress, results);
    EXPECT_TRUE(outcome.Complete());
    Names names = ResultNames(results);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"C:C.hit", "Linked:C.hit"}));
}

// Cancels the search once the first catalog's results have arrived.
class CancellingSink final : public SearchSink {
public:
    explicit CancellingSink(Progress& progress) : progress_(progress) {}
    std::vector<std::size_t> batches;
    void Add(std::vector<EntryRecord>&& batch) override
    {
        batches.push_back(batch.size());
        progress_.Cancel();
    }

private:
    Progress& progress_;
};

TEST(Cancel, StopsBeforeTheNextFileAndKeepsWhatWasFound)
{
    TempDir library;
    for (const char* name : {"A.xml", "B.xml", "C.xml"})
        WriteHitCatalog(library / name, name);
    NullProgress progress;
    CancellingSink sink(progress);
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library.Path(), true, "hit"), progress, sink);
    EXPECT_EQ(outcome.status.code(), Status::Code::Cancelled);
    EXPECT_FALSE(outcome.Complete());
    EXPECT_EQ(sink.batches, std::vector<std::size_t>{1});
    EXPECT_EQ(outcome.resultCount, 1u);
}

TEST(Cancel, WithinACatalogStopsItsWalk)
{
    TempDir library;
    std::string entries;
    for (int i = 0; i < 5000; ++i)
        entries += FileEntry("n" + std::to_string(i) + ".hit", "hit");
    WriteFile(library / "Big.xml", CatalogText(entries));
    RecordingProgress progress;
    progress.cancelAfterMessages = 1;  // the first message is shown at once: the scope
    CatalogTree results;
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library / "Big.xml", false, "hit"), progress, results);
    EXPECT_EQ(outcome.status.code(), Status::Code::Cancelled);
    EXPECT_TRUE(results.Empty());
    ASSERT_FALSE(progress.shownMessages.empty());
    EXPECT_EQ(progress.shownMessages.front(), library / "Big.xml");
}

// Cancels on the first entry name the search shows. Messages are throttled by time, so every
// other message (the scope, the file) waits the throttle's interval out: the next one shown is
// then an entry's, a few dozen entries into the catalog.
class CancelAtAnEntry final : public Progress {
protected:
    void OnMessage(std::string_view text) override
    {
        if (text.ends_with(".hit"))
            Cancel();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
};

TEST(Cancel, InsideACatalogKeepsTheMatchesFoundInItBefore)
{
    TempDir library;
    constexpr int kEntries = 5000;
    std::string entries;
    for (int i = 0; i < kEntries; ++i)
        entries += FileEntry("n" + std::to_string(i) + ".hit", "hit");
    WriteFile(library / "Big.xml", CatalogText(entries));
    CancelAtAnEntry progress;
    CatalogTree results;
    const SearchOutcome outcome = SearchCatalogs(NameSearch(library / "Big.xml", false, "hit"), progress, results);
    EXPECT_EQ(outcome.status.code(), Status::Code::Cancelled);
    ASSERT_GT(results.TopLevelCount(), 0);
    EXPECT_LT(results.TopLevelCount(), kEntries);
    EXPECT_EQ(outcome.resultCount, static_cast<std::size_t>(results.TopLevelCount()));
    for (int i = 0; i < results.TopLevelCount(); ++i)
        EXPECT_EQ(results.TopLevel(i)->record.Field(kFileName), "n" + std::to_string(i) + ".hit");
}

TEST(Batches, OneBatchPerCatalogAllOfOneCatalog)
{
    TempDir library;
    MakeDirs(library / "G");
    WriteHitCatalog(library / "A.xml", "A");
    WriteFile(library / "G/B.xml", CatalogText(FileEntry("1.hit") + FileEntry("2.hit") + FileEntry("3.hit")));
    WriteFile(library / "G/None.xml", CatalogText(FileEntry("nothing")));

    class Recording final : public SearchSink {
    public:
        std::vector<std::vector<std::string>> batches;
        void Add(std::vector<EntryRecord>&& batch) override
        {
            std::vector<std::string> disks;
            for (const EntryRecord& record : batch)
                disks.emplace_back(record.Field(kDiskName));
            batches.push_back(disks);
        }
    } sink;
    NullProgress progress;
    EXPECT_TRUE(SearchCatalogs(NameSearch(library.Path(), true, "hit"), progress, sink).Complete());
    std::sort(sink.batches.begin(), sink.batches.end());
    EXPECT_EQ(sink.batches, (std::vector<std::vector<std::string>>{{"A"}, {"B", "B", "B"}}));
}

}  // namespace
}  // namespace vellumark
