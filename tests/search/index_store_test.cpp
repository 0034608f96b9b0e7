#include "search/index/candidate_query.h"
#include "search/index/library_index.h"
#include "search/indexed_search.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::SetModifiedAgo;
using testing::TempDir;
using testing::WriteFile;

using Keys = std::vector<std::string>;

std::string CatalogWith(const std::vector<std::string>& names)
{
    std::string text = "<?xml version=\"1.0\"?><fileinfo><file FileName=\"Disc\" FileType=\"directory\">";
    for (const std::string& name : names)
        text += "<file FileName=\"" + name + "\" FileType=\"file\"/>";
    return text + "</file></fileinfo>";
}

Keys KeysOf(const std::vector<IndexedCatalog>& catalogs)
{
    Keys keys;
    for (const IndexedCatalog& catalog : catalogs)
        keys.push_back(catalog.key);
    return keys;
}

class IndexStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = dir_ / "CatalogLibrary";
        cache_ = dir_ / "cache/vellumark";
        MakeDirs(library_ + "/Rock");
        MakeDirs(library_ + "/Jazz");
        PutCatalog("Rock/Led.xml", {"Stairway.mp3", "Kashmir.mp3", "Zeppelin IV"});
        PutCatalog("Rock/Stones.xml", {"Angie.mp3", "Paint It Black.mp3"});
        PutCatalog("Jazz/Blue.xml", {"So What.flac", "Rock Steady.flac"});
        ASSERT_TRUE(LibraryIndex::Open(cache_, library_, true, index_).ok());
    }

    // A catalog whose last change lies well before any indexing of it.
    void PutCatalog(const std::string& key, const std::vector<std::string>& names)
    {
        WriteFile(library_ + "/" + key, CatalogWith(names));
        SetModifiedAgo(library_ + "/" + key, 60);
    }

    std::vector<CatalogFile> Walk(const Keys& keys) const
    {
        std::vector<CatalogFile> catalogs;
        for (const std::string& key : keys)
            catalogs.push_back({key, library_ + "/" + key});
        return catalogs;
    }

    // Brings the scope up to date as a search would (the walk gives the keys); returns the
    // keys it had to read.
    Keys Refresh(const Keys& keys, const std::string& scope = "")
    {
        std::vector<std::string> files;
        for (const std::string& key : keys)
            files.push_back(library_ + "/" + key);
        const bool group = scope.empty() || scope.find(".xml") == std::string::npos;
        const std::unique_ptr<ScopeIndex> index =
            ScopeIndex::Open(library_, cache_, scope.empty() ? library_ : library_ + "/" + scope, group, files);
        EXPECT_TRUE(index);
        if (!index)
            return {"<no index>"};
        Keys read;
        for (const std::size_t file : index->StaleFiles())
            read.push_back(keys[file]);
        NullProgress progress;
        for (std::size_t file = 0; file < files.size(); ++file) {
            CatalogRead result;
            index->Search(file, nullptr, nullptr, progress, nullptr, result);
            EXPECT_EQ(index->Outcome(file).read, std::count(read.begin(), read.end(), keys[file]) == 1) << keys[file];
        }
        const Status finished = index->Finish();
        EXPECT_TRUE(finished.ok()) << finished.message();
        return read;
    }

    std::vector<std::string> NamesFound(const std::string& key, const std::string& pattern)
    {
        for (const IndexedCatalog& catalog : index_->Catalogs()) {
            if (catalog.key != key)
                continue;
            std::shared_ptr<const SegmentReader> segment;
            const Status opened = index_->OpenSegment(catalog, segment);
            EXPECT_TRUE(opened.ok()) << opened.message();
            if (!segment)
                return {};
            std::vector<std::uint32_t> candidates;
            EXPECT_TRUE(CandidateQuery(pattern, "", "", false, false).FindCandidates(*segment, candidates).ok());
            std::vector<std::string> names;
            for (const std::uint32_t ordinal : candidates) {
                IndexedEntryValues values;
                EXPECT_TRUE(segment->Values(ordinal, values));
                names.emplace_back(values.fileName.value_or("?"));
            }
            return names;
        }
        return {"<not indexed>"};
    }

    const Keys kAll = {"Jazz/Blue.xml", "Rock/Led.xml", "Rock/Stones.xml"};
    TempDir dir_;
    std::string library_;
    std::string cache_;
    std::unique_ptr<LibraryIndex> index_;
};

TEST(IndexCacheFolderTest, FollowsAnAbsoluteXdgCacheHomeElseTheHomeFolder)
{
    const char* savedCache = std::getenv("XDG_CACHE_HOME");
    const std::string cache = savedCache ? savedCache : "";
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CACHE_HOME", "/var/cache/me", 1);
    EXPECT_EQ(DefaultIndexCacheFolder(), "/var/cache/me/vellumark");
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
    EXPECT_EQ(DefaultIndexCacheFolder(), "/home/someone/.cache/vellumark");
    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(DefaultIndexCacheFolder(), "/home/someone/.cache/vellumark");
    if (savedCache)
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    if (savedHome)
        ::setenv("HOME", home.c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST_F(IndexStoreTest, OneIndexPerLibraryKeyedByItsRealPathAndNeverInsideIt)
{
    ASSERT_EQ(::symlink(library_.c_str(), (dir_ / "linked").c_str()), 0);
    std::unique_ptr<LibraryIndex> throughLink;
    ASSERT_TRUE(LibraryIndex::Open(cache_, dir_ / "linked", false, throughLink).ok());
    EXPECT_EQ(throughLink->Folder(), index_->Folder());
    EXPECT_EQ(throughLink->LibraryPath(), index_->LibraryPath());
    EXPECT_EQ(ListFolder(cache_).size(), 1u);

    std::unique_ptr<LibraryIndex> other;
    MakeDirs(dir_ / "Other");
    EXPECT_EQ(LibraryIndex::Open(cache_, dir_ / "Other", false, other).code(), Status::Code::Invalid);
    ASSERT_TRUE(LibraryIndex::Open(cache_, dir_ / "Other", true, other).ok());
    EXPECT_NE(other->Folder(), index_->Folder());

    std::unique_ptr<LibraryIndex> inside;
    EXPECT_FALSE(LibraryIndex::Open(library_ + "/Rock/.cache", library_, true, inside).ok());
    EXPECT_FALSE(LibraryIndex::Open(library_, library_, true, inside).ok());
    EXPECT_FALSE(PathExists(library_ + "/Rock/.cache"));
    EXPECT_EQ(ListFolder(library_), (std::vector<std::string>{"Jazz", "Rock"}));
}

TEST_F(IndexStoreTest, AFreshIndexReadsEveryCatalogOnceThenNone)
{
    EXPECT_EQ(Refresh(kAll), kAll);
    EXPECT_EQ(Refresh(kAll), Keys());
    EXPECT_EQ(NamesFound("Rock/Led.xml", "zeppelin"), (std::vector<std::string>{"Zeppelin IV"}));
    EXPECT_EQ(NamesFound("Jazz/Blue.xml", "ROCK"), (std::vector<std::string>{"Rock Steady.flac"}));
    const std::vector<IndexedCatalog> catalogs = index_->Catalogs();
    ASSERT_EQ(catalogs.size(), 3u);
    EXPECT_EQ(catalogs[1].entryCount, 4u);
    std::uint64_t bytes = 0;
    for (const IndexedCatalog& catalog : catalogs)
        bytes += catalog.segmentBytes;
    EXPECT_GT(index_->Bytes(), bytes);
    EXPECT_EQ(ListFolder(index_->Folder() + "/segments").size(), 3u);
}

TEST_F(IndexStoreTest, ACatalogIndexedWithinTwoSecondsOfItsChangeIsReadAgain)
{
    const std::string led = library_ + "/Rock/Led.xml";
    SetModifiedAgo(led, 1);
    EXPECT_EQ(Refresh(kAll), kAll);
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"}) << "indexed one second after its change";
    SetModifiedAgo(led, 3);  // a new identity, and now old enough
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});
    EXPECT_EQ(Refresh(kAll), Keys());
}

TEST_F(IndexStoreTest, EachKindOfChangeReadsExactlyTheCatalogsItTouched)
{
    Refresh(kAll);
    const std::string led = library_ + "/Rock/Led.xml";

    // Edited in place, same size, modification time set back as copying tools do.
    struct stat before {};
    ASSERT_EQ(::stat(led.c_str(), &before), 0);
    std::string text = ReadFile(led);
    text.replace(text.find("Kashmir"), 7, "Kashmar");
    WriteFile(led, text);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, led.c_str(), times, 0), 0);
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});
    EXPECT_EQ(NamesFound("Rock/Led.xml", "kashm"), (std::vector<std::string>{"Kashmar.mp3"}));

    // Replaced by an atomic save.
    WriteFile(library_ + "/Rock/.Led.tmp", CatalogWith({"Black Dog"}));
    SetModifiedAgo(library_ + "/Rock/.Led.tmp", 30);
    ASSERT_EQ(::rename((library_ + "/Rock/.Led.tmp").c_str(), led.c_str()), 0);
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});
    EXPECT_EQ(NamesFound("Rock/Led.xml", "dog"), (std::vector<std::string>{"Black Dog"}));

    // Made unreadable: its change time moves.
    ASSERT_EQ(::chmod(led.c_str(), 0), 0);
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});
    ASSERT_EQ(::chmod(led.c_str(), 0644), 0);
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});

    // Renamed: the new name is read, the old one forgotten.
    ASSERT_EQ(::rename(led.c_str(), (library_ + "/Rock/Zep.xml").c_str()), 0);
    const Keys renamed = {"Jazz/Blue.xml", "Rock/Stones.xml", "Rock/Zep.xml"};
    EXPECT_EQ(Refresh(renamed), Keys{"Rock/Zep.xml"});
    EXPECT_EQ(NamesFound("Rock/Led.xml", "dog"), (std::vector<std::string>{"<not indexed>"}));

    // A group moved into another: its catalogs come back under their new keys.
    MakeDirs(library_ + "/Old");
    ASSERT_EQ(::rename((library_ + "/Jazz").c_str(), (library_ + "/Old/Jazz").c_str()), 0);
    const Keys moved = {"Old/Jazz/Blue.xml", "Rock/Stones.xml", "Rock/Zep.xml"};
    EXPECT_EQ(Refresh(moved), Keys{"Old/Jazz/Blue.xml"});

    // Deleted.
    ASSERT_EQ(::unlink((library_ + "/Rock/Stones.xml").c_str()), 0);
    const Keys left = {"Old/Jazz/Blue.xml", "Rock/Zep.xml"};
    EXPECT_EQ(Refresh(left), Keys());
    Keys recorded;
    for (const IndexedCatalog& catalog : index_->Catalogs())
        recorded.push_back(catalog.key);
    EXPECT_EQ(recorded, left);
    EXPECT_EQ(ListFolder(index_->Folder() + "/segments").size(), 2u) << "replaced segments are removed";
}

TEST_F(IndexStoreTest, OrphansAreOnlyThoseWithinTheScopeSearched)
{
    Refresh(kAll);
    ASSERT_EQ(::unlink((library_ + "/Rock/Stones.xml").c_str()), 0);
    ASSERT_EQ(::unlink((library_ + "/Jazz/Blue.xml").c_str()), 0);
    const std::vector<CatalogFile> rock = Walk({"Rock/Led.xml"});
    const IndexCheck check = index_->Check(rock, "Rock");
    EXPECT_EQ(KeysOf(check.orphans), Keys{"Rock/Stones.xml"});
    EXPECT_TRUE(check.stale.empty());
    ASSERT_TRUE(check.current[0]);
    EXPECT_EQ(check.current[0]->key, "Rock/Led.xml");
    // "Rock" is no prefix of "Rockabilly".
    EXPECT_TRUE(index_->Check({}, "Roc").orphans.empty());
    EXPECT_EQ(KeysOf(index_->Check({}, "Rock/Stones.xml").orphans), Keys{"Rock/Stones.xml"});
    EXPECT_EQ(KeysOf(index_->Check(rock, "").orphans), (Keys{"Jazz/Blue.xml", "Rock/Stones.xml"}));
}

TEST_F(IndexStoreTest, DamagedManifestOrSegmentsAreBuiltAgainNotTrusted)
{
    Refresh(kAll);
    const std::string manifest = index_->Folder() + "/manifest";
    std::string bytes = ReadFile(manifest);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x10);
    WriteFile(manifest, bytes);
    EXPECT_TRUE(index_->Catalogs().empty());
    EXPECT_EQ(Refresh(kAll), kAll);
    EXPECT_EQ(Refresh(kAll), Keys());
    EXPECT_EQ(ListFolder(index_->Folder() + "/segments").size(), 6u) << "the unrecorded ones wait for their age";

    for (const IndexedCatalog& catalog : index_->Catalogs()) {
        const std::string path = index_->Folder() + "/segments/" + catalog.segmentFile;
        std::string segment = ReadFile(path);
        if (catalog.key == "Rock/Led.xml")
            segment.resize(segment.size() - 3);
        else if (catalog.key == "Jazz/Blue.xml")
            segment[20] = static_cast<char>(segment[20] ^ 1);
        WriteFile(path, segment);
        std::shared_ptr<const SegmentReader> opened;
        EXPECT_EQ(index_->OpenSegment(catalog, opened).ok(), catalog.key == "Rock/Stones.xml") << catalog.key;
    }
    // A manifest of another format version is no manifest.
    bytes = ReadFile(manifest);
    bytes[8] = 9;
    WriteFile(manifest, bytes);
    EXPECT_TRUE(index_->Catalogs().empty());
}

TEST_F(IndexStoreTest, ANonCatalogIsRecordedWithItsReasonAndNotReadAgain)
{
    WriteFile(library_ + "/Rock/Broken.xml", "<fileinfo><file FileName=\"x\">");
    SetModifiedAgo(library_ + "/Rock/Broken.xml", 60);
    const Keys keys = {"Rock/Broken.xml"};
    EXPECT_EQ(Refresh(keys, "Rock/Broken.xml"), keys);
    EXPECT_EQ(Refresh(keys, "Rock/Broken.xml"), Keys());
    const std::vector<IndexedCatalog> catalogs = index_->Catalogs();
    ASSERT_EQ(catalogs.size(), 1u);
    EXPECT_TRUE(catalogs[0].catalogFailed);
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(index_->OpenSegment(catalogs[0], segment).ok());
    EXPECT_NE(segment->FailureMessage().find("unexpected end of file"), std::string_view::npos) << segment->FailureMessage();
}

TEST_F(IndexStoreTest, ACatalogChangedWhileItIsReadIsNotRecorded)
{
    const std::vector<CatalogFile> catalogs = Walk({"Rock/Led.xml", "Rock/Stones.xml"});
    std::vector<PendingSegment> pending;
    for (const CatalogFile& catalog : catalogs) {
        const CatalogIdentity before = *IdentityOfFile(catalog.path);
        const std::int64_t indexedAt = WallClockNs();
        SegmentBuilder builder(catalog.key, before, indexedAt);
        testing::FeedSegment(catalog.path, builder);
        if (catalog.key == "Rock/Led.xml")
            WriteFile(catalog.path, CatalogWith({"changed meanwhile"}));
        std::optional<PendingSegment> written = index_->WriteSegment(catalog, builder, before, indexedAt);
        EXPECT_EQ(written.has_value(), catalog.key == "Rock/Stones.xml") << catalog.key;
        if (written)
            pending.push_back(std::move(*written));
    }
    // Nor is one read too shortly after its change to count as current.
    SetModifiedAgo(catalogs[0].path, 1);
    const CatalogIdentity recent = *IdentityOfFile(catalogs[0].path);
    SegmentBuilder builder(catalogs[0].key, recent, WallClockNs());
    testing::FeedSegment(catalogs[0].path, builder);
    EXPECT_FALSE(index_->WriteSegment(catalogs[0], builder, recent, WallClockNs()));

    std::size_t recorded = 0;
    ASSERT_TRUE(index_->Commit(pending, {}, recorded).ok());
    EXPECT_EQ(recorded, 1u);
    EXPECT_EQ(KeysOf(index_->Catalogs()), Keys{"Rock/Stones.xml"});
    EXPECT_EQ(ListFolder(index_->Folder() + "/segments").size(), 1u) << "nothing left of what was not recorded";
}

TEST_F(IndexStoreTest, ACancelledBuildKeepsWhatItFinished)
{
    std::vector<std::string> files;
    for (const std::string& key : kAll)
        files.push_back(library_ + "/" + key);
    const std::unique_ptr<ScopeIndex> index = ScopeIndex::Open(library_, cache_, library_, true, files);
    ASSERT_TRUE(index);
    NullProgress progress;
    CatalogRead read;
    index->Search(0, nullptr, nullptr, progress, nullptr, read);
    progress.Cancel();
    index->Search(1, nullptr, nullptr, progress, nullptr, read);
    EXPECT_TRUE(index->Outcome(0).recorded);
    EXPECT_FALSE(index->Outcome(1).read);
    ASSERT_TRUE(index->Finish().ok());
    EXPECT_EQ(KeysOf(index_->Catalogs()), Keys{kAll[0]});
}

// Forgetting a catalog forgets it as the forgetter saw it: what another process recorded for
// that key meanwhile stays.
TEST_F(IndexStoreTest, ForgettingLeavesWhatAnotherProcessRecordedMeanwhile)
{
    Refresh(kAll);
    const std::vector<IndexedCatalog> seen = index_->Catalogs();
    PutCatalog("Rock/Led.xml", {"Whole Lotta Love.mp3"});
    EXPECT_EQ(Refresh(kAll), Keys{"Rock/Led.xml"});
    std::vector<PendingSegment> none;
    std::size_t recorded = 0;
    ASSERT_TRUE(index_->Commit(none, seen, recorded).ok());
    EXPECT_EQ(KeysOf(index_->Catalogs()), Keys{"Rock/Led.xml"});
    EXPECT_EQ(NamesFound("Rock/Led.xml", "lotta"), (std::vector<std::string>{"Whole Lotta Love.mp3"}));
}

TEST_F(IndexStoreTest, ClearStartsFromNothing)
{
    Refresh(kAll);
    ASSERT_TRUE(index_->Clear().ok());
    EXPECT_TRUE(index_->Catalogs().empty());
    EXPECT_TRUE(ListFolder(index_->Folder() + "/segments").empty());
    EXPECT_EQ(Refresh(kAll), kAll);
}

TEST_F(IndexStoreTest, IndexesOfLibrariesThatAreGoneAreRemoved)
{
    Refresh(kAll);
    MakeDirs(dir_ / "Second");
    std::unique_ptr<LibraryIndex> second;
    ASSERT_TRUE(LibraryIndex::Open(cache_, dir_ / "Second", true, second).ok());
    MakeDirs(cache_ + "/not-an-index");
    EXPECT_EQ(RemoveIndexesOfMissingLibraries(cache_), 0u);
    ASSERT_EQ(::rmdir((dir_ / "Second").c_str()), 0);
    EXPECT_EQ(RemoveIndexesOfMissingLibraries(cache_), 1u);
    EXPECT_FALSE(PathExists(second->Folder()));
    EXPECT_TRUE(PathExists(index_->Folder() + "/manifest"));
    EXPECT_TRUE(PathExists(cache_ + "/not-an-index"));
}

// Two processes keep rebuilding the whole library while a third searches it: nobody sees a
// damaged file, and at the end the manifest is whole, every catalog is current and the
// segment folder holds just what the manifest records.
TEST_F(IndexStoreTest, ProcessesBuildingAndSearchingAtOnceDoNoHarm)
{
    for (int i = 0; i < 12; ++i)
        PutCatalog("Rock/Extra" + std::to_string(i) + ".xml", {"Rock " + std::to_string(i), "Roll.mp3"});
    Keys keys = kAll;
    for (int i = 0; i < 12; ++i)
        keys.push_back("Rock/Extra" + std::to_string(i) + ".xml");
    std::sort(keys.begin(), keys.end());
    const std::vector<CatalogFile> catalogs = Walk(keys);

    std::vector<std::string> files;
    for (const CatalogFile& catalog : catalogs)
        files.push_back(catalog.path);
    const auto child = [&](int role) {
        std::unique_ptr<LibraryIndex> index;
        if (!LibraryIndex::Open(cache_, library_, true, index).ok())
            return 10;
        NullProgress progress;
        for (int round = 0; round < 8; ++round) {
            if (role < 2) {
                if (round % 3 == 2 && !index->Clear().ok())
                    return 11;
                const std::unique_ptr<ScopeIndex> scope = ScopeIndex::Open(library_, cache_, library_, true, files);
                if (!scope)
                    return 12;
                for (std::size_t file = 0; file < files.size(); ++file) {
                    CatalogRead read;
                    scope->Search(file, nullptr, nullptr, progress, nullptr, read);
                    if (!read.failure.empty() || !scope->Outcome(file).recorded)
                        return 13;
                }
                if (!scope->Finish().ok())
                    return 14;
                continue;
            }
            // The searcher: what the manifest calls current opens and answers right.
            const IndexCheck check = index->Check(catalogs, "");
            for (std::size_t i = 0; i < catalogs.size(); ++i) {
                if (!check.current[i])
                    continue;
                std::shared_ptr<const SegmentReader> segment;
                if (!index->OpenSegment(*check.current[i], segment).ok())
                    continue;  // replaced meanwhile: a search reads that catalog itself
                std::vector<std::uint32_t> candidates;
                if (!segment->VerifyContent().ok() || !CandidateQuery("rock", "", "", false, false).FindCandidates(*segment, candidates).ok())
                    return 15;
            }
        }
        return 0;
    };
    testing::RunInChildProcesses(3, child);

    const IndexCheck check = index_->Check(catalogs, "");
    EXPECT_TRUE(check.stale.empty());
    std::vector<std::string> recorded;
    for (const IndexedCatalog& catalog : index_->Catalogs()) {
        recorded.push_back(catalog.segmentFile);
        std::shared_ptr<const SegmentReader> segment;
        ASSERT_TRUE(index_->OpenSegment(catalog, segment).ok()) << catalog.key;
        EXPECT_TRUE(segment->VerifyContent().ok());
    }
    EXPECT_EQ(recorded.size(), catalogs.size());
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(ListFolder(index_->Folder() + "/segments"), recorded) << "segments nobody records, or temporary files, were left";
    EXPECT_EQ(NamesFound("Rock/Extra3.xml", "rock"), (std::vector<std::string>{"Rock 3"}));
}

}  // namespace
}  // namespace vellumark
