#include "export/delimited_export.h"

#include "tests/export/export_fixture.h"

namespace vellumark::testing {
namespace {

// Reads a CSV file with Python's csv module and prints each field with its row and column, so
// the test sees exactly what a standard reader makes of the file.
constexpr std::string_view kCsvReader = R"(import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f, delimiter=sys.argv[2]))
for r, row in enumerate(rows):
    for c, field in enumerate(row):
        sys.stdout.write('%d/%d=%s\x1e' % (r, c, field))
)";

std::vector<std::string> Split(const std::string& text, char mark)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(mark, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    return parts;
}

TEST_F(ExportTest, CsvWritesHeaderWithTrailingSeparatorAndCrLfLines)
{
    info.ExportColumns() = {"FileName", "FileSize"};
    const std::string out = Choose("list.csv");

    ASSERT_TRUE(ExportCsv(info, "Disc", ";", &tree).ok());

    EXPECT_EQ(ReadFile(out), "FileName;FileSize;\r\nDisc;30\r\na.txt;10\r\nb.mp3;20\r\n");
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_EQ(prompts.requests[0].defaultExtension, ".csv");
    EXPECT_EQ(prompts.requests[0].filter, "CSV File|*.csv");
    EXPECT_EQ(prompts.requests[0].initialName, "Disc");
}

TEST_F(ExportTest, TextUsesTheGivenSeparatorAndNeverQuotes)
{
    tree.First()->record.SetField(kDescription, "a \"quoted\"    note");
    info.ExportColumns() = {"FileName", "Description", "FileSize"};
    const std::string out = Choose("list.txt");

    ASSERT_TRUE(ExportText(info, "", kTextSeparator, &tree).ok());

    EXPECT_EQ(ReadFile(out),
              "FileName    Description    FileSize    \r\n"
              "Disc    a \"quoted\"    note    30\r\n"
              "a.txt        10\r\n"
              "b.mp3    best    20\r\n");
    EXPECT_EQ(prompts.requests.at(0).defaultExtension, ".txt");
    EXPECT_EQ(prompts.requests.at(0).filter, "Text File|*.txt");
}

TEST_F(ExportTest, CsvQuotedValuesReadBackUnchanged)
{
    const std::vector<std::string> descriptions = {"one, two", "say \"hi\"", "line\r\nbreak\nand\rreturn"};
    tree.First()->record.SetField(kDescription, descriptions[0]);
    tree.First()->Child(0)->record.SetField(kDescription, descriptions[1]);
    tree.First()->Child(1)->record.SetField(kDescription, descriptions[2]);
    tree.First()->Child(1)->record.SetField(kFileName, "plain");
    info.ExportColumns() = {"FileName", "Description"};
    const std::string out = Choose("quoted.csv");

    ASSERT_TRUE(ExportCsv(info, "", ",", &tree).ok());

    // Only the values that need it are quoted.
    EXPECT_TRUE(ReadFile(out).starts_with("FileName,Description,\r\nDisc,\"one, two\"\r\na.txt,\"say \"\"hi\"\"\"\r\n"));
    const std::vector<std::string> fields = Split(RunPython(dir, kCsvReader, {out, ","}), '\x1e');
    const std::vector<std::string> expected = {
        "0/0=FileName", "0/1=Description", "0/2=",
        "1/0=Disc", "1/1=" + descriptions[0],
        "2/0=a.txt", "2/1=" + descriptions[1],
        "3/0=plain", "3/1=" + descriptions[2],
    };
    EXPECT_EQ(fields, expected);
}

TEST_F(ExportTest, CsvQuotesAValueHoldingAMultiCharacterSeparator)
{
    tree.First()->record.SetField(kFileName, "a||b");
    tree.First()->Child(0)->record.SetField(kFileName, "a|b");
    info.ExportColumns() = {"FileName", "FileSize"};
    const std::string out = Choose("multi.csv");

    ASSERT_TRUE(ExportCsv(info, "", "||", &tree).ok());
    EXPECT_EQ(ReadFile(out), "FileName||FileSize||\r\n\"a||b\"||30\r\na|b||10\r\nb.mp3||20\r\n");
}

TEST_F(ExportTest, DelimitedExportsOfAnEmptyListAreEmptyFiles)
{
    CatalogTree empty;
    info.ExportColumns() = {"FileName"};
    const std::string text = Choose("empty.txt");
    const std::string csv = Choose("empty.csv");

    ASSERT_TRUE(ExportText(info, "", kTextSeparator, &empty).ok());
    ASSERT_TRUE(ExportCsv(info, "", ",", &empty).ok());

    EXPECT_TRUE(PathExists(text));
    EXPECT_EQ(ReadFile(text), "");
    EXPECT_TRUE(PathExists(csv));
    EXPECT_EQ(ReadFile(csv), "");
}

TEST_F(ExportTest, DelimitedExportWithoutColumnsWritesEmptyLines)
{
    info.ExportColumns().clear();
    const std::string out = Choose("none.csv");

    ASSERT_TRUE(ExportCsv(info, "", ",", &tree).ok());
    EXPECT_EQ(ReadFile(out), "\r\n\r\n\r\n\r\n");
}

TEST_F(ExportTest, CsvWithoutTreeWritesTheLoadedCatalogInEntryOrder)
{
    CatalogTreeNode* sub = AddEntry(tree.First()->Child(0), "deep", "/media/Disc/a.txt/deep", "1", "file", "");
    ASSERT_NE(sub, nullptr);
    LoadCatalogFile("Other.name.xml");
    info.ExportColumns() = {"FullPath", "DiskName"};
    const std::string out = Choose("loaded.csv");

    ASSERT_TRUE(ExportCsv(info, "Other", ",", nullptr).ok());
    EXPECT_EQ(ReadFile(out),
              "FullPath,DiskName,\r\n/media/Disc,Other\r\n/media/Disc/a.txt,Other\r\n"
              "/media/Disc/a.txt/deep,Other\r\n/media/Disc/b.mp3,Other\r\n");
}

}  // namespace
}  // namespace vellumark::testing
