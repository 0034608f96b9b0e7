#include "app/cli/cli.h"
#include "config/config.h"
#include "core/catalog_file.h"
#include "core/entry_edit.h"
#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/xml_export.h"
#include "search/catalog_search.h"
#include "services/compare_text.h"
#include "services/text_format.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Catalogs as the program writes them on Windows: "\" separators, roots "MUSIC(D:\)" and
// "D:\", dates and decimals of other locales, a byte-order mark, CR LF after the declaration.
const std::string kWindowsData = std::string(VELLUMARK_TEST_DATA_DIR) + "/windows";
const std::string kMusic = kWindowsData + "/Music.xml";
const std::string kDrive = kWindowsData + "/Drive D.xml";

std::vector<std::string> Column(const CatalogTree& tree, int key)
{
    std::vector<std::string> values;
    tree.ForEachPreOrder([&](CatalogTreeNode& node) { values.emplace_back(node.record.Field(key)); });
    return values;
}

CatalogTreeNode* FindByName(const CatalogTree& tree, std::string_view name)
{
    CatalogTreeNode* found = nullptr;
    tree.ForEachPreOrder([&](CatalogTreeNode& node) {
        if (!found && node.record.Field(kFileName) == name)
            found = &node;
    });
    return found;
}

class WindowsCatalogs : public ::testing::Test {
protected:
    CatalogTree Streamed(const std::string& path)
    {
        CatalogTree tree;
        EXPECT_TRUE(ReadCatalogFile(path, tree, progress)) << path;
        return tree;
    }

    TempDir dir;
    NullProgress progress;
};

TEST_F(WindowsCatalogs, LoadWithTheirSeparatorsRootsAndValues)
{
    const CatalogTree music = Streamed(kMusic);
    EXPECT_EQ(Column(music, kFullPath),
              (std::vector<std::string>{"MUSIC(D:\\)", "MUSIC(D:\\)\\Pop", "MUSIC(D:\\)\\Pop\\a.mp3",
                                        "MUSIC(D:\\)\\Pop\\Intro.MP3", "MUSIC(D:\\)\\Notes.txt"}));
    EXPECT_EQ(Column(music, kDiskName)[0], "Music");
    EXPECT_EQ(Column(music, kDescription)[4], "track list, summer & winter");
    const CatalogTree drive = Streamed(kDrive);
    EXPECT_EQ(Column(drive, kFullPath), (std::vector<std::string>{"D:\\", "D:\\Rock", "D:\\Rock\\b.mp3"}));
    EXPECT_EQ(Column(drive, kDiskName)[2], "Drive D");
}

// A catalog written on Windows may declare its code page; its names are read as the characters
// they are, so the list, the search and the exports all see "café".
TEST_F(WindowsCatalogs, ADeclaredEncodingIsDecoded)
{
    const std::string path = dir / "Latin.xml";
    testing::WriteFile(path, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><fileinfo><file FileName=\"caf\xE9\"/></fileinfo>");
    EXPECT_EQ(Column(Streamed(path), kFileName), (std::vector<std::string>{"caf\xC3\xA9"}));
}

TEST_F(WindowsCatalogs, ShowThroughTheCommandLine)
{
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"--home", dir / "home", "show", kMusic}, out, err, false), 0) << err.str();
    const std::string table = out.str();
    EXPECT_NE(table.find("a.mp3\tMUSIC(D:\\\\)\\\\Pop\\\\a.mp3\t300\t6/7/2004 1:05:08 PM\tmp3\tfile\tSummer hit\t5\t20\t9,38\tMusic\n"),
              std::string::npos)
        << table;
    std::ostringstream out2, err2;
    ASSERT_EQ(cli::Run({"--home", dir / "home", "show", kDrive}, out2, err2, false), 0) << err2.str();
    EXPECT_NE(out2.str().find("D:\\\\\tD:\\\\\t2048\t"), std::string::npos) << out2.str();
    ResetConfigInstance();
}

// Dates and numbers of other locales sort by what they mean.
TEST_F(WindowsCatalogs, SortByTimeAndSizeAcrossLocaleForms)
{
    EXPECT_EQ(CompareDateText("07.06.2004 13:05:08", "6/7/2004 1:05:08 PM"), 0);
    EXPECT_EQ(CompareDateText("31.12.2003", "12/31/2003 11:59:58 PM"), -1);
    EXPECT_EQ(CompareDateText("12/31/2003 11:59:58 PM", "2004/06/07 08:00:00"), -1);
    EXPECT_EQ(CompareDateText("6/7/2004 1:05:08 PM", "2004-06-07 13:05:07"), 1);
    EXPECT_EQ(CompareNumberText("12,50", "9,38"), 1);
    EXPECT_EQ(CompareNumberText("12,50", "87,50"), -1);
    EXPECT_EQ(CompareNumberText("100,00", "99.99"), 1);
    ASSERT_TRUE(ParseNumberText("12,50"));
    EXPECT_DOUBLE_EQ(*ParseNumberText("12,50"), 12.5);

    CatalogTree music = Streamed(kMusic);
    music.SortAll([](const CatalogTreeNode& a, const CatalogTreeNode& b) {
        return CompareDateText(a.record.Field(kFileTime), b.record.Field(kFileTime)) < 0;
    });
    EXPECT_EQ(Column(music, kFileName),
              (std::vector<std::string>{"MUSIC(D:\\)", "Notes.txt", "Pop", "Intro.MP3", "a.mp3"}));
    music.SortAll([](const CatalogTreeNode& a, const CatalogTreeNode& b) {
        return CompareNumberText(a.record.Field(kSizePercentage), b.record.Field(kSizePercentage)) < 0;
    });
    EXPECT_EQ(Column(music, kFileName),
              (std::vector<std::string>{"MUSIC(D:\\)", "Pop", "Intro.MP3", "a.mp3", "Notes.txt"}));
}

TEST_F(WindowsCatalogs, SearchFindsByNameExtensionAndDescription)
{
    const auto search = [&](std::string name, std::string ext, std::string desc, bool group = false) {
        SearchRequest request;
        request.scopePath = group ? kWindowsData : kMusic;
        request.scopeIsGroup = group;
        request.namePattern = std::move(name);
        request.extensionPattern = std::move(ext);
        request.descriptionPattern = std::move(desc);
        CatalogTree results;
        const SearchOutcome outcome = SearchCatalogs(request, progress, results);
        EXPECT_TRUE(outcome.Complete());
        return Column(results, kFullPath);
    };
    EXPECT_EQ(search("", "mp3", ""), (std::vector<std::string>{"MUSIC(D:\\)\\Pop\\a.mp3", "MUSIC(D:\\)\\Pop\\Intro.MP3"}));
    EXPECT_EQ(search("d:\\", "", ""), (std::vector<std::string>{"MUSIC(D:\\)"}));
    EXPECT_EQ(search("", "", "summer"), (std::vector<std::string>{"MUSIC(D:\\)\\Pop\\a.mp3", "MUSIC(D:\\)\\Notes.txt"}));
    EXPECT_EQ(search("", "", "& winter"), (std::vector<std::string>{"MUSIC(D:\\)\\Notes.txt"}));
    std::vector<std::string> both = search("", "mp3", "", true);
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (std::vector<std::string>{"D:\\Rock\\b.mp3", "MUSIC(D:\\)\\Pop\\Intro.MP3", "MUSIC(D:\\)\\Pop\\a.mp3"}));
}

TEST_F(WindowsCatalogs, ExportEveryFormat)
{
    const CatalogTree music = Streamed(kMusic);
    const std::vector<std::string> columns = {"FileName", "FullPath", "FileTime", "SizePercentage"};

    const std::string html = dir / "Music.htm";
    ASSERT_TRUE(WriteHtml(music, columns, html, progress));
    EXPECT_NE(ReadFile(html).find("<td class=\"TrBRow\" align=Left>MUSIC(D:\\)\\Pop</td>"), std::string::npos);

    const std::string text = dir / "Music.txt";
    ASSERT_TRUE(WriteText(music, columns, text, progress));
    EXPECT_NE(ReadFile(text).find("a.mp3    MUSIC(D:\\)\\Pop\\a.mp3    6/7/2004 1:05:08 PM    9,38\r\n"), std::string::npos)
        << ReadFile(text);

    // The Windows decimal comma is the CSV separator here, so the percentages are quoted.
    const std::string csv = dir / "Music.csv";
    ASSERT_TRUE(WriteCsv(music, columns, ",", csv, progress));
    EXPECT_NE(ReadFile(csv).find("Pop,MUSIC(D:\\)\\Pop,07.06.2004 13:05:08,\"12,50\"\r\n"), std::string::npos)
        << ReadFile(csv);

    const std::string xml = dir / "Copy.xml";
    ASSERT_TRUE(CopyCatalogFile(kMusic, xml, progress));
    EXPECT_EQ(ReadFile(xml), ReadFile(kMusic));

    const std::string xlsx = dir / "Music.xlsx";
    ASSERT_TRUE(WriteCatalogWorkbook(kMusic, columns, xlsx, progress));
    std::unique_ptr<FILE, int (*)(FILE*)> unzip(::popen(("unzip -p '" + xlsx + "' 2>/dev/null").c_str(), "r"), ::pclose);
    ASSERT_NE(unzip, nullptr);
    std::string parts;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, unzip.get())) > 0;)
        parts.append(buffer, n);
    if (parts.empty())
        GTEST_SKIP() << "unzip is not installed";
    EXPECT_NE(parts.find("MUSIC(D:\\)\\Pop\\Intro.MP3"), std::string::npos);
    EXPECT_NE(parts.find("12/31/2003 11:59:58 PM"), std::string::npos);
}

// A rename keeps the catalog's own "\" separators and puts exactly one between a root that
// ends with one and the new name.
TEST_F(WindowsCatalogs, RenameKeepsBackslashSeparators)
{
    CatalogTree music = Streamed(kMusic);
    ApplyEntryEdit(*FindByName(music, "Pop"), kFileName, "Rock");
    EXPECT_EQ(Column(music, kFullPath),
              (std::vector<std::string>{"MUSIC(D:\\)", "MUSIC(D:\\)\\Rock", "MUSIC(D:\\)\\Rock\\a.mp3",
                                        "MUSIC(D:\\)\\Rock\\Intro.MP3", "MUSIC(D:\\)\\Notes.txt"}));
    EXPECT_EQ(Column(music, kPathNameLength)[2], "21");
    ApplyEntryEdit(*FindByName(music, "a.mp3"), kFileName, "b.mp3");
    EXPECT_EQ(Column(music, kFullPath)[2], "MUSIC(D:\\)\\Rock\\b.mp3");

    CatalogTree drive = Streamed(kDrive);
    ApplyEntryEdit(*FindByName(drive, "Rock"), kFileName, "Jazz");
    EXPECT_EQ(Column(drive, kFullPath), (std::vector<std::string>{"D:\\", "D:\\Jazz", "D:\\Jazz\\b.mp3"}));

    // Saved and read back, the renamed catalog keeps its form.
    const std::string saved = dir / "Drive D.xml";
    ASSERT_TRUE(WriteCatalogFile(drive, saved, progress));
    EXPECT_EQ(Column(Streamed(saved), kFullPath), Column(drive, kFullPath));
}

}  // namespace
}  // namespace vellumark
