#include "search/catalog_search.h"
#include "search/index/library_index.h"
#include "search/index_update.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::CatalogText;
using testing::FileEntry;
using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::SetModifiedAgo;
using testing::TempDir;
using testing::WriteFile;

using Lines = std::vector<std::string>;

// Everything a search hands out: each result's eleven fields, then each skipped file and why.
struct Answer {
    Lines results;
    Lines skipped;
    Status::Code status = Status::Code::Ok;

    bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answer& answer)
{
    for (const std::string& line : answer.results)
        out << "\n  " << line;
    for (const std::string& line : answer.skipped)
        out << "\n  skipped " << line;
    return out;
}

// The eleven fields joined by "|", ended by a line feed.
class JoinedFields final : public ResultLineFormat {
public:
    void Append(std::string& lines, const EntryRecord::Fields& fields) const override
    {
        for (int key = 0; key < kColumnKeyCount; ++key)
            lines += std::string(key ? "|" : "") + std::string(fields[key]);
        lines += '\n';
    }
};

// Takes the results as records, or (`asLines`) as lines the search threads write.
class RecordingSink final : public SearchSink {
public:
    explicit RecordingSink(bool asLines = false) : asLines_(asLines) {}
    Lines lines;
    std::function<void()> onBatch;
    void Add(std::vector<EntryRecord>&& batch) override
    {
        EXPECT_FALSE(asLines_) << "records handed to a sink that takes lines";
        std::string text;
        for (const EntryRecord& record : batch)
            format_.Append(text, record.AllFields());
        AddLines(text, batch.size());
    }
    const ResultLineFormat* LineFormat() const override { return asLines_ ? &format_ : nullptr; }
    void AddLines(std::string_view text, std::size_t count) override
    {
        std::size_t from = 0;
        for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
            lines.emplace_back(text.substr(from, end - from));
        EXPECT_EQ(lines.size() - batchesBefore_, count);
        batchesBefore_ = lines.size();
        if (onBatch)
            onBatch();
    }

private:
    const bool asLines_;
    const JoinedFields format_;
    std::size_t batchesBefore_ = 0;
};

long ReadCharacters()
{
    std::ifstream io("/proc/self/io");
    for (std::string line; std::getline(io, line);)
        if (line.rfind("rchar:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class IndexedSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Put("Rock/Led.xml", FileEntry("Stairway.mp3", "mp3") + FileEntry("Rock and Roll.mp3", "mp3") + FileEntry("IV", "", "directory"));
        Put("Rock/Stones.xml", FileEntry("Paint It Black.mp3", "mp3") + FileEntry("rocks off.flac", "flac"));
        Put("Jazz/Blue.xml", FileEntry("So What.flac", "flac") + FileEntry("Rockit.mp3", "mp3"));
        Put("Loose.xml", FileEntry("rock.txt", "txt"));
        MakeDirs(library_ + "/Empty");
    }

    // A catalog changed long enough ago for its segment to count as current.
    void Put(const std::string& key, const std::string& entries)
    {
        const std::string path = library_ + "/" + key;
        MakeDirs(path.substr(0, path.rfind('/')));
        WriteFile(path, CatalogText(entries));
        SetModifiedAgo(path, 60);
    }

    SearchRequest Request(const std::string& name, const std::string& scope = "") const
    {
        SearchRequest request;
        request.scopePath = scope.empty() ? library_ : library_ + "/" + scope;
        request.scopeIsGroup = scope.find(".xml") == std::string::npos;
        request.namePattern = name;
        request.libraryRoot = library_;
        request.indexCacheFolder = cache_;
        return request;
    }

    Answer Search(SearchRequest request, bool index, RecordingSink sink = RecordingSink())
    {
        request.useIndex = index;
        NullProgress progress;
        const SearchOutcome outcome = SearchCatalogs(request, progress, sink);
        Answer answer{sink.lines, {}, outcome.status.code()};
        for (const SkippedFile& skipped : outcome.skipped)
            answer.skipped.push_back(skipped.path + ": " + skipped.reason);
        EXPECT_EQ(outcome.resultCount, answer.results.size());
        return answer;
    }

    // The search through the index gives what reading every file gives, whether the results
    // are taken as records or as lines; returns that.
    Answer ExpectSame(const SearchRequest& request)
    {
        const Answer streamed = Search(request, false);
        const Answer indexed = Search(request, true);
        EXPECT_EQ(indexed, streamed) << "indexed:" << indexed << "\nstreamed:" << streamed;
        EXPECT_EQ(Search(request, false, RecordingSink(true)), streamed) << "streamed as lines";
        EXPECT_EQ(Search(request, true, RecordingSink(true)), streamed) << "indexed as lines";
        return indexed;
    }

    IndexSummary Index(IndexAction action = IndexAction::Status)
    {
        NullProgress progress;
        return UpdateSearchIndex(library_, cache_, action, progress);
    }

    TempDir dir_;
    std::string library_ = dir_ / "CatalogLibrary";
    std::string cache_ = dir_ / "cache";
};

TEST_F(IndexedSearchTest, TheFirstSearchBuildsTheIndexAndLaterOnesAnswerFromIt)
{
    EXPECT_EQ(Index().outOfDate, 4u);
    const Answer first = ExpectSame(Request("rock"));
    EXPECT_EQ(first.results.size(), 4u);
    const IndexSummary built = Index();
    EXPECT_EQ(built.outOfDate, 0u);
    EXPECT_EQ(built.catalogs, 4u);
    EXPECT_EQ(built.entries, 8u);
    EXPECT_GT(built.bytes, 0u);
    EXPECT_EQ(ExpectSame(Request("rock")), first);
    ExpectSame(Request("ROCK", "Rock"));
    ExpectSame(Request("s", "Rock/Stones.xml"));
    SearchRequest other = Request("");
    other.extensionPattern = "MP3";
    other.wholeValues = true;
    ExpectSame(other);
}

// Names that hold every trigram of a pattern but not the pattern are candidates the index
// must still turn down, whatever other conditions come with the name.
TEST_F(IndexedSearchTest, NamesWithThePatternsTrigramsButNotThePatternAreNoResults)
{
    Put("Trap.xml", FileEntry("Barocco Hockey.mp3", "mp3") + FileEntry("Rock.mp3", "mp3") + FileEntry("ROCK.flac", "flac")
                        + FileEntry("crock pot", ""));
    EXPECT_EQ(ExpectSame(Request("rock", "Trap.xml")).results.size(), 3u);
    SearchRequest withExtension = Request("rock", "Trap.xml");
    withExtension.extensionPattern = "mp3";
    EXPECT_EQ(ExpectSame(withExtension).results.size(), 1u);
    SearchRequest caseSensitive = Request("ROCK", "Trap.xml");
    caseSensitive.caseSensitive = true;
    EXPECT_EQ(ExpectSame(caseSensitive).results.size(), 1u);
}

TEST_F(IndexedSearchTest, EveryKindOfChangeIsSeenByTheNextSearch)
{
    ExpectSame(Request("o"));
    const std::string led = library_ + "/Rock/Led.xml";

    // Edited in place, same size, modification time set back as copying tools do.
    struct stat before {};
    ASSERT_EQ(::stat(led.c_str(), &before), 0);
    std::string text = ReadFile(led);
    text.replace(text.find("Stairway"), 8, "Stairwax");
    WriteFile(led, text);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, led.c_str(), times, 0), 0);
    EXPECT_EQ(Index().outOfDate, 1u);
    EXPECT_EQ(ExpectSame(Request("wax")).results.size(), 1u);

    // Replaced by an atomic save.
    WriteFile(library_ + "/Rock/.Led.new", CatalogText(FileEntry("Black Dog.mp3", "mp3")));
    SetModifiedAgo(library_ + "/Rock/.Led.new", 30);
    ASSERT_EQ(::rename((library_ + "/Rock/.Led.new").c_str(), led.c_str()), 0);
    EXPECT_EQ(ExpectSame(Request("dog")).results.size(), 1u);
    EXPECT_TRUE(ExpectSame(Request("stair")).results.empty());

    // Renamed, and moved into another group: found under its new path and name.
    ASSERT_EQ(::rename(led.c_str(), (library_ + "/Rock/Zeppelin.xml").c_str()), 0);
    EXPECT_NE(ExpectSame(Request("dog")).results.at(0).find("|Zeppelin"), std::string::npos);
    ASSERT_EQ(::rename((library_ + "/Rock/Zeppelin.xml").c_str(), (library_ + "/Jazz/Zeppelin.xml").c_str()), 0);
    ExpectSame(Request("dog", "Jazz"));
    EXPECT_TRUE(ExpectSame(Request("dog", "Rock")).results.empty());

    // A whole group moved below another.
    ASSERT_EQ(::rename((library_ + "/Jazz").c_str(), (library_ + "/Empty/Jazz").c_str()), 0);
    EXPECT_EQ(ExpectSame(Request("o", "Empty")).results.size(), 3u);

    // Made unreadable (for the superuser, who reads anything, a link that leads nowhere but
    // round in a circle), then readable again.
    const std::string stones = library_ + "/Rock/Stones.xml";
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(stones.c_str(), 0), 0);
        EXPECT_EQ(ExpectSame(Request("o")).skipped.size(), 1u);
        ASSERT_EQ(::chmod(stones.c_str(), 0644), 0);
    } else {
        ASSERT_EQ(::rename(stones.c_str(), (stones + ".away").c_str()), 0);
        ASSERT_EQ(::symlink("Stones.xml", stones.c_str()), 0);
        EXPECT_EQ(ExpectSame(Request("o")).skipped.size(), 1u);
        ASSERT_EQ(::unlink(stones.c_str()), 0);
        ASSERT_EQ(::rename((stones + ".away").c_str(), stones.c_str()), 0);
    }
    EXPECT_TRUE(ExpectSame(Request("o")).skipped.empty());

    // No catalog any more, then one again: its failure is told as the streaming search tells it.
    WriteFile(library_ + "/Loose.xml", "<fileinfo><file FileName=\"rock\">");
    SetModifiedAgo(library_ + "/Loose.xml", 60);
    const Answer broken = ExpectSame(Request("o"));
    ASSERT_EQ(broken.skipped.size(), 1u);
    EXPECT_NE(broken.skipped[0].find(library_ + "/Loose.xml: Cannot read \"" + library_ + "/Loose.xml\""), std::string::npos)
        << broken.skipped[0];
    EXPECT_EQ(ExpectSame(Request("o")), broken) << "from the failure the index recorded";
    EXPECT_EQ(Index().outOfDate, 0u);
    EXPECT_EQ(ExpectSame(Request("o", "Loose.xml")).skipped.size(), 1u) << "worded alike in every scope";

    // Deleted: forgotten by the next search of a scope that held it.
    ASSERT_EQ(::unlink((library_ + "/Loose.xml").c_str()), 0);
    EXPECT_EQ(Index().outOfDate, 1u);
    ExpectSame(Request("o"));
    EXPECT_EQ(Index().outOfDate, 0u);
    std::vector<std::string> keys;
    std::unique_ptr<LibraryIndex> index;
    ASSERT_TRUE(LibraryIndex::Open(cache_, library_, false, index).ok());
    for (const IndexedCatalog& catalog : index->Catalogs())
        keys.push_back(catalog.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"Empty/Jazz/Blue.xml", "Empty/Jazz/Zeppelin.xml", "Rock/Stones.xml"}));
    EXPECT_EQ(ListFolder(index->Folder() + "/segments").size(), 3u) << "segments of what is forgotten are removed";
}

TEST_F(IndexedSearchTest, ACatalogChangedWithinTwoSecondsIsReadEachTimeUntilItSettles)
{
    ExpectSame(Request("rock"));
    WriteFile(library_ + "/Rock/Led.xml", CatalogText(FileEntry("Kashmir.mp3", "mp3")));
    EXPECT_EQ(ExpectSame(Request("kash")).results.size(), 1u);
    EXPECT_EQ(Index().outOfDate, 1u) << "a segment read this soon after the change would never count";
    EXPECT_EQ(ExpectSame(Request("kash")).results.size(), 1u);
    SetModifiedAgo(library_ + "/Rock/Led.xml", 3);
    ExpectSame(Request("kash"));
    EXPECT_EQ(Index().outOfDate, 0u);
}

// With a current index, a search reads nothing of the catalog files: its results come from
// the segments, which are mapped, so every byte the process reads is the index's manifest or
// marker. The same search without the index reads every catalog whole, which shows the
// counter sees the reads the indexed search is spared.
TEST_F(IndexedSearchTest, ACurrentIndexReadsNothingOfTheCatalogs)
{
    std::string entries;
    for (int i = 0; i < 3000; ++i)
        entries += FileEntry((i % 500 == 7 ? "Rock " : "Jazz ") + std::to_string(i) + ".mp3", "mp3");
    Put("Big.xml", entries);
    ExpectSame(Request("rock"));
    ASSERT_EQ(Index().outOfDate, 0u);

    // Reading the counter counts too: what one reading adds is taken off (give or take the
    // digits by which its text grows).
    const auto charactersReadBy = [](const std::function<void()>& work) {
        const long counter = ReadCharacters();
        const long before = ReadCharacters();
        work();
        return ReadCharacters() - before - (before - counter);
    };
    Answer answer;
    const long indexedRead = charactersReadBy([&] { answer = Search(Request("rock"), true); });
    ASSERT_EQ(answer.results.size(), 10u);
    const long streamingRead = charactersReadBy([&] { EXPECT_EQ(Search(Request("rock"), false), answer); });

    long catalogBytes = 0;
    for (const char* key : {"Big.xml", "Jazz/Blue.xml", "Loose.xml", "Rock/Led.xml", "Rock/Stones.xml"})
        catalogBytes += static_cast<long>(ReadFile(library_ + "/" + std::string(key)).size());
    std::unique_ptr<LibraryIndex> index;
    ASSERT_TRUE(LibraryIndex::Open(cache_, library_, false, index).ok());
    const long manifestAndMarker =
        static_cast<long>(ReadFile(index->Folder() + "/manifest").size() + ReadFile(index->Folder() + "/library").size());
    EXPECT_GE(streamingRead, catalogBytes);
    EXPECT_LE(indexedRead, manifestAndMarker + 16);
}

TEST_F(IndexedSearchTest, DamagedIndexFilesAreBuiltAgainNeverTrusted)
{
    const Answer answer = ExpectSame(Request("o"));
    std::unique_ptr<LibraryIndex> index;
    ASSERT_TRUE(LibraryIndex::Open(cache_, library_, false, index).ok());
    const std::string segments = index->Folder() + "/segments/";
    const auto segmentOf = [&](const std::string& key) {
        for (const IndexedCatalog& catalog : index->Catalogs())
            if (catalog.key == key)
                return segments + catalog.segmentFile;
        ADD_FAILURE() << key << " not recorded";
        return std::string();
    };
    const auto damage = [](const std::string& path, const std::function<void(std::string&)>& change) {
        std::string bytes = ReadFile(path);
        change(bytes);
        WriteFile(path, bytes);
    };

    // Truncated, a flipped header byte, another format version, a segment of another catalog
    // in its place, a missing segment: each is noticed and its catalog read again.
    damage(segmentOf("Rock/Led.xml"), [](std::string& bytes) { bytes.resize(bytes.size() - 5); });
    damage(segmentOf("Rock/Stones.xml"), [](std::string& bytes) { bytes[30] = static_cast<char>(bytes[30] ^ 4); });
    damage(segmentOf("Jazz/Blue.xml"), [](std::string& bytes) { bytes[8] = 7; });
    WriteFile(segmentOf("Loose.xml"), ReadFile(segmentOf("Rock/Led.xml")));
    EXPECT_EQ(Search(Request("o"), true), answer);
    EXPECT_EQ(Index().outOfDate, 0u) << "each was built again";
    ASSERT_EQ(::unlink(segmentOf("Loose.xml").c_str()), 0);
    EXPECT_EQ(Search(Request("o"), true, RecordingSink(true)), answer) << "as lines";

    // A damaged manifest or marker: the index starts again.
    damage(index->Folder() + "/manifest", [](std::string& bytes) { bytes[bytes.size() / 2] ^= 0x20; });
    EXPECT_EQ(Index().outOfDate, 4u);
    EXPECT_EQ(Search(Request("o"), true), answer);
    EXPECT_EQ(Index().outOfDate, 0u);
    WriteFile(index->Folder() + "/library", "not a marker");
    EXPECT_EQ(Search(Request("o"), true), answer);
    EXPECT_EQ(Index().outOfDate, 0u);

    // Damage inside a section passes the structure checks of a search; the index command
    // checks every byte, finds it and reads that catalog again.
    ASSERT_TRUE(LibraryIndex::Open(cache_, library_, false, index).ok());
    damage(segmentOf("Rock/Stones.xml"), [](std::string& bytes) { bytes[bytes.size() - 20] ^= 0x01; });
    const IndexSummary repaired = Index(IndexAction::Update);
    EXPECT_TRUE(repaired.status.ok()) << repaired.status.message();
    EXPECT_EQ(repaired.read, 1u);
    for (const IndexedCatalog& catalog : index->Catalogs()) {
        std::shared_ptr<const SegmentReader> segment;
        ASSERT_TRUE(index->OpenSegment(catalog, segment).ok());
        EXPECT_TRUE(segment->VerifyContent().ok()) << catalog.key;
    }
    EXPECT_EQ(Search(Request("o"), true), answer);
}

TEST_F(IndexedSearchTest, ACancelledFirstSearchLeavesAUsablePartialIndex)
{
    for (int i = 0; i < 12; ++i) {
        std::string entries;
        for (int j = 0; j < 400; ++j)
            entries += FileEntry("Rock " + std::to_string(i) + "-" + std::to_string(j), "mp3");
        Put("Many/Disc" + std::to_string(i) + ".xml", entries);
    }
    NullProgress progress;
    RecordingSink sink;
    sink.onBatch = [&] { progress.Cancel(); };
    SearchRequest request = Request("rock 3");
    const SearchOutcome outcome = SearchCatalogs(request, progress, sink);
    EXPECT_EQ(outcome.status.code(), Status::Code::Cancelled);
    // What was read to its end before the cancel is kept, whole.
    EXPECT_GT(Index().catalogs, 0u);
    ExpectSame(Request("rock 3"));
    EXPECT_EQ(Index().outOfDate, 0u);
}

TEST_F(IndexedSearchTest, WithoutAUsableCacheOrWithoutTheIndexTheSearchStreamsAndSaysNothing)
{
    const Answer answer = Search(Request("rock"), false);
    EXPECT_FALSE(PathExists(cache_)) << "a search without the index makes none";

    // A cache folder that cannot be made: below a file.
    WriteFile(dir_ / "file", "");
    SearchRequest blocked = Request("rock");
    blocked.indexCacheFolder = dir_ / "file/cache";
    EXPECT_EQ(Search(blocked, true), answer);
    // Inside the library itself.
    blocked.indexCacheFolder = library_ + "/Empty/.cache";
    EXPECT_EQ(Search(blocked, true), answer);
    EXPECT_FALSE(PathExists(library_ + "/Empty/.cache"));
    // No library given, or a scope outside it.
    SearchRequest free = Request("rock");
    free.libraryRoot.clear();
    EXPECT_EQ(Search(free, true), answer);
    WriteFile(dir_ / "Outside.xml", CatalogText(FileEntry("rock outside")));
    SearchRequest outside = Request("rock");
    outside.scopePath = dir_ / "Outside.xml";
    outside.scopeIsGroup = false;
    EXPECT_EQ(Search(outside, true).results.size(), 1u);
    EXPECT_FALSE(PathExists(cache_));
}

TEST_F(IndexedSearchTest, IndexesOfLibrariesThatNoLongerExistAreRemoved)
{
    TempDir other;
    MakeDirs(other / "Library");
    WriteFile(other / "Library/Disc.xml", CatalogText(FileEntry("rock")));
    SetModifiedAgo(other / "Library/Disc.xml", 60);
    SearchRequest elsewhere = Request("rock");
    elsewhere.libraryRoot = elsewhere.scopePath = other / "Library";
    Search(elsewhere, true);
    ExpectSame(Request("rock"));
    ASSERT_EQ(ListFolder(cache_).size(), 2u);
    ASSERT_EQ(::unlink((other / "Library/Disc.xml").c_str()), 0);
    ASSERT_EQ(::rmdir((other / "Library").c_str()), 0);
    Put("Rock/New.xml", FileEntry("rock new"));
    ExpectSame(Request("rock"));
    EXPECT_EQ(ListFolder(cache_).size(), 1u);
}

TEST_F(IndexedSearchTest, TheIndexCommandReadsWhatChangedAndTellsWhatItHolds)
{
    WriteFile(library_ + "/Rock/notes.txt", "no catalog");
    SetModifiedAgo(library_ + "/Rock/notes.txt", 60);
    const IndexSummary status = Index();
    EXPECT_EQ(status.catalogs, 0u);
    EXPECT_EQ(status.outOfDate, 5u);
    EXPECT_FALSE(PathExists(cache_)) << "the status changes nothing";

    const IndexSummary first = Index(IndexAction::Update);
    ASSERT_TRUE(first.status.ok()) << first.status.message();
    EXPECT_EQ(first.catalogs, 4u);
    EXPECT_EQ(first.entries, 8u);
    EXPECT_EQ(first.read, 5u);
    EXPECT_EQ(first.skipped, 1u);
    ASSERT_EQ(first.skippedFiles.size(), 1u);
    const Answer searched = ExpectSame(Request("o"));
    ASSERT_EQ(searched.skipped.size(), 1u);
    EXPECT_EQ(first.skippedFiles[0].path + ": " + first.skippedFiles[0].reason, searched.skipped[0]);

    Put("Rock/Led.xml", FileEntry("Kashmir.mp3", "mp3"));
    const IndexSummary again = Index(IndexAction::Update);
    EXPECT_EQ(again.read, 1u);
    EXPECT_EQ(again.entries, 6u);
    EXPECT_EQ(again.skipped, 1u);
    EXPECT_EQ(Index().outOfDate, 0u);
    EXPECT_EQ(Index(IndexAction::Update).read, 0u);
    EXPECT_EQ(Index(IndexAction::Rebuild).read, 5u);
    EXPECT_EQ(Index().bytes, again.bytes);

    // One just written is waited for until it has settled, so that it counts as current.
    WriteFile(library_ + "/Jazz/Fresh.xml", CatalogText(FileEntry("fresh")));
    EXPECT_EQ(Index(IndexAction::Update).read, 1u);
    EXPECT_EQ(Index().outOfDate, 0u);
}

// Two processes keep changing catalogs (each between two versions, by atomic saves) and
// bringing the index up to date while two others search: every search sees each catalog
// whole in one of its versions, and at the end the index is current and answers as the
// catalogs do.
TEST_F(IndexedSearchTest, ProcessesSearchingAndUpdatingAtOnceDoNoHarm)
{
    const int catalogs = 6;
    const auto version = [](int catalog, int which) {
        std::string entries;
        for (int j = 0; j < 50; ++j)
            entries += FileEntry("rock " + std::to_string(catalog) + (which ? " new " : " old ") + std::to_string(j), "mp3");
        return entries;
    };
    for (int i = 0; i < catalogs; ++i)
        Put("Live/Disc" + std::to_string(i) + ".xml", version(i, 0));

    const auto child = [&](int role) -> int {
        for (int round = 0; round < 12; ++round) {
            if (role < 2) {
                const int i = (round * 2 + role) % catalogs;
                const std::string path = library_ + "/Live/Disc" + std::to_string(i) + ".xml";
                const std::string temporary = dir_ / ("Disc.part" + std::to_string(role));
                WriteFile(temporary, CatalogText(version(i, round % 2)));
                const std::int64_t when = WallClockNs() - 10'000'000'000;
                const struct timespec times[2] = {{when / 1'000'000'000, 0}, {when / 1'000'000'000, round}};
                if (::utimensat(AT_FDCWD, temporary.c_str(), times, 0) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0)
                    return 10;
                NullProgress progress;
                if (!UpdateSearchIndex(library_, cache_, IndexAction::Update, progress).status.ok())
                    return 11;
                continue;
            }
            SearchRequest request = Request("rock", "Live");
            NullProgress progress;
            RecordingSink sink;
            const SearchOutcome outcome = SearchCatalogs(request, progress, sink);
            if (!outcome.Complete() || sink.lines.size() != 50u * catalogs)
                return 12;
            // Per catalog, its fifty results of one version, in document order.
            std::set<std::string> seen;
            for (std::size_t at = 0; at < sink.lines.size(); at += 50) {
                const std::string first = sink.lines[at].substr(0, sink.lines[at].find('|'));
                if (first.size() < 12 || first.substr(first.size() - 2) != " 0" || !seen.insert(first).second)
                    return 13;
                const std::string prefix = first.substr(0, first.size() - 1);
                for (std::size_t j = 0; j < 50; ++j)
                    if (sink.lines[at + j].rfind(prefix + std::to_string(j) + "|", 0) != 0)
                        return 14;
            }
        }
        return 0;
    };
    testing::RunInChildProcesses(4, child);
    EXPECT_EQ(Index(IndexAction::Update).status.code(), Status::Code::Ok);
    EXPECT_EQ(Index().outOfDate, 0u);
    ExpectSame(Request("rock"));
    std::unique_ptr<LibraryIndex> index;
    ASSERT_TRUE(LibraryIndex::Open(cache_, library_, false, index).ok());
    std::vector<std::string> recorded;
    for (const IndexedCatalog& catalog : index->Catalogs())
        recorded.push_back(catalog.segmentFile);
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(ListFolder(index->Folder() + "/segments"), recorded) << "segments nobody records were left";
}

}  // namespace
}  // namespace vellumark
