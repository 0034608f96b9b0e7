#include "app/cli/cli.h"
#include "search/catalog_walk.h"
#include "search/index/library_index.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

struct Result {
    int code;
    std::string out;
    std::string err;
};

std::string File(std::string_view name, std::string_view size)
{
    return "<file FileName=\"" + std::string(name) + "\" FullPath=\"/cd/" + std::string(name) + "\" FileSize=\""
         + std::string(size) + "\" FileType=\"file\"/>";
}

std::string Catalog(const std::vector<std::string>& entries)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumark\">"
                       "<file FileName=\"Disc\" FullPath=\"/cd\" FileType=\"directory\">";
    for (const std::string& entry : entries)
        text += entry;
    return text + "</file></fileinfo>";
}

constexpr char kHeader[] = "Group\tCopies\tFileName\tFullPath\tFileSize\tFileTime\tFileExt\tFileType\tDescription\t"
                           "FileNameLength\tPathNameLength\tSizePercentage\tDiskName\n";

// The line of a copy as the table shows it: group, copies, then the eleven fields.
std::string Row(int group, int copies, const std::string& name, const std::string& size, const std::string& disk)
{
    return std::to_string(group) + "\t" + std::to_string(copies) + "\t" + name + "\t/cd/" + name + "\t" + size
         + "\t\t\tfile\t\t\t\t\t" + disk + "\n";
}

// Points the per-user cache folder (where the search index lives) into the test's folder.
class CacheHome {
public:
    explicit CacheHome(const std::string& folder)
    {
        if (const char* saved = std::getenv("XDG_CACHE_HOME"))
            saved_ = saved;
        ::setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    }
    ~CacheHome()
    {
        if (saved_)
            ::setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

private:
    std::optional<std::string> saved_;
};

class DuplicatesCliTest : public ::testing::Test {
protected:
    DuplicatesCliTest()
    {
        MakeDirs(library + "/Music");
        WriteFile(library + "/Music/Disc.xml",
                  Catalog({File("a.mp3", "100"), File("tab&#9;here.ogg", "7"), File("A.MP3", "100"), File("b.mp3", "100"),
                           File("small.txt", "10"), File("tab&#9;here.ogg", "7"), File("small.txt", "10"), File("A.mp3", "99")}));
    }

    Result Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::Run(arguments, out, err, false);
        return {code, out.str(), err.str()};
    }

    TempDir dir;
    CacheHome cacheHome{dir / "cache"};
    std::string home = dir / "home";
    std::string library = home + "/CatalogLibrary";
};

TEST_F(DuplicatesCliTest, PrintsTheGroupsAsARecordTableWithGroupAndCopiesInFront)
{
    Result result = Cli({"duplicates"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kHeader) + Row(1, 2, "a.mp3", "100", "Disc") + Row(1, 2, "A.MP3", "100", "Disc")
                              + Row(2, 2, "small.txt", "10", "Disc") + Row(2, 2, "small.txt", "10", "Disc")
                              + Row(3, 2, "tab\\there.ogg", "7", "Disc") + Row(3, 2, "tab\\there.ogg", "7", "Disc"));
    EXPECT_EQ(result.err, "");

    result = Cli({"duplicates", "--by", "size", "--scope", "Music/Disc.xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kHeader) + Row(1, 3, "a.mp3", "100", "Disc") + Row(1, 3, "A.MP3", "100", "Disc")
                              + Row(1, 3, "b.mp3", "100", "Disc") + Row(2, 2, "small.txt", "10", "Disc")
                              + Row(2, 2, "small.txt", "10", "Disc") + Row(3, 2, "tab\\there.ogg", "7", "Disc")
                              + Row(3, 2, "tab\\there.ogg", "7", "Disc"));

    result = Cli({"duplicates", "--by", "name", "--min-size", "11", "--scope", "Music"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kHeader) + Row(1, 3, "a.mp3", "100", "Disc") + Row(1, 3, "A.MP3", "100", "Disc")
                              + Row(1, 3, "A.mp3", "99", "Disc"));
}

TEST_F(DuplicatesCliTest, MinSizeTakesDigitsWithAPowerOf1024)
{
    WriteFile(library + "/Music/Big.xml", Catalog({File("k", "1023"), File("k", "1023"), File("m", "1048576"), File("m", "1048576"),
                                                   File("t", "1099511627776"), File("t", "1099511627776")}));
    const auto groupsOf = [&](const std::string& minSize) {
        const Result result = Cli({"duplicates", "--scope", "Music/Big.xml", "--min-size", minSize});
        EXPECT_EQ(result.code, 0) << minSize << ": " << result.err;
        return std::count(result.out.begin(), result.out.end(), '\n') - 1;
    };
    EXPECT_EQ(groupsOf("1023"), 6);
    EXPECT_EQ(groupsOf("1k"), 4);
    EXPECT_EQ(groupsOf("1K"), 4);
    EXPECT_EQ(groupsOf("1M"), 4);
    EXPECT_EQ(groupsOf("1025K"), 2);
    EXPECT_EQ(groupsOf("1t"), 2);
    EXPECT_EQ(groupsOf("2T"), 0);
    EXPECT_EQ(groupsOf("16777215T"), 0);
    EXPECT_EQ(groupsOf("18446744073709551615"), 0);

    for (const std::string refused : {"", "K", "1.5K", "1KB", "12X", "-1", "+1", " 1", "1 ", "0x10", "18446744073709551616",
                                      "16777216T", "99999999999999999999999"}) {
        const Result result = Cli({"duplicates", "--min-size", refused});
        EXPECT_EQ(result.code, 2) << "\"" << refused << "\"";
        EXPECT_NE(result.err.find("--min-size"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(DuplicatesCliTest, RefusesBadUsageAndMissingScopes)
{
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"duplicates", "--by", "path"}, {"duplicates", "--by", ""}, {"duplicates", "--scope", "Nothing"},
          {"duplicates", "--scope", "../outside"}, {"duplicates", "--fast"}, {"duplicates", "Music"}}) {
        const Result result = Cli(refused);
        EXPECT_EQ(result.code, 2) << refused.back();
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(result.err.empty());
    }
}

TEST_F(DuplicatesCliTest, CountsTheFilesThatAreNoReadableCatalogOnStderr)
{
    WriteFile(library + "/Music/broken.xml", "<fileinfo><file FileName=\"a.mp3\" FileSize=\"100\" FileType=\"file\"/>");
    WriteFile(library + "/Music/readme.txt", "hello");
    const Result result = Cli({"duplicates", "--scope", "Music"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 7);
    EXPECT_NE(result.err.find("skipped " + library + "/Music/broken.xml: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("skipped " + library + "/Music/readme.txt: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("vellumark-cli: 2 file(s) in the scope are no readable catalog\n"), std::string::npos) << result.err;
}

TEST_F(DuplicatesCliTest, TheOutputIsTheSameWithAndWithoutTheIndex)
{
    MakeDirs(library + "/Other");
    WriteFile(library + "/Other/Copy.xml", Catalog({File("B.MP3", "100"), File("small.TXT", "10"), File("x", "5")}));
    WriteFile(library + "/Other/bad.xml", "no catalog");
    // Catalogs changed long ago: an index made now counts as current for them.
    NullProgress progress;
    const ScopeCatalogs scope = ListScopeCatalogs(library, true, progress);
    std::vector<CatalogFile> catalogs;
    for (const std::string& path : scope.files) {
        const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
        catalogs.push_back({path.substr(library.size() + 1), path});
    }
    const Result streamed = Cli({"duplicates", "--no-index"});
    ASSERT_EQ(streamed.code, 0) << streamed.err;

    const Result indexCommand = Cli({"index"});
    ASSERT_EQ(indexCommand.code, 0) << indexCommand.err;
    std::unique_ptr<LibraryIndex> index;
    ASSERT_TRUE(LibraryIndex::Open(DefaultIndexCacheFolder(), library, false, index).ok());
    ASSERT_TRUE(index->Check(catalogs, "").stale.empty());

    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"--by", "size"}, {"--by", "name"}}) {
        std::vector<std::string> withIndex = {"duplicates"};
        withIndex.insert(withIndex.end(), options.begin(), options.end());
        std::vector<std::string> withoutIndex = withIndex;
        withoutIndex.push_back("--no-index");
        const Result indexed = Cli(withIndex);
        const Result read = Cli(withoutIndex);
        EXPECT_EQ(indexed.code, 0);
        EXPECT_EQ(indexed.out, read.out);
        EXPECT_EQ(indexed.err, read.err);
        EXPECT_GT(std::count(read.out.begin(), read.out.end(), '\n'), 5);
    }
    EXPECT_EQ(Cli({"duplicates"}).out, streamed.out);
}

}  // namespace
}  // namespace vellumark
