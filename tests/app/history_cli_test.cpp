#include "app/cli/cli.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Result {
    int code;
    std::string out;
    std::string err;
};

void WriteFileAt(const std::string& path, std::string_view bytes, std::time_t time)
{
    WriteFile(path, bytes);
    const timeval times[2] = {{time, 0}, {time, 0}};
    ::utimes(path.c_str(), times);
}

// Catalog times are local times.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

ino_t InodeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

class HistoryCliTest : public ::testing::Test {
protected:
    HistoryCliTest()
    {
        MakeDirs(source + "/Rock/Live");
        MakeDirs(source + "/Pop");
        WriteFileAt(source + "/Rock/a.mp3", "12345", kTime);
        WriteFileAt(source + "/Rock/Live/b.mp3", "123", kTime);
        WriteFileAt(source + "/Pop/c.mp3", "12", kTime);
    }

    Result Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::Run(arguments, out, err, false);
        return {code, out.str(), err.str()};
    }

    void ScanSource(const std::string& name)
    {
        const Result result = Cli({"scan", source, "--name", name, "--force"});
        ASSERT_EQ(result.code, 0) << result.err;
    }

    static constexpr std::time_t kTime = 1086613508;  // 2004-06-07 13:05:08 UTC
    TempDir dir;
    std::string home = dir / "home";
    std::string library = home + "/CatalogLibrary";
    std::string source = dir / "source";
};

TEST_F(HistoryCliTest, CompareListsDifferencesOnStdoutAndCountsOnStderr)
{
    ScanSource("Before");
    WriteFileAt(source + "/Rock/a.mp3", "123456", kTime);
    WriteFileAt(source + "/Pop/c.mp3", "12", kTime + 60);
    ASSERT_EQ(::unlink((source + "/Rock/Live/b.mp3").c_str()), 0);
    MakeDirs(source + "/New");
    WriteFileAt(source + "/New/tab\there", "1", kTime);
    ScanSource("After");

    Result result = Cli({"compare", "Before.xml", "After.xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "+ New\n+ New/tab\\there\n~ Pop/c.mp3\n- Rock/Live/b.mp3\n~ Rock/a.mp3\n");
    EXPECT_EQ(result.err, "added 2, removed 1, changed 2\n");

    result = Cli({"compare", library + "/Before.xml", "--folder", source, "--ignore-time"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "+ New\n+ New/tab\\there\n- Rock/Live/b.mp3\n~ Rock/a.mp3\n");
    EXPECT_EQ(result.err, "added 2, removed 1, changed 1\n");

    // The folder is scanned with the masks given, as a scan would: folders without a match go.
    result = Cli({"compare", "After.xml", "--folder", source, "--mask", "mp3"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "- New\n- New/tab\\there\n- Rock/Live\n");
}

TEST_F(HistoryCliTest, CompareRefusesBadUsageMissingInputAndSearchResults)
{
    ScanSource("Disc");
    const std::string results = dir / "results.xml";
    WriteFile(results, "<?xml version=\"1.0\"?><fileinfo generated=\"Vellumark\"><file FileName=\"a\"/><file FileName=\"b\"/></fileinfo>");
    const std::vector<std::vector<std::string>> refused = {
        {"compare", "Disc.xml"},
        {"compare", "Disc.xml", "Disc.xml", "--folder", source},
        {"compare", "Disc.xml", "Disc.xml", "--mask", "mp3"},
        {"compare", "Disc.xml", "--folder", dir / "missing"},
        {"compare", "Missing.xml", "Disc.xml"},
        {"compare", "Disc.xml", results},
        {"compare", "Disc.xml", "Disc.xml", "Disc.xml"},
    };
    for (const auto& arguments : refused) {
        const Result result = Cli(arguments);
        EXPECT_EQ(result.code, 2) << arguments.back();
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_EQ(Cli({"compare", "Disc.xml", "Disc.xml"}).err, "added 0, removed 0, changed 0\n");
}

TEST_F(HistoryCliTest, AWindowsCatalogComparesWithALinuxScanOfTheSameNames)
{
    // Music.xml: MUSIC(D:\) with Pop\a.mp3 (300 bytes, 6/7/2004 1:05:08 PM), Pop\Intro.MP3 (100,
    // 31.12.2003) and Notes.txt (2800, 12/31/2003 11:59:58 PM). The folder holds the same names;
    // a.mp3 is one second off, Intro.MP3 has another time, Notes.txt another size.
    const std::string disc = dir / "disc";
    MakeDirs(disc + "/Pop");
    WriteFileAt(disc + "/Pop/a.mp3", std::string(300, 'a'), LocalTime(2004, 6, 7, 13, 5, 9));
    WriteFileAt(disc + "/Pop/Intro.MP3", std::string(100, 'i'), LocalTime(2004, 6, 7, 13, 5, 8));
    WriteFileAt(disc + "/Notes.txt", std::string(2801, 'n'), LocalTime(2003, 12, 31, 23, 59, 58));
    const std::string music = std::string(VELLUMARK_TEST_DATA_DIR) + "/windows/Music.xml";

    Result result = Cli({"compare", music, "--folder", disc});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "~ Notes.txt\n~ Pop/Intro.MP3\n");
    result = Cli({"compare", "--folder", disc, music, "--ignore-time"});
    EXPECT_EQ(result.out, "~ Notes.txt\n");

    result = Cli({"compare", music, std::string(VELLUMARK_TEST_DATA_DIR) + "/windows/Drive D.xml"});
    EXPECT_EQ(result.out, "- Notes.txt\n- Pop\n- Pop/Intro.MP3\n- Pop/a.mp3\n+ Rock\n+ Rock/b.mp3\n");
}

TEST_F(HistoryCliTest, UpdateKeepsDescriptionsAndListsTheLostOnesOnStderr)
{
    ScanSource("Disc");
    const std::string catalog = library + "/Disc.xml";
    ASSERT_EQ(Cli({"edit", "Disc.xml", "--entry", source + "/Rock/a.mp3", "--description", "kept"}).code, 0);
    ASSERT_EQ(Cli({"edit", "Disc.xml", "--entry", source + "/Rock/Live/b.mp3", "--description", "moved\taway"}).code, 0);
    ASSERT_EQ(::rename((source + "/Rock/Live/b.mp3").c_str(), (source + "/Pop/b.mp3").c_str()), 0);
    const std::string before = ReadFile(catalog);

    Result result = Cli({"update", "Disc.xml", "--dry-run"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "+ Pop/b.mp3\n- Rock/Live/b.mp3\n"
                          "added 1, removed 1, changed 0, unchanged 5, unreadable 0, descriptions kept 1\n");
    EXPECT_NE(result.err.find("moved or renamed entry counts as removed and added"), std::string::npos);
    EXPECT_NE(result.err.find("\nRock/Live/b.mp3\tmoved\\taway\n"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(catalog), before);

    result = Cli({"update", "Disc.xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "added 1, removed 1, changed 0, unchanged 5, unreadable 0, descriptions kept 1\n");
    EXPECT_NE(result.err.find("Rock/Live/b.mp3\tmoved\\taway"), std::string::npos);
    const std::string show = Cli({"show", "Disc.xml"}).out;
    EXPECT_NE(show.find(source + "/Rock/a.mp3\t5\t"), std::string::npos);
    EXPECT_NE(show.find("\tkept\t"), std::string::npos);
    EXPECT_NE(show.find(source + "/Pop/b.mp3"), std::string::npos);

    // Nothing changed since: nothing is written.
    const ino_t written = InodeOf(catalog);
    const std::string after = ReadFile(catalog);
    result = Cli({"update", library + "/Disc.xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "added 0, removed 0, changed 0, unchanged 6, unreadable 0, descriptions kept 1\n");
    EXPECT_TRUE(result.err.empty());
    EXPECT_EQ(InodeOf(catalog), written);
    EXPECT_EQ(ReadFile(catalog), after);
}

TEST_F(HistoryCliTest, UpdateRefusesTheWrongDiscUnlessForced)
{
    ScanSource("Disc");
    const std::string catalog = library + "/Disc.xml";
    // A mount point without its disc would leave the catalog empty, descriptions or not.
    MakeDirs(dir / "unmounted");
    EXPECT_EQ(Cli({"update", "Disc.xml", "--from", dir / "unmounted"}).code, 3);

    ASSERT_EQ(Cli({"edit", "Disc.xml", "--entry", source + "/Pop/c.mp3", "--description", "precious"}).code, 0);
    const std::string other = dir / "other";
    MakeDirs(other);
    WriteFileAt(other + "/film.mkv", "1", kTime);
    const std::string before = ReadFile(catalog);

    Result result = Cli({"update", "Disc.xml", "--from", other});
    EXPECT_EQ(result.code, 3);
    EXPECT_NE(result.err.find("Pop/c.mp3\tprecious"), std::string::npos);
    EXPECT_NE(result.err.find("--force"), std::string::npos);
    EXPECT_EQ(ReadFile(catalog), before);
    EXPECT_EQ(Cli({"update", "Disc.xml", "--from", other, "--dry-run"}).code, 3);
    EXPECT_EQ(ReadFile(catalog), before);

    result = Cli({"update", "Disc.xml", "--from", other, "--force"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "added 1, removed 6, changed 0, unchanged 0, unreadable 0, descriptions kept 0\n");
    EXPECT_NE(ReadFile(catalog).find("film.mkv"), std::string::npos);
    // The root keeps its name: the catalog still names the folder it was made from.
    EXPECT_NE(ReadFile(catalog).find("FileName=\"" + source + "\""), std::string::npos);
}

TEST_F(HistoryCliTest, UpdateNeedsAFolderItCanFindAndACatalogOfOneRoot)
{
    ScanSource("Disc");
    EXPECT_EQ(Cli({"update", "Missing.xml"}).code, 2);
    EXPECT_EQ(Cli({"update", "Disc.xml", "--from", dir / "missing"}).code, 2);
    EXPECT_EQ(Cli({"update", "../outside.xml"}).code, 2);

    // A renamed root no longer says where the medium is.
    ASSERT_EQ(Cli({"edit", "Disc.xml", "--entry", source, "--name", "My disc"}).code, 0);
    Result result = Cli({"update", "Disc.xml"});
    EXPECT_EQ(result.code, 2);
    EXPECT_NE(result.err.find("--from"), std::string::npos);
    result = Cli({"update", "Disc.xml", "--from", source});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(Cli({"show", "Disc.xml"}).out.find("My disc/Rock/a.mp3"), std::string::npos);

    WriteFile(library + "/Results.xml",
              "<?xml version=\"1.0\"?><fileinfo generated=\"Vellumark\"><file FileName=\"a\"/><file FileName=\"b\"/></fileinfo>");
    EXPECT_EQ(Cli({"update", "Results.xml", "--from", source}).code, 2);
    WriteFile(library + "/Empty.xml", "<?xml version=\"1.0\"?><fileinfo generated=\"Vellumark\"/>");
    EXPECT_EQ(Cli({"update", "Empty.xml"}).code, 2);
    result = Cli({"update", "Empty.xml", "--from", source});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "added 6, removed 0, changed 0, unchanged 0, unreadable 0, descriptions kept 0\n");
}

}  // namespace
}  // namespace vellumark
