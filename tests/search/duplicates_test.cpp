#include "search/duplicates.h"
#include "core/path_names.h"
#include "search/index/library_index.h"
#include "search/index_update.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::RecordingProgress;
using testing::TempDir;
using testing::WriteFile;

// One file entry; an empty kind or size leaves the attribute out.
std::string File(std::string_view name, std::string_view size, std::string_view kind = "file")
{
    std::string text = "<file FileName=\"" + std::string(name) + "\" FullPath=\"/cd/" + std::string(name) + "\"";
    if (!size.empty())
        text += " FileSize=\"" + std::string(size) + "\"";
    if (!kind.empty())
        text += " FileType=\"" + std::string(kind) + "\"";
    return text + "/>";
}

std::string Catalog(const std::vector<std::string>& entries)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumark\">"
                       "<file FileName=\"Disc\" FullPath=\"/cd\" FileType=\"directory\">";
    for (const std::string& entry : entries)
        text += entry;
    return text + "</file></fileinfo>";
}

// The entries after `count` files whose names, starting with the tag, are found nowhere else.
std::vector<std::string> Unique(const std::string& tag, int count, std::vector<std::string> entries)
{
    for (int i = 0; i < count; ++i)
        entries.insert(entries.begin(), File(tag + std::to_string(i) + ".dat", std::to_string(1000 + i)));
    return entries;
}

// Sets the file's times this many seconds back, so that an index made now counts as current.
void SetModifiedAgo(const std::string& path, int seconds)
{
    const std::int64_t when = WallClockNs() - static_cast<std::int64_t>(seconds) * 1'000'000'000;
    const struct timespec times[2] = {{when / 1'000'000'000, when % 1'000'000'000}, {when / 1'000'000'000, when % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// "DiskName:FileName:FileSize" per copy, and the wasted bytes, per group in rank order.
struct GroupView {
    std::vector<std::string> copies;
    std::uint64_t wasted;
    bool operator==(const GroupView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const GroupView& group)
{
    out << "{wasted " << group.wasted << ":";
    for (const std::string& copy : group.copies)
        out << " " << copy;
    return out << "}";
}

std::vector<GroupView> View(const DuplicatesOutcome& outcome)
{
    std::vector<GroupView> groups;
    for (const DuplicateGroup& group : outcome.groups) {
        GroupView& view = groups.emplace_back();
        view.wasted = group.wastedBytes;
        for (const DuplicateCopy& copy : group.copies)
            view.copies.push_back(std::string(copy.record.Field(kDiskName)) + ":" + std::string(copy.record.Field(kFileName))
                                  + ":" + std::string(copy.record.Field(kFileSize)));
    }
    return groups;
}

class DuplicatesTest : public ::testing::Test {
protected:
    DuplicatesTest() { MakeDirs(library + "/Music"); }

    // A catalog below the library root, changed long enough ago for the index to trust it.
    void Put(const std::string& key, const std::vector<std::string>& entries)
    {
        WriteFile(library + "/" + key, Catalog(entries));
        SetModifiedAgo(library + "/" + key, 60);
    }

    DuplicatesOutcome Find(DuplicateKey key = DuplicateKey::NameAndSize, std::uint64_t minSize = 1, bool useIndex = false,
                           const std::string& scope = {})
    {
        DuplicatesRequest request;
        request.scopePath = scope.empty() ? library : library + "/" + scope;
        request.scopeIsGroup = scope.empty() || scope.find(".xml") == std::string::npos;
        request.key = key;
        request.minSize = minSize;
        request.useIndex = useIndex;
        request.libraryRoot = library;
        request.indexCacheFolder = cache;
        NullProgress progress;
        return FindDuplicates(request, progress);
    }

    // The catalogs' names in the order the walk reaches them (the file system's listing order).
    std::vector<std::string> WalkOrder() const
    {
        NullProgress progress;
        std::vector<std::string> names;
        for (const std::string& path : ListScopeCatalogs(library, true, progress).files)
            names.push_back(CatalogNameOfFile(path));
        return names;
    }

    // "Disk:..." texts ordered by their catalog's place in the walk, each catalog's in the order given.
    std::vector<std::string> InWalkOrder(std::vector<std::string> copies) const
    {
        const std::vector<std::string> walk = WalkOrder();
        const auto place = [&](const std::string& copy) {
            return std::find(walk.begin(), walk.end(), copy.substr(0, copy.find(':'))) - walk.begin();
        };
        std::stable_sort(copies.begin(), copies.end(), [&](const std::string& a, const std::string& b) { return place(a) < place(b); });
        return copies;
    }

    // Indexes every catalog of the library, as the index command does.
    void BuildIndex()
    {
        NullProgress progress;
        const IndexSummary summary = UpdateSearchIndex(library, cache, IndexAction::Update, progress);
        ASSERT_TRUE(summary.status.ok()) << summary.status.message();
        ASSERT_EQ(summary.skipped, summary.skippedFiles.size());
    }

    TempDir dir;
    std::string library = dir / "CatalogLibrary";
    std::string cache = dir / "cache";
};

TEST_F(DuplicatesTest, NamesIgnoreTheCaseOfAToZOnly)
{
    Put("Music/One.xml", {File("A.mp3", "5"), File("\xC3\x89.mp3", "5"), File("Straße.ogg", "7"), File("a.MP3", "5"),
                          File("\xC3\xA9.mp3", "5"), File("STRASSE.OGG", "7"), File("straße.OGG", "7")});

    const DuplicatesOutcome outcome = Find();
    ASSERT_TRUE(outcome.status.ok()) << outcome.status.message();
    EXPECT_EQ(View(outcome), (std::vector<GroupView>{{{"One:Straße.ogg:7", "One:straße.OGG:7"}, 7},
                                                     {{"One:A.mp3:5", "One:a.MP3:5"}, 5}}));
}

TEST_F(DuplicatesTest, LongNamesFoldEveryLetterAndNothingElse)
{
    // Every letter in every place of a word of eight bytes, beside the characters next to
    // them in ASCII and letters of two bytes; "@" and "`", "[" and "{" stay different.
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ@[\xC3\x80\xC5\x81 QZ.TXT";
    const std::string lower = "abcdefghijklmnopqrstuvwxyz@[\xC3\x80\xC5\x81 qz.txt";
    Put("Music/One.xml", {File(upper, "3"), File("x" + upper, "4"), File("xy" + lower, "4"), File(lower, "3"),
                          File("@[" + upper, "6"), File("`{" + upper, "6")});
    EXPECT_EQ(View(Find()), (std::vector<GroupView>{{{"One:" + upper + ":3", "One:" + lower + ":3"}, 3}}));
    EXPECT_EQ(View(Find(DuplicateKey::Name)), (std::vector<GroupView>{{{"One:" + upper + ":3", "One:" + lower + ":3"}, 3}}));
}

TEST_F(DuplicatesTest, OnlyFilesWithAReadableSizeOfAtLeastTheMinimumCount)
{
    Put("Music/One.xml", {File("e.txt", "0"), File("e.txt", "0"), File("d", "9", "directory"), File("d", "9", "directory"),
                          File("k", "9", "File"), File("k", "9", "File"), File("n", "9", ""), File("n", "9", ""),
                          File("u", "9a"), File("u", "9a"), File("m", ""), File("m", ""), File("x", "-1"), File("x", "-1"),
                          File("w", "123456789012345678901"), File("w", "123456789012345678901"), File("z", "007"),
                          File("z", "7"), File("b", "2048"), File("b", "2048")});

    EXPECT_EQ(View(Find()), (std::vector<GroupView>{{{"One:b:2048", "One:b:2048"}, 2048}, {{"One:z:007", "One:z:7"}, 7}}));
    // Empty files are copies of each other only when the minimum lets them in; the minimum is inclusive.
    EXPECT_EQ(View(Find(DuplicateKey::NameAndSize, 0)),
              (std::vector<GroupView>{{{"One:b:2048", "One:b:2048"}, 2048}, {{"One:z:007", "One:z:7"}, 7},
                                      {{"One:e.txt:0", "One:e.txt:0"}, 0}}));
    EXPECT_EQ(View(Find(DuplicateKey::NameAndSize, 2048)), (std::vector<GroupView>{{{"One:b:2048", "One:b:2048"}, 2048}}));
    EXPECT_TRUE(Find(DuplicateKey::NameAndSize, 2049).groups.empty());
}

TEST_F(DuplicatesTest, SizesBeyondSixtyFourBitsCompareExactly)
{
    Put("Music/One.xml", {File("big", "99999999999999999999"), File("big", "99999999999999999999"),
                          File("big", "99999999999999999998"), File("big", "18446744073709551616"),
                          File("max", "18446744073709551615"), File("max", "18446744073709551615")});

    const DuplicatesOutcome outcome = Find();
    ASSERT_EQ(outcome.groups.size(), 2u);
    EXPECT_EQ(View(outcome)[0].copies, (std::vector<std::string>{"One:big:99999999999999999999", "One:big:99999999999999999999"}));
    EXPECT_EQ(outcome.groups[0].wastedBytes, UINT64_MAX);  // shown as the most 64 bits hold
    EXPECT_EQ(View(outcome)[1].copies, (std::vector<std::string>{"One:max:18446744073709551615", "One:max:18446744073709551615"}));
    // By size alone the sizes above 2^64-1 stay apart too.
    EXPECT_EQ(Find(DuplicateKey::Size).groups.size(), 2u);
}

TEST_F(DuplicatesTest, TheThreeKeysGroupByNameAndSizeBySizeAndByName)
{
    Put("Music/One.xml", {File("song.mp3", "100"), File("other.mp3", "100"), File("song.mp3", "40"), File("solo.mp3", "3"),
                          File("SONG.mp3", "100"), File("notes.txt", "40")});

    EXPECT_EQ(View(Find(DuplicateKey::NameAndSize)), (std::vector<GroupView>{{{"One:song.mp3:100", "One:SONG.mp3:100"}, 100}}));
    EXPECT_EQ(View(Find(DuplicateKey::Size)),
              (std::vector<GroupView>{{{"One:song.mp3:100", "One:other.mp3:100", "One:SONG.mp3:100"}, 200},
                                      {{"One:song.mp3:40", "One:notes.txt:40"}, 40}}));
    // By name the sizes may differ; the largest copy is the one kept.
    EXPECT_EQ(View(Find(DuplicateKey::Name)),
              (std::vector<GroupView>{{{"One:song.mp3:100", "One:song.mp3:40", "One:SONG.mp3:100"}, 140}}));
}

TEST_F(DuplicatesTest, GroupsRankByWastedBytesThenByTheirFirstCopy)
{
    MakeDirs(library + "/A");
    MakeDirs(library + "/B");
    Put("A/First.xml", {File("late.bin", "10"),
                        "<file FileName=\"Sub\" FileType=\"directory\">" + File("tie2.bin", "5") + File("big.bin", "30") + "</file>",
                        File("tie1.bin", "5"), File("tie2.bin", "5")});
    Put("B/Second.xml", {File("tie1.bin", "5"), File("big.bin", "30"), File("late.bin", "10"), File("tie3.bin", "1"),
                         File("tie3.bin", "1"), File("tie3.bin", "1"), File("tie3.bin", "1"), File("tie3.bin", "1"),
                         File("tie3.bin", "1")});

    // A group's scope holds its own catalogs only.
    EXPECT_EQ(View(Find(DuplicateKey::NameAndSize, 1, false, "A")),
              (std::vector<GroupView>{{{"First:tie2.bin:5", "First:tie2.bin:5"}, 5}}));

    // Three groups waste 5 bytes each: they come in the order of their first copies, which
    // depends on which catalog the walk reaches first.
    const GroupView tie1{InWalkOrder({"First:tie1.bin:5", "Second:tie1.bin:5"}), 5};
    const GroupView tie2{{"First:tie2.bin:5", "First:tie2.bin:5"}, 5};
    const GroupView tie3{std::vector<std::string>(6, "Second:tie3.bin:1"), 5};
    const bool firstIsFirst = WalkOrder().front() == "First";
    std::vector<GroupView> expected = {{InWalkOrder({"First:big.bin:30", "Second:big.bin:30"}), 30},
                                       {InWalkOrder({"First:late.bin:10", "Second:late.bin:10"}), 10}};
    for (const GroupView& tie : firstIsFirst ? std::vector<GroupView>{tie2, tie1, tie3} : std::vector<GroupView>{tie1, tie3, tie2})
        expected.push_back(tie);
    EXPECT_EQ(View(Find()), expected);
}

// A catalog in another encoding than UTF-8 is decoded as it is read and has no offsets: its
// copies are found again by their place in the file, with the index and without, and in one
// read or at the few places of a large catalog alike.
TEST_F(DuplicatesTest, CopiesInACatalogOfAnotherEncodingAreTheRightEntries)
{
    const auto latin1 = [](const std::vector<std::string>& entries) {
        std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><fileinfo>"
                           "<file FileName=\"Disc\" FullPath=\"/cd\" FileType=\"directory\">";
        for (const std::string& entry : entries)
            text += entry;
        return text + "</file></fileinfo>";
    };
    const std::string copy = File("caf\xE9.mp3", "4");
    WriteFile(library + "/Music/Small.xml", latin1({File("a.txt", "1"), copy, File("b.txt", "2"), copy}));
    WriteFile(library + "/Music/Large.xml", latin1(Unique("large", 300, {copy, File("c.txt", "3")})));
    for (const char* key : {"Music/Small.xml", "Music/Large.xml"})
        SetModifiedAgo(library + "/" + key, 60);
    const std::vector<GroupView> expected = {
        {InWalkOrder({"Large:caf\xC3\xA9.mp3:4", "Small:caf\xC3\xA9.mp3:4", "Small:caf\xC3\xA9.mp3:4"}), 8}};
    EXPECT_EQ(View(Find()), expected);
    BuildIndex();
    const DuplicatesOutcome indexed = Find(DuplicateKey::NameAndSize, 1, true);
    EXPECT_TRUE(indexed.usedIndex);
    EXPECT_EQ(View(indexed), expected);
    for (const DuplicateCopy& found : indexed.groups.at(0).copies)
        EXPECT_EQ(found.record.Field(kFullPath), "/cd/caf\xC3\xA9.mp3");
}

TEST_F(DuplicatesTest, ACopyTellsItsCatalogAndItsRecordAsASearchGivesIt)
{
    // The copies of the large catalog are few for its size and are read at their offsets;
    // the small catalog is read whole again. Both give the records the search gives.
    const std::string entry = File("x.bin", "8");
    Put("Music/Large.xml", Unique("large", 200, {File("y.bin", "1"), entry}));
    Put("Music/Small.xml", {File("y.bin", "2"), entry});

    const DuplicatesOutcome outcome = Find();
    ASSERT_EQ(outcome.groups.size(), 1u);
    ASSERT_EQ(outcome.groups[0].copies.size(), 2u);
    std::vector<std::string> seen;
    for (const DuplicateCopy& copy : outcome.groups[0].copies) {
        ASSERT_LT(copy.catalog, outcome.catalogs.size());
        const std::string& path = outcome.catalogs[copy.catalog];
        seen.push_back(CatalogNameOfFile(path));
        EXPECT_EQ(copy.record.Field(kFullPath), "/cd/x.bin");
        EXPECT_EQ(copy.record.Field(kFileType), "file");
        EXPECT_EQ(copy.record.Field(kDiskName), seen.back());
    }
    EXPECT_EQ(seen, InWalkOrder({"Large", "Small"}));
}

TEST_F(DuplicatesTest, ACatalogReachedTwiceIsReadOnce)
{
    Put("Music/One.xml", {File("x.bin", "8"), File("y.bin", "9")});
    Put("Music/Two.xml", {File("y.bin", "9")});
    // The walk reaches One.xml three times: by its name, by a link and by a hard link.
    MakeDirs(library + "/Other");
    ASSERT_EQ(::symlink((library + "/Music/One.xml").c_str(), (library + "/Other/Linked.xml").c_str()), 0);
    ASSERT_EQ(::link((library + "/Music/One.xml").c_str(), (library + "/Other/Hard.xml").c_str()), 0);

    const DuplicatesOutcome outcome = Find();
    ASSERT_EQ(outcome.groups.size(), 1u) << "x.bin would be a group of its own if One.xml were read twice";
    ASSERT_EQ(outcome.groups[0].copies.size(), 2u);
    EXPECT_EQ(outcome.groups[0].copies[0].record.Field(kFileName), "y.bin");
    EXPECT_NE(outcome.groups[0].copies[0].catalog, outcome.groups[0].copies[1].catalog);
    EXPECT_EQ(outcome.catalogs.size(), 2u);
    EXPECT_TRUE(outcome.skipped.empty());
}

TEST_F(DuplicatesTest, FilesThatAreNoReadableCatalogAreSkippedWhole)
{
    Put("Music/One.xml", {File("x.bin", "8")});
    Put("Music/Two.xml", {File("x.bin", "8")});
    // Entries before the fault do not count: the catalog counts whole or not at all.
    WriteFile(library + "/Music/Broken.xml", Catalog({File("x.bin", "8")}).substr(0, 200));
    WriteFile(library + "/Music/notes.txt", "no catalog");
    ASSERT_EQ(::mkfifo((library + "/Music/pipe.xml").c_str(), 0600), 0);

    const DuplicatesOutcome outcome = Find();
    EXPECT_EQ(View(outcome), (std::vector<GroupView>{{InWalkOrder({"One:x.bin:8", "Two:x.bin:8"}), 8}}));
    std::vector<std::string> skipped;
    for (const SkippedFile& file : outcome.skipped)
        skipped.push_back(file.path.substr(library.size() + 1));
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped, (std::vector<std::string>{"Music/Broken.xml", "Music/notes.txt", "Music/pipe.xml"}));
    EXPECT_NE(outcome.skipped[0].reason.find(outcome.skipped[0].path), std::string::npos) << outcome.skipped[0].reason;
}

TEST_F(DuplicatesTest, TheIndexGivesTheSameGroupsWhenItIsCurrent)
{
    MakeDirs(library + "/Video");
    Put("Music/One.xml", {File("A.mp3", "5"), File("b.mp3", "77"), File("\xC3\x89.mp3", "5"), File("e", "0"), File("e", "0"),
                          File("w", "99999999999999999999"), File("d", "5", "directory")});
    Put("Music/Two.xml", {File("a.MP3", "5"), File("B.MP3", "77"), File("\xC3\xA9.mp3", "5"), File("w", "99999999999999999999"),
                          File("c &amp; d", "4")});
    Put("Video/Three.xml", {File("b.mp3", "76"), File("c &amp; d", "4"), File("x", "5")});
    WriteFile(library + "/Video/broken.xml", "<fileinfo>");
    SetModifiedAgo(library + "/Video/broken.xml", 60);
    BuildIndex();

    for (const DuplicateKey key : {DuplicateKey::NameAndSize, DuplicateKey::Size, DuplicateKey::Name}) {
        for (const std::uint64_t minSize : {0, 1, 6}) {
            const DuplicatesOutcome streamed = Find(key, minSize, false);
            const DuplicatesOutcome indexed = Find(key, minSize, true);
            EXPECT_FALSE(streamed.usedIndex);
            EXPECT_TRUE(indexed.usedIndex);
            EXPECT_FALSE(streamed.groups.empty());
            EXPECT_EQ(View(indexed), View(streamed)) << "key " << static_cast<int>(key) << ", min " << minSize;
            ASSERT_EQ(indexed.groups.size(), streamed.groups.size());
            for (std::size_t group = 0; group < indexed.groups.size(); ++group)
                for (std::size_t copy = 0; copy < indexed.groups[group].copies.size(); ++copy) {
                    const DuplicateCopy& a = indexed.groups[group].copies[copy];
                    const DuplicateCopy& b = streamed.groups[group].copies[copy];
                    EXPECT_EQ(a.record.AllFields(), b.record.AllFields());
                    EXPECT_EQ(indexed.catalogs[a.catalog], streamed.catalogs[b.catalog]);
                }
            ASSERT_EQ(indexed.skipped.size(), 1u);
            ASSERT_EQ(streamed.skipped.size(), 1u);
            EXPECT_EQ(indexed.skipped[0].path, streamed.skipped[0].path);
        }
    }

    // A group's scope uses the index as well.
    EXPECT_TRUE(Find(DuplicateKey::NameAndSize, 1, true, "Music").usedIndex);
    EXPECT_EQ(View(Find(DuplicateKey::NameAndSize, 1, true, "Music")), View(Find(DuplicateKey::NameAndSize, 1, false, "Music")));
}

TEST_F(DuplicatesTest, AStaleIndexIsNotUsed)
{
    Put("Music/One.xml", {File("x.bin", "8")});
    Put("Music/Two.xml", {File("x.bin", "8")});
    EXPECT_FALSE(Find(DuplicateKey::NameAndSize, 1, true).usedIndex) << "no index yet";
    BuildIndex();
    ASSERT_TRUE(Find(DuplicateKey::NameAndSize, 1, true).usedIndex);

    // A catalog changed since it was indexed, and one the index has never seen.
    Put("Music/Two.xml", {File("x.bin", "9")});
    DuplicatesOutcome outcome = Find(DuplicateKey::NameAndSize, 1, true);
    EXPECT_FALSE(outcome.usedIndex);
    EXPECT_TRUE(outcome.groups.empty());
    BuildIndex();
    Put("Music/Three.xml", {File("x.bin", "8")});
    outcome = Find(DuplicateKey::NameAndSize, 1, true);
    EXPECT_FALSE(outcome.usedIndex);
    EXPECT_EQ(View(outcome), (std::vector<GroupView>{{InWalkOrder({"One:x.bin:8", "Three:x.bin:8"}), 8}}));
}

TEST_F(DuplicatesTest, ACancelledSearchGivesNoGroups)
{
    Put("Music/One.xml", {File("x.bin", "8")});
    Put("Music/Two.xml", {File("x.bin", "8")});
    DuplicatesRequest request;
    request.scopePath = library;
    request.scopeIsGroup = true;
    RecordingProgress progress;
    progress.cancelAfterMessages = 1;
    const DuplicatesOutcome outcome = FindDuplicates(request, progress);
    EXPECT_EQ(outcome.status.code(), Status::Code::Cancelled);
    EXPECT_TRUE(outcome.groups.empty());
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.hides, 1);
}

}  // namespace
}  // namespace vellumark
