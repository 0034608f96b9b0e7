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
    const std::string out = dir / "list.csv";

    ASSERT_TRUE(WriteCsv(tree, {"FileName", "FileSize"}, ";", out, progress).ok());

    EXPECT_EQ(ReadFile(out), "FileName;FileSize;\r\nDisc;30\r\na.txt;10\r\nb.mp3;20\r\n");
    EXPECT_EQ(progress.shownMessages, std::vector<std::string>{"Export to file.."});
}

TEST_F(ExportTest, TextUsesTheGivenSeparatorAndNeverQuotes)
{
    tree.First()->record.SetField(kDescription, "a \"quoted\"    note");
    const std::string out = dir / "list.txt";

    ASSERT_TRUE(WriteText(tree, {"FileName", "Description", "FileSize"}, out, progress).ok());

    EXPECT_EQ(ReadFile(out),
              "FileName    Description    FileSize    \r\n"
              "Disc    a \"quoted\"    note    30\r\n"
              "a.txt        10\r\n"
              "b.mp3    best    20\r\n");
}

TEST_F(ExportTest, CsvQuotedValuesReadBackUnchanged)
{
    const std::vector<std::string> descriptions = {"one, two", "say \"hi\"", "line\r\nbreak\nand\rreturn"};
    tree.First()->record.SetField(kDescription, descriptions[0]);
    tree.First()->Child(0)->record.SetField(kDescription, descriptions[1]);
    tree.First()->Child(1)->record.SetField(kDescription, descriptions[2]);
    tree.First()->Child(1)->record.SetField(kFileName, "plain");
    const std::string out = dir / "quoted.csv";

    ASSERT_TRUE(WriteCsv(tree, {"FileName", "Description"}, ",", out, progress).ok());

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
    const std::string out = dir / "multi.csv";

    ASSERT_TRUE(WriteCsv(tree, {"FileName", "FileSize"}, "||", out, progress).ok());
    EXPECT_EQ(ReadFile(out), "FileName||FileSize||\r\n\"a||b\"||30\r\na|b||10\r\nb.mp3||20\r\n");
}

TEST_F(ExportTest, DelimitedExportsOfAnEmptyListAreEmptyFiles)
{
    CatalogTree empty;
    const std::string text = dir / "empty.txt";
    const std::string csv = dir / "empty.csv";

    ASSERT_TRUE(WriteText(empty, {"FileName"}, text, progress).ok());
    ASSERT_TRUE(WriteCsv(empty, {"FileName"}, ",", csv, progress).ok());

    EXPECT_TRUE(PathExists(text));
    EXPECT_EQ(ReadFile(text), "");
    EXPECT_TRUE(PathExists(csv));
    EXPECT_EQ(ReadFile(csv), "");
}

TEST_F(ExportTest, DelimitedExportWithoutColumnsWritesEmptyLines)
{
    const std::string out = dir / "none.csv";

    ASSERT_TRUE(WriteCsv(tree, {}, ",", out, progress).ok());
    EXPECT_EQ(ReadFile(out), "\r\n\r\n\r\n\r\n");
}

TEST_F(ExportTest, CsvOfACatalogFileWritesTheLoadedCatalogInEntryOrder)
{
    CatalogTreeNode* sub = AddEntry(tree.First()->Child(0), "deep", "/media/Disc/a.txt/deep", "1", "file", "");
    ASSERT_NE(sub, nullptr);
    const std::string catalog = WriteCatalog("Other.name.xml");
    columns = {"FullPath", "DiskName"};
    const std::string out = dir / "loaded.csv";

    ASSERT_TRUE(Export(ExportFormatKind::Csv, out, catalog).ok());
    EXPECT_EQ(ReadFile(out),
              "FullPath,DiskName,\r\n/media/Disc,Other\r\n/media/Disc/a.txt,Other\r\n"
              "/media/Disc/a.txt/deep,Other\r\n/media/Disc/b.mp3,Other\r\n");
}

}  // namespace
}  // namespace vellumark::testing
