#include "app/cli/cli.h"
#include "core/catalog_file.h"
#include "core/catalog_tree.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Result {
    int code;
    std::string out;
    std::string err;
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Result& result)
{
    return out << "exit " << result.code << "\n--- stdout\n" << result.out << "--- stderr\n" << result.err;
}

void SetModifiedAgo(const std::string& path, int seconds)
{
    const std::time_t when = std::time(nullptr) - seconds;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Runs the command-line tool on a home of its own, with the search indexes in a cache folder
// of its own.
class CliIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* cache = std::getenv("XDG_CACHE_HOME");
        savedCache_ = cache ? std::optional<std::string>(cache) : std::nullopt;
        ::setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
    }
    void TearDown() override
    {
        if (savedCache_)
            ::setenv("XDG_CACHE_HOME", savedCache_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

    Result Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home_});
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::Run(arguments, out, err, false);
        return {code, out.str(), err.str()};
    }

    // The search with and without the index gives the same, byte for byte; returns that.
    Result ExpectSameWithAndWithoutIndex(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> streaming = arguments;
        streaming.push_back("--no-index");
        const Result streamed = Cli(streaming);
        const Result indexed = Cli(arguments);
        EXPECT_EQ(indexed, streamed) << "arguments:" << Quoted(arguments);
        return indexed;
    }

    static std::string Quoted(const std::vector<std::string>& arguments)
    {
        std::string text;
        for (const std::string& argument : arguments)
            text += " '" + argument + "'";
        return text;
    }

    // A catalog of entries with the given names, settled (changed long enough ago to be indexed).
    void PutCatalog(const std::string& relative, const std::vector<std::string>& names)
    {
        CatalogTree tree;
        CatalogTreeNode* root = tree.Append(nullptr);
        root->record.SetField(kFileName, "Disc");
        root->record.SetField(kFileType, "directory");
        for (const std::string& name : names) {
            CatalogTreeNode* node = tree.Append(root);
            node->record.SetField(kFileName, name);
            node->record.SetField(kFileType, "file");
            node->record.SetField(kFileSize, std::to_string(name.size() * 1000));
            node->record.SetField(kFileTime, "2020-06-0" + std::to_string(1 + name.size() % 9) + " 10:00:00");
        }
        const std::string path = library_ + "/" + relative;
        MakeDirs(path.substr(0, path.rfind('/')));
        NullProgress progress;
        ASSERT_TRUE(WriteCatalogFile(tree, path, progress).ok());
        SetModifiedAgo(path, 60);
    }

    TempDir dir_;
    std::string home_ = dir_ / "home";
    std::string library_ = home_ + "/CatalogLibrary";
    std::string cache_ = dir_ / "cache";
    std::optional<std::string> savedCache_;
};

TEST_F(CliIndexTest, SearchOptionsAreCheckedBeforeAnySearch)
{
    PutCatalog("Mp3/Disc.xml", {"Rock.mp3", "Jazz.ogg"});
    const std::vector<std::vector<std::string>> refused = {
        {"search", "--min-size", "1.5M"},
        {"search", "--max-size", "18446744073709551616"},
        {"search", "--max-size", "20P"},
        {"search", "--after", "2020-13-01"},
        {"search", "--before", "yesterday"},
        {"search", "--type", "link"},
        {"search", "--name", "(rock", "--regex"},
        {"search", "--name", "rock", "--count", "--format", "csv", "--out", dir_ / "out.csv"},
        {"search", "--case", "--whole", "--regex"},
        {"index", "--status", "--rebuild"},
    };
    for (const std::vector<std::string>& arguments : refused) {
        const Result result = Cli(arguments);
        EXPECT_EQ(result.code, 2) << Quoted(arguments);
        EXPECT_TRUE(result.out.empty()) << Quoted(arguments);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_NE(Cli({"search", "--name", "(rock", "--regex"}).err.find("missing )"), std::string::npos);
    EXPECT_EQ(Cli({"search", "--case", "--whole"}).err, "vellumark-cli: Please input search condition.\n");
    EXPECT_FALSE(PathExists(dir_ / "out.csv"));
    EXPECT_FALSE(PathExists(cache_)) << "nothing was searched";
}

TEST_F(CliIndexTest, TheNewConditionsAloneFindAndCountPrintsTheNumber)
{
    PutCatalog("Mp3/Disc.xml", {"a", "abcdefgh", "Rock.mp3", "Jazz"});
    const Result big = ExpectSameWithAndWithoutIndex({"search", "--min-size", "5k"});
    EXPECT_EQ(std::count(big.out.begin(), big.out.end(), '\n'), 3) << big.out;  // header, two entries
    const Result count = ExpectSameWithAndWithoutIndex({"search", "--min-size", "5k", "--count"});
    EXPECT_EQ(count.out, "2\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--type", "directory", "--count"}).out, "1\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--before", "2020-06-03", "--count"}).out, "1\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--after", "2020-06-05", "--type", "file", "--count"}).out, "3\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--name", "^[a-z]+$", "--regex", "--count"}).out, "4\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--name", "^[a-z]+$", "--regex", "--case", "--count"}).out, "2\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--name", "ROCK\\.MP3", "--regex", "--whole", "--count"}).out, "1\n");
    EXPECT_EQ(ExpectSameWithAndWithoutIndex({"search", "--name", "zzz", "--count"}).out, "0\n");
}

TEST_F(CliIndexTest, TheIndexCommandPrintsItsSummaryAndNoIndexNeverMakesOne)
{
    PutCatalog("Mp3/One.xml", {"Rock.mp3", "Jazz.ogg"});
    PutCatalog("DVD/Two.xml", {"Film.mkv"});
    MakeDirs(library_ + "/Book");
    WriteFile(library_ + "/Book/notes.txt", "not a catalog");
    SetModifiedAgo(library_ + "/Book/notes.txt", 60);
    ASSERT_EQ(Cli({"search", "--name", "rock", "--no-index"}).code, 0);
    ASSERT_EQ(Cli({"search", "--name", "rock", "--no-index", "--count"}).code, 0);
    EXPECT_FALSE(PathExists(cache_));

    const Result status = Cli({"index", "--status"});
    EXPECT_EQ(status.code, 0) << status.err;
    EXPECT_EQ(status.out, "catalogs 0, entries 0, read 0, skipped 0, bytes 0, out of date 3\n");
    EXPECT_FALSE(PathExists(cache_));

    const Result built = Cli({"index"});
    EXPECT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(built.out.rfind("catalogs 2, entries 5, read 3, skipped 1, bytes ", 0), 0u) << built.out;
    EXPECT_EQ(built.err, "vellumark-cli: skipped " + library_ + "/Book/notes.txt: Cannot read \"" + library_ +
                             "/Book/notes.txt\": text before the document element at offset 0\n");
    const std::string bytes = built.out.substr(built.out.rfind(' ') + 1);
    EXPECT_EQ(Cli({"index", "--status"}).out,
              "catalogs 2, entries 5, read 0, skipped 1, bytes " + bytes.substr(0, bytes.size() - 1) + ", out of date 0\n");

    PutCatalog("Mp3/One.xml", {"Rock.mp3", "Jazz.ogg", "Blues.flac"});
    EXPECT_EQ(Cli({"index", "--status"}).out.find("out of date 1\n") != std::string::npos, true);
    EXPECT_EQ(Cli({"index"}).out.rfind("catalogs 2, entries 6, read 1, skipped 1, bytes ", 0), 0u);
    EXPECT_EQ(Cli({"index", "--rebuild"}).out.rfind("catalogs 2, entries 6, read 3, skipped 1, bytes ", 0), 0u);
}

// Random pieces of names: every kind of character a file system or a catalog written
// elsewhere holds, and words the searches look for.
std::string RandomText(std::mt19937& random, int pieces)
{
    static const std::vector<std::string> kPieces = {
        "rock", "Rock", "ROCK", "jazz", "a", "b", "Z", " ", "  ", ".", ".mp3", "mp3", "MP3", "-", "_", "01", "7",
        "&", "<", ">", "\"", "'", "\t", "\n", "\r", "\r\n", "\\", "\\x{41}", "%", "*", "?", "(", ")", "[", "]", "+", "^", "$",
        "\xC3\xA4", "\xC3\x84", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB8", "\xFF", "\xC3", "\x01", "\x7F", "\xEF\xBF\xBE",
        "\xED\xA0\x80", "&amp;", "&#10;"};
    std::string text;
    for (int i = 0; i < pieces; ++i)
        text += kPieces[random() % kPieces.size()];
    return text;
}

std::string RandomSize(std::mt19937& random)
{
    static const std::vector<std::string> kOdd = {"", "007", "1.5", " 12", "18446744073709551615", "18446744073709551616",
                                                  "99999999999999999999", "100000000000000000000", "-3", "1,024"};
    return random() % 5 ? std::to_string(random() % 5'000'000) : kOdd[random() % kOdd.size()];
}

std::string RandomTime(std::mt19937& random)
{
    static const std::vector<std::string> kOdd = {"", "07.06.2004", "6/7/2004 1:05:08 PM", "2004/06/07 08:00:00",
                                                  "not a time", "2020-02-30 10:00:00", "1999-12-31"};
    if (random() % 5 == 0)
        return kOdd[random() % kOdd.size()];
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1985 + static_cast<unsigned>(random() % 40),
                  1 + static_cast<unsigned>(random() % 12), 1 + static_cast<unsigned>(random() % 28),
                  static_cast<unsigned>(random() % 24), static_cast<unsigned>(random() % 60), static_cast<unsigned>(random() % 60));
    return text;
}

// A catalog tree of random entries in folders; every field may be missing or odd.
CatalogTree RandomCatalog(std::mt19937& random, std::vector<std::string>& words)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, RandomText(random, 2));
    root->record.SetField(kFullPath, "/media/" + std::string(root->record.Field(kFileName)));
    root->record.SetField(kFileType, "directory");
    std::vector<CatalogTreeNode*> folders = {root};
    const int entries = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < entries; ++i) {
        CatalogTreeNode* parent = folders[random() % folders.size()];
        CatalogTreeNode* node = tree.Append(parent);
        const bool folder = random() % 5 == 0;
        const std::string name = RandomText(random, 1 + static_cast<int>(random() % 5));
        words.push_back(name);
        if (random() % 20)
            node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, std::string(parent->record.Field(kFullPath)) + "/" + name);
        if (!folder && random() % 4)
            node->record.SetField(kFileExt, random() % 3 ? "mp3" : RandomText(random, 1));
        if (random() % 8)
            node->record.SetField(kFileType, folder ? "directory" : random() % 10 ? "file" : RandomText(random, 1));
        if (random() % 8)
            node->record.SetField(kFileSize, RandomSize(random));
        if (random() % 8)
            node->record.SetField(kFileTime, RandomTime(random));
        if (random() % 3 == 0) {
            const std::string description = RandomText(random, 3);
            node->record.SetField(kDescription, description);
            words.push_back(description);
        }
        if (random() % 2)
            node->record.SetField(kSizePercentage, "0.5");
        if (random() % 3 == 0)
            node->record.SetField(kDiskName, "Other");
        if (folder)
            folders.push_back(node);
    }
    return tree;
}

// A random library: catalogs with odd names in nested groups, the Windows catalogs, files that
// are no catalogs, a link to a catalog, a link to a group (never entered), empty groups.
void MakeRandomLibrary(std::mt19937& random, const std::string& library, std::vector<std::string>& words,
                       std::vector<std::string>& items)
{
    const std::vector<std::string> groups = {"Mp3", "DVD", "Mp3/Live & Loud", "Mp3/Live & Loud/\xC3\xA4 deep", "Book"};
    for (const std::string& group : groups) {
        MakeDirs(library + "/" + group);
        items.push_back(group);
    }
    const int catalogs = 3 + static_cast<int>(random() % 6);
    for (int i = 0; i < catalogs; ++i) {
        std::string name = RandomText(random, 1 + static_cast<int>(random() % 2));
        for (char& c : name)
            if (c == '/' || c == '\0')
                c = '_';
        if (name == "." || name == "..")
            name += "x";
        const std::string relative = groups[random() % groups.size()] + "/" + name + (random() % 4 ? ".xml" : "") +
                                     std::to_string(i);
        NullProgress progress;
        ASSERT_TRUE(WriteCatalogFile(RandomCatalog(random, words), library + "/" + relative, progress).ok());
        items.push_back(relative);
    }
    for (const char* windows : {"Drive D.xml", "Music.xml"}) {
        WriteFile(library + "/DVD/" + windows, ReadFile(std::string(VELLUMARK_TEST_DATA_DIR) + "/windows/" + windows));
        items.push_back(std::string("DVD/") + windows);
    }
    WriteFile(library + "/Book/notes.txt", "not a catalog");
    WriteFile(library + "/Book/cut.xml", "<?xml version=\"1.0\"?><fileinfo><file FileName=\"rock cut\"");
    WriteFile(library + "/Book/empty.xml", "");
    ASSERT_EQ(::symlink("../DVD/Music.xml", (library + "/Book/linked.xml").c_str()), 0);
    ASSERT_EQ(::symlink("../Mp3", (library + "/Book/linked group").c_str()), 0);
    ASSERT_EQ(::mkfifo((library + "/Book/pipe").c_str(), 0600), 0);
    words.insert(words.end(), {"rock", "Summer", "mp3", "b.mp3", "D:\\", "Pop"});
}

// Settles every file of the library, so that the index keeps what it reads.
void SettleLibrary(const std::string& folder)
{
    for (const std::string& name : testing::ListFolder(folder)) {
        const std::string path = folder + "/" + name;
        struct stat status {};
        ASSERT_EQ(::lstat(path.c_str(), &status), 0);
        if (S_ISDIR(status.st_mode))
            SettleLibrary(path);
        if (!S_ISFIFO(status.st_mode))
            SetModifiedAgo(path, 60);
    }
}

std::vector<std::string> RandomSearch(std::mt19937& random, const std::vector<std::string>& words,
                                      const std::vector<std::string>& items)
{
    std::vector<std::string> arguments = {"search"};
    if (random() % 3 == 0)
        arguments.insert(arguments.end(), {"--scope", items[random() % items.size()]});
    const bool regex = random() % 4 == 0;
    const auto pattern = [&] {
        if (regex) {
            static const std::vector<std::string> kExpressions = {"r.ck", "^[A-Z]", "\\d", "(?i)ROCK|jazz", "mp3$", ".",
                                                                  "\\x{E4}", "[^a-z]{2}", "^$", "a\\s+b", "(", "\\"};
            return kExpressions[random() % kExpressions.size()];
        }
        const std::string& word = words[random() % words.size()];
        if (word.empty() || random() % 4 == 0)
            return RandomText(random, 1);
        const std::size_t from = random() % word.size();
        return word.substr(from, 1 + random() % (word.size() - from));
    };
    bool any = false;
    for (const char* option : {"--name", "--ext", "--desc"})
        if (random() % (option[2] == 'n' ? 2 : 5) == 0) {
            arguments.insert(arguments.end(), {option, pattern()});
            any = true;
        }
    if (regex)
        arguments.push_back("--regex");
    if (random() % 3 == 0)
        arguments.push_back("--case");
    if (random() % 4 == 0)
        arguments.push_back("--whole");
    if (random() % 5 == 0)
        arguments.insert(arguments.end(), {"--min-size", std::vector<std::string>{"0", "1k", "100000", "4M"}[random() % 4]});
    if (random() % 5 == 0)
        arguments.insert(arguments.end(), {"--max-size", std::vector<std::string>{"1", "2K", "2000000", "18446744073709551615"}[random() % 4]});
    if (random() % 6 == 0)
        arguments.insert(arguments.end(), {"--after", std::vector<std::string>{"2000-01-01", "2004-06-07", "2020-01-01 12:30:00"}[random() % 3]});
    if (random() % 6 == 0)
        arguments.insert(arguments.end(), {"--before", std::vector<std::string>{"1990-01-01", "2004-06-07 13:05:08", "2030-12-31"}[random() % 3]});
    if (random() % 6 == 0 || !any)
        arguments.insert(arguments.end(), {"--type", random() % 2 ? "file" : "directory"});
    if (random() % 6 == 0)
        arguments.push_back("--count");
    return arguments;
}

// Changes that a library sees between searches: catalogs edited, replaced, renamed, moved,
// deleted, added; a group renamed.
void ChangeLibrary(std::mt19937& random, const std::string& library, std::vector<std::string>& words,
                   std::vector<std::string>& items)
{
    std::vector<std::string> catalogs;
    for (const std::string& item : items) {
        struct stat status {};
        if (!item.starts_with("DVD/") && ::lstat((library + "/" + item).c_str(), &status) == 0 && S_ISREG(status.st_mode))
            catalogs.push_back(item);
    }
    const std::string path = catalogs.empty() ? std::string() : library + "/" + catalogs[random() % catalogs.size()];
    NullProgress progress;
    switch (catalogs.empty() ? 0 : random() % 5) {
    case 0: {
        const std::string added = library + "/Mp3/added " + std::to_string(random() % 1000) + ".xml";
        ASSERT_TRUE(WriteCatalogFile(RandomCatalog(random, words), added, progress).ok());
        SetModifiedAgo(added, 30);
        items.push_back(added.substr(library.size() + 1));
        break;
    }
    case 1: {
        const Status written = WriteCatalogFile(RandomCatalog(random, words), path, progress);
        ASSERT_TRUE(written.ok()) << written.message();
        SetModifiedAgo(path, 30);
        break;
    }
    case 2:
        ASSERT_EQ(::rename(path.c_str(), (library + "/DVD/renamed " + std::to_string(random() % 1000)).c_str()), 0);
        break;
    case 3:
        ASSERT_EQ(::unlink(path.c_str()), 0);
        break;
    case 4: {
        const std::string group = library + "/Mp3/Live & Loud";
        const std::string moved = library + "/Book/Moved " + std::to_string(random() % 1000);
        if (PathExists(group)) {
            ASSERT_EQ(::rename(group.c_str(), moved.c_str()), 0);
        }
        break;
    }
    }
}

// Random libraries and random searches of every kind: through the index (while it is built,
// and once it is current, and after changes) each gives what reading every catalog gives,
// byte for byte: the record table or count, the skipped files and the exit status.
TEST_F(CliIndexTest, RandomSearchesGiveTheSameWithAndWithoutTheIndex)
{
    std::mt19937 random(20261208);
    int withResults = 0;
    int compared = 0;
    for (int library = 0; library < 6; ++library) {
        SCOPED_TRACE("library " + std::to_string(library));
        TempDir home;
        home_ = home.Path();
        library_ = home_ + "/CatalogLibrary";
        ASSERT_EQ(Cli({"library", "--groups-only"}).code, 0);
        std::vector<std::string> words;
        std::vector<std::string> items = {"."};
        MakeRandomLibrary(random, library_, words, items);
        SettleLibrary(library_);
        for (int search = 0; search < 40; ++search) {
            if (search % 10 == 9)
                ChangeLibrary(random, library_, words, items);
            const std::vector<std::string> arguments = RandomSearch(random, words, items);
            const Result first = ExpectSameWithAndWithoutIndex(arguments);
            const Result again = Cli(arguments);
            EXPECT_EQ(again, first) << "from the index:" << Quoted(arguments);
            ++compared;
            if (first.code == 0 && std::count(first.out.begin(), first.out.end(), '\n') > 1)
                ++withResults;
        }
        // A search of the whole library leaves every catalog of it current.
        ExpectSameWithAndWithoutIndex({"search", "--type", "file", "--count"});
        const Result status = Cli({"index", "--status"});
        EXPECT_NE(status.out.find("out of date 0\n"), std::string::npos) << status.out << status.err;
    }
    // The searches found something often enough for the comparison to mean something.
    EXPECT_GT(withResults, compared / 3);
}

}  // namespace
}  // namespace vellumark
