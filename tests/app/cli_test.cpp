#include "app/cli/cli.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
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
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool XmllintAccepts(const std::string& path) { return std::system(("xmllint --noout '" + path + "' 2>/dev/null").c_str()) == 0; }

class CliTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string home = dir / "home";
    std::string library = home + "/CatalogLibrary";

    Result Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::Run(arguments, out, err, false);
        return {code, out.str(), err.str()};
    }

    // A folder to catalog: music with masks to filter, a hidden file, an empty folder.
    std::string MakeSource()
    {
        const std::string source = dir / "source";
        MakeDirs(source + "/Rock/Live");
        MakeDirs(source + "/Empty");
        MakeDirs(source + "/.hidden");
        WriteFile(source + "/Rock/song.mp3", "12345");
        WriteFile(source + "/Rock/Live/a.b.Mp3", "123");
        WriteFile(source + "/Rock/readme", "1");
        WriteFile(source + "/.hidden/SONG.MP3", "12");
        WriteFile(source + "/notes.txt", "1234567890");
        return source;
    }
};

TEST_F(CliTest, FirstRunWritesTheDefaultConfigurationAndTheFiveGroups)
{
    const Result result = Cli({"library"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(ReadFile(home + "/VellumarkConfig.xml").size(), 1534u);
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "FileName\tFullPath\tFileSize\tFileTime\tFileExt\tFileType\tDescription\tFileNameLength\t"
                        "PathNameLength\tSizePercentage\tDiskName");
    EXPECT_EQ(lines[1], "CatalogLibrary\t" + library + "\t0\t\t\tdirectory\t\t\t\t100\t");
    for (const char* group : {"Mp3", "DVD", "Movie", "Book", "Document"})
        EXPECT_TRUE(PathExists(library + "/" + group)) << group;

    // A later start with groups removed creates nothing; the configuration is never rewritten.
    ::rmdir((library + "/Book").c_str());
    WriteFile(home + "/VellumarkConfig.xml", ReadFile(home + "/VellumarkConfig.xml"));
    ASSERT_EQ(Cli({"library", "--groups-only"}).code, 0);
    EXPECT_FALSE(PathExists(library + "/Book"));
}

TEST_F(CliTest, ScanWithMasksWritesAWellFormedCatalogAndRefusesToReplaceWithoutForce)
{
    const std::string source = MakeSource();
    Result result = Cli({"scan", source, "--name", "Best.of", "--group", "Mp3", "--mask", "mp3", "--mask", "MP3"});
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string catalog = library + "/Mp3/Best.of.xml";
    EXPECT_EQ(result.out, catalog + "\n");
    EXPECT_TRUE(XmllintAccepts(catalog));

    result = Cli({"show", "Mp3/Best.of.xml"});
    ASSERT_EQ(result.code, 0) << result.err;
    const auto lines = Lines(result.out);
    std::string names;
    for (std::size_t i = 1; i < lines.size(); ++i)
        names += lines[i].substr(0, lines[i].find('\t')) + ",";
    // Folders without a matching file are pruned; readme and notes.txt do not pass the masks.
    EXPECT_EQ(names.find("readme"), std::string::npos);
    EXPECT_EQ(names.find("notes.txt"), std::string::npos);
    EXPECT_EQ(names.find("Empty"), std::string::npos);
    EXPECT_NE(names.find("song.mp3"), std::string::npos);
    EXPECT_NE(names.find("a.b.Mp3"), std::string::npos);
    EXPECT_NE(names.find("SONG.MP3"), std::string::npos);
    EXPECT_NE(lines[1].find("\t10\t"), std::string::npos) << lines[1];  // 5 + 3 + 2 bytes
    EXPECT_NE(lines[1].find("\tBest"), std::string::npos);               // DiskName before the first dot

    result = Cli({"scan", source, "--name", "Best.of", "--group", "Mp3", "--only-folders"});
    EXPECT_EQ(result.code, 3);
    EXPECT_NE(result.err.find("--force"), std::string::npos);
    ASSERT_EQ(Cli({"scan", source, "--name", "Best.of", "--group", "Mp3", "--only-folders", "--force"}).code, 0);
    EXPECT_EQ(ReadFile(catalog).find("FileType=\"file\""), std::string::npos);
}

TEST_F(CliTest, BadNamesFoldersAndGroupsAreRefusedAsBadInput)
{
    const std::string source = MakeSource();
    EXPECT_EQ(Cli({"scan", source, "--name", "../escape"}).code, 2);
    EXPECT_EQ(Cli({"scan", source, "--name", ".."}).code, 2);
    EXPECT_EQ(Cli({"scan", source, "--name", ""}).code, 2);
    EXPECT_EQ(Cli({"scan", dir / "missing", "--name", "x"}).code, 2);
    EXPECT_EQ(Cli({"scan", source, "--name", "x", "--group", "NoSuchGroup"}).code, 2);
    EXPECT_EQ(Cli({"scan", source, "--name", "x", "--group", "../.."}).code, 2);
    EXPECT_EQ(Cli({"scan", source}).code, 2);
    EXPECT_EQ(Cli({"frobnicate"}).code, 2);
    EXPECT_EQ(Cli({"library", "--bogus"}).code, 2);
    EXPECT_FALSE(PathExists(dir / "escape.xml"));
    EXPECT_FALSE(PathExists(home + "/escape.xml"));
}

TEST_F(CliTest, UsageErrorsPrintTheFailureAndOnlyAPointerToTheHelp)
{
    const std::vector<std::vector<std::string>> mistakes = {
        {}, {"frobnicate"}, {"--bogus"}, {"library", "--bogus"}, {"library", "--groups-only=yes"},
        {"scan"}, {"scan", "folder", "--name"}, {"show", "a.xml", "b.xml"}};
    for (const auto& words : mistakes) {
        const Result result = Cli(words);
        const std::string shown = words.empty() ? "(none)" : words[0];
        EXPECT_EQ(result.code, 2) << shown;
        EXPECT_EQ(result.out, "") << shown;
        const auto lines = Lines(result.err);
        ASSERT_EQ(lines.size(), 2u) << result.err;
        EXPECT_EQ(lines[0].rfind("vellumark-cli: ", 0), 0u) << lines[0];
        EXPECT_EQ(lines[1], "Try 'vellumark-cli --help' for more information.");
    }
    EXPECT_NE(Cli({"library", "--bogus"}).err.find("Unknown option --bogus"), std::string::npos);
    EXPECT_NE(Cli({"frobnicate"}).err.find("Unknown command frobnicate"), std::string::npos);
    EXPECT_NE(Cli({"scan"}).err.find("scan FOLDER --name NAME"), std::string::npos);

    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::Run({"--home"}, out, err, false), 2);
    EXPECT_EQ(Lines(err.str()).size(), 2u) << err.str();

    // A well-formed command with bad input is no usage error: its one line stands alone.
    const Result missing = Cli({"show", "Nothing.xml"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(Lines(missing.err).size(), 1u) << missing.err;
}

TEST_F(CliTest, HelpPrintsTheWholeUsageToStandardOutputAndVersionTheVersion)
{
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--help"}, {"help"}, {"scan", "--help"}, {"group", "new", "--help"}}) {
        const Result result = Cli(words);
        EXPECT_EQ(result.code, 0) << words[0];
        EXPECT_EQ(result.err, "") << words[0];
        for (const char* part : {"scan FOLDER --name NAME", "group new NAME", "delete ITEM", "--home DIR", "--version", "exit status"})
            EXPECT_NE(result.out.find(part), std::string::npos) << words[0] << ": " << part;
    }

    const Result version = Cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("vellumark-cli ") + VELLUMARK_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    // Neither touches the program folder.
    EXPECT_FALSE(PathExists(home));
}

TEST_F(CliTest, EditRenamesPathsBelowAnEntryAndSavesTheCatalog)
{
    const std::string source = MakeSource();
    ASSERT_EQ(Cli({"scan", source, "--name", "Disc"}).code, 0);
    Result result = Cli({"edit", "Disc.xml", "--entry", source + "/Rock", "--name", "Pop"});
    ASSERT_EQ(result.code, 0) << result.err;
    result = Cli({"edit", "Disc.xml", "--entry", source + "/Pop/song.mp3", "--description", "tab\there"});
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string shown = Cli({"show", "Disc.xml"}).out;
    EXPECT_NE(shown.find(source + "/Pop/Live/a.b.Mp3"), std::string::npos);
    EXPECT_EQ(shown.find(source + "/Rock"), std::string::npos);
    EXPECT_NE(shown.find("tab\\there"), std::string::npos);

    EXPECT_EQ(Cli({"edit", "Disc.xml", "--entry", source + "/Rock", "--name", "X"}).code, 2);
    EXPECT_EQ(Cli({"edit", "Disc.xml", "--entry", source, "--name", "X", "--description", "y"}).code, 2);
    EXPECT_EQ(Cli({"show", "Nothing.xml"}).code, 2);
    WriteFile(library + "/Broken.xml", "<fileinfo><file>");
    const Result broken = Cli({"show", "Broken.xml"});
    EXPECT_EQ(broken.code, 1);
    EXPECT_NE(broken.err.find("Broken.xml"), std::string::npos);
}

TEST_F(CliTest, LibraryItemsAreCreatedRenamedMovedAndDeletedWithoutEverOverwriting)
{
    ASSERT_EQ(Cli({"group", "new", "Rock"}).code, 0);
    EXPECT_EQ(Cli({"group", "new", "Rock"}).code, 3);
    EXPECT_EQ(Cli({"group", "new", "a/b"}).code, 2);
    WriteFile(library + "/Rock/Disc.xml", "<fileinfo/>");
    WriteFile(library + "/Mp3/Disc.xml", "<fileinfo>mp3</fileinfo>");

    EXPECT_EQ(Cli({"move", "Mp3/Disc.xml", "Rock"}).code, 3);
    EXPECT_EQ(ReadFile(library + "/Rock/Disc.xml"), "<fileinfo/>");
    EXPECT_EQ(Cli({"move", "Rock", "Rock"}).code, 2);
    EXPECT_EQ(Cli({"move", "Mp3", "Mp3/Disc.xml"}).code, 2);
    ASSERT_EQ(Cli({"move", "Rock", "DVD"}).code, 0);
    EXPECT_TRUE(PathExists(library + "/DVD/Rock/Disc.xml"));

    EXPECT_EQ(Cli({"rename", "Mp3/Disc.xml", "Disc"}).code, 0);  // the same name changes nothing
    // The name the library shows is the file's name cut before its first dot: "Live.old.xml"
    // shows as "Live", and renaming it to "Live" changes nothing either.
    WriteFile(library + "/Mp3/Live.old.xml", "<fileinfo/>");
    EXPECT_EQ(Cli({"rename", "Mp3/Live.old.xml", "Live"}).code, 0);
    EXPECT_TRUE(PathExists(library + "/Mp3/Live.old.xml"));
    EXPECT_FALSE(PathExists(library + "/Mp3/Live.xml"));
    ASSERT_EQ(Cli({"rename", "DVD/Rock/Disc.xml", "Jazz"}).code, 0);
    EXPECT_TRUE(PathExists(library + "/DVD/Rock/Jazz.xml"));
    EXPECT_EQ(Cli({"rename", "Movie", "Book"}).code, 3);
    EXPECT_EQ(Cli({"rename", ".", "Root"}).code, 2);

    ::chmod((library + "/DVD/Rock/Jazz.xml").c_str(), 0444);
    ASSERT_EQ(Cli({"delete", "DVD"}).code, 0);
    EXPECT_FALSE(PathExists(library + "/DVD"));
    ASSERT_EQ(Cli({"delete", "Mp3/Disc.xml"}).code, 0);
    EXPECT_FALSE(PathExists(library + "/Mp3/Disc.xml"));
    EXPECT_EQ(Cli({"delete", "."}).code, 2);
}

TEST_F(CliTest, PathsLeadingOutOfTheLibraryAreRefused)
{
    ASSERT_EQ(Cli({"library"}).code, 0);
    const std::string outside = dir / "outside";
    MakeDirs(outside);
    WriteFile(outside + "/keep.xml", "<fileinfo/>");
    ASSERT_EQ(::symlink(outside.c_str(), (library + "/Link").c_str()), 0);
    EXPECT_EQ(Cli({"delete", "../outside"}).code, 2);
    EXPECT_EQ(Cli({"delete", "Link/keep.xml"}).code, 2);
    EXPECT_EQ(Cli({"delete", outside}).code, 2);
    EXPECT_EQ(Cli({"move", "Mp3", "Link"}).code, 2);
    EXPECT_TRUE(PathExists(outside + "/keep.xml"));
    EXPECT_TRUE(PathExists(library + "/Mp3"));

    // Only show and export read a catalog from outside the library; an edit never writes one.
    const std::string disc = "<fileinfo><file FileName=\"Disc\" FullPath=\"Disc\" FileType=\"directory\"/></fileinfo>";
    WriteFile(outside + "/Disc.xml", disc);
    EXPECT_EQ(Cli({"show", outside + "/Disc.xml"}).code, 0);
    for (const std::string& catalog : {outside + "/Disc.xml", std::string("../outside/Disc.xml"), std::string("Link/Disc.xml")}) {
        const Result edit = Cli({"edit", catalog, "--entry", "Disc", "--description", "changed"});
        EXPECT_EQ(edit.code, 2) << catalog;
        EXPECT_NE(edit.err.find("outside the catalog library"), std::string::npos) << edit.err;
    }
    EXPECT_EQ(Cli({"edit", "Mp3", "--entry", "Disc", "--description", "changed"}).code, 2);  // a group
    EXPECT_EQ(ReadFile(outside + "/Disc.xml"), disc);
}

TEST_F(CliTest, SearchFindsAcrossTheLibrarySkipsStrayFilesAndExportsItsResults)
{
    const std::string source = MakeSource();
    ASSERT_EQ(Cli({"scan", source, "--name", "One", "--group", "Mp3"}).code, 0);
    ASSERT_EQ(Cli({"scan", source + "/Rock", "--name", "Two"}).code, 0);
    WriteFile(library + "/DVD/stray.txt", "not a catalog");

    Result result = Cli({"search", "--name", "song"});
    ASSERT_EQ(result.code, 0) << result.err;
    auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 4u);  // header, song.mp3 and SONG.MP3 of One, song.mp3 of Two
    EXPECT_NE(result.err.find("1 file(s)"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("stray.txt"), std::string::npos);

    result = Cli({"search", "--scope", "Two.xml", "--name", "SONG", "--case"});
    EXPECT_EQ(Lines(result.out).size(), 1u);
    result = Cli({"search", "--scope", "Mp3", "--name", "song.mp3", "--whole"});
    lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(lines[1].rfind('\t') + 1), "One");
    EXPECT_EQ(Cli({"search", "--name", "  ", "--desc", ""}).code, 2);

    const std::string out = dir / "results.csv";
    result = Cli({"search", "--ext", "mp3", "--format", "csv", "--out", out});
    ASSERT_EQ(result.code, 0) << result.err;
    lines = Lines(ReadFile(out));
    ASSERT_EQ(lines.size(), 6u) << ReadFile(out);
    EXPECT_EQ(lines[0], "FileName,FullPath,FileSize,FileTime,FileExt,FileType,Description,DiskName,\r");
    EXPECT_EQ(Cli({"search", "--ext", "mp3", "--format", "csv", "--out", out}).code, 3);
    EXPECT_EQ(Cli({"search", "--ext", "mp3", "--format", "doc", "--out", out}).code, 2);
}

TEST_F(CliTest, ExportWritesEachFormatWithTheChosenColumns)
{
    const std::string source = MakeSource();
    ASSERT_EQ(Cli({"scan", source, "--name", "Disc"}).code, 0);
    const std::string html = dir / "disc.htm";
    Result result = Cli({"export", "Disc.xml", "--format", "html", "--out", html, "--columns", "FileName,FileSize"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, html + "\n");
    const std::string page = ReadFile(html);
    EXPECT_NE(page.find("<td class=\"ThRows\">FileName</td><td class=\"ThRows\">FileSize</td></tr>"), std::string::npos);
    EXPECT_EQ(page.find("FullPath"), std::string::npos);

    const std::string csv = dir / "disc.csv";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "csv", "--out", csv, "--columns", "FileName,FileExt", "--sep", ";"}).code, 0);
    EXPECT_EQ(Lines(ReadFile(csv))[0], "FileName;FileExt;\r");
    const std::string text = dir / "disc.txt";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "text", "--out", text, "--columns", "FileName,FileExt"}).code, 0);
    EXPECT_EQ(Lines(ReadFile(text))[0], "FileName    FileExt    \r");
    const std::string xml = dir / "disc.xml";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "xml", "--out", xml}).code, 0);
    EXPECT_EQ(ReadFile(xml), ReadFile(library + "/Disc.xml"));
    const std::string xlsx = dir / "disc.xlsx";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "xlsx", "--out", xlsx}).code, 0);
    EXPECT_EQ(ReadFile(xlsx).substr(0, 2), "PK");

    EXPECT_EQ(Cli({"export", "Disc.xml", "--format", "html", "--out", html}).code, 3);
    EXPECT_EQ(Cli({"export", "Disc.xml", "--format", "html", "--out", html, "--columns", "Name"}).code, 2);
    EXPECT_EQ(Cli({"export", "Disc.xml", "--format", "html"}).code, 2);
    // Any catalog file path is taken too.
    EXPECT_EQ(Cli({"export", library + "/Disc.xml", "--format", "html", "--out", html, "--force"}).code, 0);
}

}  // namespace
}  // namespace vellumark
