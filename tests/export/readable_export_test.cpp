#include "export/delimited_export.h"
#include "export/html_export.h"
#include "tests/export/export_fixture.h"

namespace vellumark::testing {
namespace {

// Reads every file named with Python's strict UTF-8 decoder, as pandas and the csv module do;
// prints "ok" for each, or the decoder's complaint.
constexpr std::string_view kStrictReader = R"(import sys
for number, name in enumerate(sys.argv[1:]):
    try:
        open(name, encoding='utf-8', errors='strict').read()
        print('ok')
    except UnicodeDecodeError as error:
        print('file %d: %s' % (number, error))
)";

// The csv module's fields, one per line as "row/column=" and the field as a JSON string.
constexpr std::string_view kCsvFields = R"(import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:
    for r, row in enumerate(csv.reader(f, delimiter=sys.argv[2])):
        for c, field in enumerate(row):
            print('%d/%d=%s' % (r, c, json.dumps(field)))
)";

// An ASCII text as JSON writes it.
std::string Json(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// Names a file system hands out that text readers choke on, and what the exports write.
const std::string kInvalidUtf8 = "bad\xFF\xFE name";
constexpr char kControlBytes[] = "bell\x07 esc\x1B nul\x00 end";
const std::string kControls(kControlBytes, sizeof kControlBytes - 1);
const std::string kNonCharacters = "nc\xEF\xBF\xBE\xEF\xBF\xBF.txt";
const std::string kLoneSurrogate = "half\xED\xA0\x80";
const std::string kKeptAsTheyAre = "caf\xC3\xA9 \xF0\x9F\x98\x80 back\\slash";

class ReadableExportTest : public ExportTest {
protected:
    void SetUp() override
    {
        columns = {"FileName", "Description"};
        CatalogTreeNode* root = tree.First();
        root->record.SetField(kFileName, std::string(kInvalidUtf8));
        root->Child(0)->record.SetField(kFileName, kControls);
        root->Child(0)->record.SetField(kDescription, kNonCharacters);
        root->Child(1)->record.SetField(kFileName, kKeptAsTheyAre);
        root->Child(1)->record.SetField(kDescription, kLoneSurrogate);
    }

    std::string Strict(const std::vector<std::string>& files) { return RunPython(dir, kStrictReader, files); }
};

std::string Okays(const std::vector<std::string>& files)
{
    std::string expected;
    for (const std::string& file : files)
        expected += file.empty() ? "" : "ok\n";
    return expected;
}

// Every byte a catalog stores as "\x{HH}" is written that way, from the screen and from a
// catalog file alike, so that strict readers take every file.
TEST_F(ReadableExportTest, EveryTextExportIsValidUtf8)
{
    const std::string catalog = WriteCatalog("Disc.xml");
    std::vector<std::string> files;
    for (const ExportFormatKind format : {ExportFormatKind::Html, ExportFormatKind::Text, ExportFormatKind::Csv}) {
        for (const bool fromCatalog : {false, true}) {
            const std::string out = dir / ("out" + std::to_string(files.size()) + ".txt");
            ASSERT_TRUE(Export(format, out, fromCatalog ? catalog : std::string()).ok());
            const std::string written = ReadFile(out);
            EXPECT_NE(written.find("bad\\x{FF}\\x{FE} name"), std::string::npos) << written;
            EXPECT_NE(written.find("bell\\x{07} esc\\x{1B} nul"), std::string::npos) << written;
            EXPECT_NE(written.find("nc\\x{EF}\\x{BF}\\x{BE}\\x{EF}\\x{BF}\\x{BF}.txt"), std::string::npos) << written;
            EXPECT_NE(written.find("half\\x{ED}\\x{A0}\\x{80}"), std::string::npos) << written;
            EXPECT_NE(written.find(kKeptAsTheyAre), std::string::npos) << written;
            files.push_back(out);
        }
    }
    EXPECT_EQ(Strict(files), Okays(files));
}

// Tab, line feed and carriage return stay as they are; the CSV quotes the value that holds a
// line break, as before.
TEST_F(ReadableExportTest, CsvAndTextWriteTheStoredFormAndKeepLineBreaksAndTabs)
{
    tree.First()->Child(0)->record.SetField(kFileName, "a\tb\xC0");
    tree.First()->Child(0)->record.SetField(kDescription, "two\r\nlines\x01");
    tree.First()->Child(1)->record.SetField(kDescription, "");
    const std::string csv = dir / "list.csv";
    const std::string text = dir / "list.txt";

    ASSERT_TRUE(WriteCsv(tree, columns, ",", csv, progress).ok());
    ASSERT_TRUE(WriteText(tree, columns, text, progress).ok());

    EXPECT_EQ(ReadFile(csv), "FileName,Description,\r\n"
                             "bad\\x{FF}\\x{FE} name,\r\n"
                             "a\tb\\x{C0},\"two\r\nlines\\x{01}\"\r\n"
                             "caf\xC3\xA9 \xF0\x9F\x98\x80 back\\slash,\r\n");
    EXPECT_EQ(ReadFile(text), "FileName    Description    \r\n"
                              "bad\\x{FF}\\x{FE} name    \r\n"
                              "a\tb\\x{C0}    two\r\nlines\\x{01}\r\n"
                              "caf\xC3\xA9 \xF0\x9F\x98\x80 back\\slash    \r\n");
    EXPECT_EQ(Strict({csv, text}), Okays({csv, text}));
}

// The form reads back unambiguously: a name that holds the introducer itself has its
// backslash written as "\x{5C}".
TEST_F(ReadableExportTest, ALiteralIntroducerIsWrittenInTheStoredForm)
{
    tree.First()->record.SetField(kFileName, "odd\\x{41}");
    const std::string csv = dir / "intro.csv";
    ASSERT_TRUE(WriteCsv(tree, {"FileName"}, ",", csv, progress).ok());
    EXPECT_NE(ReadFile(csv).find("\r\nodd\\x{5C}x{41}\r\n"), std::string::npos) << ReadFile(csv);
}

TEST_F(ReadableExportTest, HtmlEscapesTheStoredFormAndTheTitle)
{
    tree.First()->record.SetField(kFileName, "<b>\xFF&amp;\"");
    const std::string out = dir / "t\xE9st.htm";

    ASSERT_TRUE(WriteHtml(tree, columns, out, progress).ok());

    const std::string page = ReadFile(out);
    EXPECT_NE(page.find("<H5 Align=center>t\\x{E9}st</H5>"), std::string::npos);
    EXPECT_NE(page.find("align=Left>&lt;b&gt;\\x{FF}&amp;amp;&quot;</td>"), std::string::npos) << page;
    EXPECT_EQ(Strict({out}), Okays({out}));
}

// A value a spreadsheet would run as a formula gets an apostrophe in CSV files, inside the
// quotes when it is quoted; never in the header line, nor in the text and HTML exports.
TEST_F(ReadableExportTest, CsvNeutralisesFormulasOnly)
{
    const std::string hyperlink = "=HYPERLINK(\"http:x\",\"y\")";
    const std::vector<std::string> names = {hyperlink, "+1", "-2", "@SUM(A1)", "\tlead", "\rcr", "=1\xFF"};
    const std::vector<std::string> harmless = {" =1", "a=1", "x-1", "'quoted", "", "\nlf"};
    tree.Clear();
    for (const std::string& name : names)
        AddEntry(nullptr, name, "/p", "1", "file", "");
    for (const std::string& name : harmless)
        AddEntry(nullptr, name, "/p", "1", "file", "");
    const std::string csv = dir / "f.csv";
    const std::string text = dir / "f.txt";
    const std::string html = dir / "f.htm";

    ASSERT_TRUE(WriteCsv(tree, {"=FileName", "FileSize"}, ",", csv, progress).ok());
    ASSERT_TRUE(WriteText(tree, {"FileName"}, text, progress).ok());
    ASSERT_TRUE(WriteHtml(tree, {"FileName"}, html, progress).ok());

    const std::string written = ReadFile(csv);
    EXPECT_TRUE(written.starts_with("=FileName,FileSize,\r\n\"'=HYPERLINK(\"\"http:x\"\",\"\"y\"\")\",1\r\n'+1,1\r\n"))
        << written;
    const std::string fields = RunPython(dir, kCsvFields, {csv, ","});
    const std::vector<std::string> expected = {"'" + hyperlink, "'+1", "'-2", "'@SUM(A1)", "'\tlead", "'\rcr",
                                               "'=1\\x{FF}", " =1", "a=1", "x-1", "'quoted", "", "\nlf"};
    EXPECT_NE(fields.find("0/0=\"=FileName\"\n"), std::string::npos) << fields;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string line = std::to_string(i + 1) + "/0=" + Json(expected[i]) + "\n";
        EXPECT_NE(fields.find(line), std::string::npos) << line << fields;
    }
    EXPECT_NE(ReadFile(text).find("\r\n" + hyperlink + "\r\n+1\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(html).find(">=HYPERLINK(&quot;http:x&quot;,&quot;y&quot;)</td>"), std::string::npos);
    EXPECT_EQ(ReadFile(html).find("'="), std::string::npos);
}

// The apostrophe belongs to the value: with an apostrophe as separator the value is quoted.
TEST_F(ReadableExportTest, TheApostropheCountsWhenQuotingIsDecided)
{
    tree.Clear();
    AddEntry(nullptr, "=1", "/p", "1", "file", "");
    const std::string csv = dir / "apostrophe.csv";
    ASSERT_TRUE(WriteCsv(tree, {"FileName", "FileSize"}, "'", csv, progress).ok());
    EXPECT_EQ(ReadFile(csv), "FileName'FileSize'\r\n\"'=1\"'1\r\n");
}

// Raw: each value's bytes as the file system gave them, without the apostrophe.
TEST_F(ReadableExportTest, RawWritesTheBytesAsTheFileSystemGaveThem)
{
    tree.First()->Child(1)->record.SetField(kFileName, "=1+1");
    const auto exported = [&](ExportFormatKind format, std::string_view name) {
        ExportJob job;
        job.format = format;
        job.screen = &tree;
        job.columns = columns;
        job.outputPath = dir / name;
        job.raw = true;
        EXPECT_TRUE(RunExport(job, progress).ok());
        return ReadFile(job.outputPath);
    };

    const std::string rows = kInvalidUtf8 + ",\r\n" + kControls + "," + kNonCharacters + "\r\n=1+1," + kLoneSurrogate + "\r\n";
    EXPECT_EQ(exported(ExportFormatKind::Csv, "raw.csv"), "FileName,Description,\r\n" + rows);
    const std::string text = exported(ExportFormatKind::Text, "raw.txt");
    EXPECT_EQ(text, "FileName    Description    \r\n" + kInvalidUtf8 + "    \r\n" + kControls + "    " + kNonCharacters
                        + "\r\n=1+1    " + kLoneSurrogate + "\r\n");
    const std::string page = exported(ExportFormatKind::Html, "raw.htm");
    EXPECT_NE(page.find("align=Left>" + kInvalidUtf8 + "</td>"), std::string::npos);
    EXPECT_NE(page.find("align=Left>" + kControls + "</td>"), std::string::npos);
    EXPECT_TRUE(page.starts_with(kHtmlHead));
}

TEST_F(ReadableExportTest, TheHtmlPageDeclaresItsCharset)
{
    const std::string out = dir / "page.htm";
    ASSERT_TRUE(WriteHtml(tree, columns, out, progress).ok());
    const std::string page = ReadFile(out);
    EXPECT_TRUE(page.starts_with("<HTML><HEAD><META charset=\"utf-8\"> <Title></Title><Style type=\"text/css\">"));
}

}  // namespace
}  // namespace vellumark::testing
