#include "export/excel_export.h"

#include "services/messages.h"
#include "tests/export/export_fixture.h"

#include <algorithm>
#include <map>

namespace vellumark::testing {
namespace {

// Lists a workbook's first sheet: its merged ranges, its column widths and every cell as
// "cell ref=text|style", strings resolved whether shared or inline.
constexpr std::string_view kSheetReader = R"(import sys, zipfile, xml.etree.ElementTree as ET
M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
book = zipfile.ZipFile(sys.argv[1])
shared = []
if 'xl/sharedStrings.xml' in book.namelist():
    for si in ET.fromstring(book.read('xl/sharedStrings.xml')).iter(M + 'si'):
        shared.append(''.join(t.text or '' for t in si.iter(M + 't')))
sheet = ET.fromstring(book.read('xl/worksheets/sheet1.xml'))
for merge in sheet.iter(M + 'mergeCell'):
    print('merge ' + merge.get('ref'))
for col in sheet.iter(M + 'col'):
    print('width %s %s' % (col.get('min'), col.get('width')))
for cell in sheet.iter(M + 'c'):
    kind = cell.get('t')
    if kind == 's':
        text = shared[int(cell.find(M + 'v').text)]
    elif kind == 'inlineStr':
        text = ''.join(t.text or '' for t in cell.iter(M + 't'))
    else:
        text = ''
    print('cell %s=%s|%s' % (cell.get('r'), text, cell.get('s')))
    print('kind %s=%s%s' % (cell.get('r'), kind, '+formula' if cell.find(M + 'f') is not None else ''))
styles = book.read('xl/styles.xml').decode()
print('bold' if '<b/>' in styles else 'no bold')
print('thin' if 'style="thin"' in styles else 'no thin')
print('centred' if 'horizontal="center" vertical="center"' in styles else 'not centred')
)";

struct Sheet {
    std::vector<std::string> lines;
    std::map<std::string, std::string> text;   // cell reference to text
    std::map<std::string, std::string> style;  // cell reference to style index
    std::map<std::string, std::string> kind;   // cell reference to its type, "+formula" when it has one
    std::string Text(const std::string& ref) const
    {
        const auto found = text.find(ref);
        return found == text.end() ? "<no cell " + ref + ">" : found->second;
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
};

Sheet ReadSheet(const TempDir& dir, const std::string& workbook)
{
    Sheet sheet;
    const std::string output = RunPython(dir, kSheetReader, {workbook});
    std::size_t from = 0;
    for (std::size_t at; (at = output.find('\n', from)) != std::string::npos; from = at + 1) {
        const std::string line = output.substr(from, at - from);
        sheet.lines.push_back(line);
        const auto equals = line.find('=');
        const auto bar = line.rfind('|');
        if (line.starts_with("cell ") && equals != std::string::npos && bar != std::string::npos) {
            const std::string ref = line.substr(5, equals - 5);
            sheet.text[ref] = line.substr(equals + 1, bar - equals - 1);
            sheet.style[ref] = line.substr(bar + 1);
        }
        if (line.starts_with("kind ") && equals != std::string::npos)
            sheet.kind[line.substr(5, equals - 5)] = line.substr(equals + 1);
    }
    return sheet;
}

class ExcelExportTest : public ExportTest {
protected:
    void SetUp() override { columns = {"FileName", "FileSize"}; }

    Status Write(const std::string& out) { return WriteWorkbook(tree, columns, out, progress); }
};

TEST_F(ExcelExportTest, WritesTitleMergedOverTheTableAndNumberedRows)
{
    const std::string out = dir / "Best.of.xlsx";

    ASSERT_TRUE(Write(out).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_TRUE(sheet.Has("merge A1:C1"));
    EXPECT_EQ(sheet.Text("A1"), "Best");
    EXPECT_EQ(sheet.Text("A2"), "SerialNO");
    EXPECT_EQ(sheet.Text("B2"), "FileName");
    EXPECT_EQ(sheet.Text("C2"), "FileSize");
    EXPECT_EQ(sheet.Text("A3"), "1");
    EXPECT_EQ(sheet.Text("B3"), "Disc");
    EXPECT_EQ(sheet.Text("C3"), "30");
    EXPECT_EQ(sheet.Text("A5"), "3");
    EXPECT_EQ(sheet.Text("B5"), "b.mp3");
    EXPECT_EQ(sheet.text.count("A6"), 0u);
    // Every table cell carries the bordered style, the title another one.
    const std::string bordered = sheet.style.at("A2");
    for (const char* ref : {"B2", "C2", "A3", "B4", "C5"})
        EXPECT_EQ(sheet.style.at(ref), bordered) << ref;
    EXPECT_NE(sheet.style.at("A1"), bordered);
    EXPECT_TRUE(sheet.Has("bold"));
    EXPECT_TRUE(sheet.Has("thin"));
    EXPECT_TRUE(sheet.Has("centred"));
    EXPECT_EQ(progress.shownMessages, std::vector<std::string>{messages::kExportToFile});
}

TEST_F(ExcelExportTest, ColumnsAreWideEnoughForTheirLongestText)
{
    tree.First()->Child(1)->record.SetField(kFileName, std::string(60, 'x'));
    const std::string out = dir / "wide.xlsx";

    ASSERT_TRUE(Write(out).ok());

    std::map<int, double> widths;
    for (const std::string& line : ReadSheet(dir, out).lines)
        if (line.starts_with("width ")) {
            const auto space = line.find(' ', 6);
            widths[std::stoi(line.substr(6, space - 6))] = std::stod(line.substr(space + 1));
        }
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_GE(widths[1], 8.0);   // "SerialNO"
    EXPECT_GE(widths[2], 60.0);  // the long name
    EXPECT_LT(widths[2], 80.0);
    EXPECT_GE(widths[3], 8.0);   // "FileSize"
    EXPECT_LT(widths[3], widths[2]);
}

TEST_F(ExcelExportTest, ValuesKeepTheirTextAndNestedEntriesCount)
{
    AddEntry(tree.First()->Child(0), "Ünïcode & <tags>", "/x", "007", "file", "");
    tree.First()->Child(1)->record.SetField(kFileName, "raw\xFF\x01");
    const std::string out = dir / "values.xlsx";

    ASSERT_TRUE(Write(out).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_EQ(sheet.Text("B5"), "Ünïcode & <tags>");
    EXPECT_EQ(sheet.Text("C5"), "007");
    EXPECT_EQ(sheet.Text("A6"), "4");
    // Bytes a workbook cannot hold are written in the stored form.
    EXPECT_EQ(sheet.Text("B6"), "raw\\x{FF}\\x{01}");
}

// A catalog file's workbook holds the attributes as the file has them: no kind default, the
// DiskName the file holds, the stored form as stored.
TEST_F(ExcelExportTest, ACatalogFilesWorkbookHoldsItsAttributesAsStored)
{
    const std::string catalog = dir / "Hand.made.xml";
    WriteFile(catalog, "<fileinfo><file FileName=\"Top\" DiskName=\"Other\" Unknown=\"u\">"
                       "<file FileName=\"caf\\x{E9} &amp; co\" FileType=\"file\"/></file></fileinfo>");
    columns = {"FileName", "FileType", "DiskName", "FullPath"};
    const std::string out = dir / "hand.xlsx";

    ASSERT_TRUE(WriteCatalogWorkbook(catalog, columns, out, progress).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_TRUE(sheet.Has("merge A1:E1"));
    EXPECT_EQ(sheet.Text("A1"), "hand");
    EXPECT_EQ(sheet.Text("B3"), "Top");
    EXPECT_EQ(sheet.Text("C3"), "");
    EXPECT_EQ(sheet.Text("D3"), "Other");
    EXPECT_EQ(sheet.Text("E3"), "");
    EXPECT_EQ(sheet.Text("A4"), "2");
    EXPECT_EQ(sheet.Text("B4"), "caf\\x{E9} & co");
    EXPECT_EQ(sheet.Text("C4"), "file");
    EXPECT_EQ(sheet.text.count("A5"), 0u);
}

// A name a spreadsheet would take for a formula is a text cell like every other value.
TEST_F(ExcelExportTest, FormulaLikeValuesStayTextCells)
{
    tree.First()->record.SetField(kFileName, "=1+1");
    tree.First()->Child(0)->record.SetField(kFileName, "=HYPERLINK(\"http:x\",\"y\")");
    const std::string out = dir / "formulas.xlsx";

    ASSERT_TRUE(Write(out).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_EQ(sheet.Text("B3"), "=1+1");
    EXPECT_EQ(sheet.Text("B4"), "=HYPERLINK(\"http:x\",\"y\")");
    for (const char* ref : {"B3", "B4", "A3"}) {
        ASSERT_EQ(sheet.kind.count(ref), 1u) << ref;
        EXPECT_TRUE(sheet.kind.at(ref) == "s" || sheet.kind.at(ref) == "inlineStr") << ref << " " << sheet.kind.at(ref);
    }
}

// A workbook reads "_x0041_" as "A": a name that holds such a text keeps it, its underscore
// written as the workbook's own escape "_x005F_".
TEST_F(ExcelExportTest, TextsThatLookLikeTheWorkbooksEscapesKeepTheirCharacters)
{
    tree.First()->record.SetField(kFileName, "_x0041_ and _x00e9__xZZ_");
    const std::string out = dir / "_x0042_.xlsx";

    ASSERT_TRUE(Write(out).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_EQ(sheet.Text("B3"), "_x005F_x0041_ and _x005F_x00e9__xZZ_");
    EXPECT_EQ(sheet.Text("A1"), "_x005F_x0042_");
}

// A catalog written by another program may hold bytes that are no UTF-8 as they are; the
// workbook holds them in the stored form, so that it stays a well-formed workbook.
TEST_F(ExcelExportTest, RawBytesOfAForeignCatalogAreWrittenInTheStoredForm)
{
    const std::string catalog = dir / "Foreign.xml";
    WriteFile(catalog, "<fileinfo><file FileName=\"caf\xE9\x01\" Description=\"\xFF\xFE \\x{41} &amp;\"/></fileinfo>");
    columns = {"FileName", "Description"};
    const std::string out = dir / "foreign.xlsx";

    const Status written = WriteCatalogWorkbook(catalog, columns, out, progress);
    ASSERT_TRUE(written.ok()) << written.message();

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_EQ(sheet.Text("B3"), "caf\\x{E9}\\x{01}");
    EXPECT_EQ(sheet.Text("C3"), "\\x{FF}\\x{FE} \\x{41} &");
}

TEST_F(ExcelExportTest, TooManyRowsAreRefusedBeforeAnythingIsWritten)
{
    // Title, header and three entries are five rows.
    const std::string catalog = WriteCatalog("Disc.xml");
    const std::string out = dir / "limit.xlsx";
    for (const Status& refused : {WriteWorkbook(tree, columns, out, progress, 4),
                                  WriteCatalogWorkbook(catalog, columns, out, progress, 4)}) {
        EXPECT_EQ(refused.code(), Status::Code::Failed);
        EXPECT_EQ(refused.message(), messages::kExcelRowRange);
    }
    EXPECT_EQ(progress.shows, 0);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"Disc.xml"});

    ASSERT_TRUE(WriteWorkbook(tree, columns, out, progress, 5).ok());
    ASSERT_TRUE(WriteCatalogWorkbook(catalog, columns, dir / "limit2.xlsx", progress, 5).ok());
    EXPECT_TRUE(PathExists(out));
    EXPECT_EQ(kXlsxRowCapacity, 1048576u);
}

TEST_F(ExcelExportTest, FailedWorkbookKeepsTheOldFileAndLeavesNoTemporary)
{
    // A cell holds at most 32,767 characters; the library refuses a longer one.
    tree.First()->Child(1)->record.SetField(kFileName, std::string(40000, 'n'));
    const std::string out = dir / "keep.xlsx";
    WriteFile(out, "old workbook");

    const Status status = Write(out);

    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_NE(status.message().find(out), std::string::npos) << status.message();
    EXPECT_EQ(ReadFile(out), "old workbook");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"keep.xlsx"});
    EXPECT_EQ(progress.shows, progress.hides);
}

TEST_F(ExportTest, WorkbookWithoutAScreenHasTitleAndHeaderOnly)
{
    const std::string out = dir / "blank.xlsx";
    ExportJob job;
    job.format = ExportFormatKind::Excel;
    job.columns = {"FileName"};
    job.outputPath = out;

    ASSERT_TRUE(RunExport(job, progress).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_TRUE(sheet.Has("merge A1:B1"));
    EXPECT_EQ(sheet.Text("A1"), "blank");
    EXPECT_EQ(sheet.Text("A2"), "SerialNO");
    EXPECT_EQ(sheet.Text("B2"), "FileName");
    EXPECT_EQ(sheet.text.size(), 4u);  // A1, the blank merged B1, A2, B2
}

TEST_F(ExportTest, WorkbookWithoutColumnsHasTitleAndNumbersOnly)
{
    const std::string out = dir / "numbers.xlsx";

    ASSERT_TRUE(WriteWorkbook(tree, {}, out, progress).ok());

    const Sheet sheet = ReadSheet(dir, out);
    EXPECT_EQ(sheet.Text("A1"), "numbers");
    EXPECT_EQ(sheet.Text("A2"), "SerialNO");
    EXPECT_EQ(sheet.Text("A5"), "3");
    EXPECT_EQ(sheet.text.count("B3"), 0u);
}

}  // namespace
}  // namespace vellumark::testing
