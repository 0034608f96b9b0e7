#include "export/xml_export.h"

#include "tests/export/export_fixture.h"

namespace vellumark::testing {
namespace {

TEST_F(ExportTest, XmlExportOfACatalogIsItsOwnFileWhateverTheColumns)
{
    const std::string catalog = WriteCatalog("Disc.xml");
    columns = {"FileSize"};
    const std::string out = dir / "copy.xml";

    ASSERT_TRUE(Export(ExportFormatKind::Xml, out, catalog).ok());

    EXPECT_EQ(ReadFile(out), ReadFile(catalog));
    EXPECT_EQ(progress.shownMessages, std::vector<std::string>{"Export to file.."});
}

// What the program does not know travels with the catalog: other attributes, other element
// names, comments, white space, the declaration as written.
TEST_F(ExportTest, XmlExportCopiesACatalogByteForByte)
{
    const std::string catalog = dir / "Hand.xml";
    const std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> \r\n"
                             "<fileinfo generated=\"Vellumark\" Owner='me'><!-- kept -->\n"
                             "  <file FileName=\"a\" Rating=\"5\" FullPath=\"&#x2F;a\"><extra Note=\"x &gt; y\"/></file>\n"
                             "</fileinfo>\n";
    WriteFile(catalog, text);
    const std::string out = dir / "copy.xml";

    ASSERT_TRUE(CopyCatalogFile(catalog, out, progress).ok());
    EXPECT_EQ(ReadFile(out), text);
}

TEST_F(ExportTest, XmlExportOfABrokenCatalogFailsAndKeepsTheOldFile)
{
    const std::string catalog = dir / "Broken.xml";
    WriteFile(catalog, "<fileinfo><file FileName=\"a\"></fileinfo>");
    const std::string out = dir / "existing.xml";
    WriteFile(out, "old");

    const Status status = Export(ExportFormatKind::Xml, out, catalog);

    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_NE(status.message().find("Broken.xml"), std::string::npos) << status.message();
    EXPECT_EQ(ReadFile(out), "old");
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"Broken.xml", "existing.xml"}));
    EXPECT_EQ(Export(ExportFormatKind::Xml, out, dir / "missing.xml").code(), Status::Code::Failed);
    EXPECT_EQ(ReadFile(out), "old");
}

TEST_F(ExportTest, XmlExportReplacesAnExistingFileInsteadOfAppending)
{
    const std::string catalog = WriteCatalog("Disc.xml");
    const std::string out = dir / "existing.xml";
    WriteFile(out, "<fileinfo generated=\"Vellumark\"><file FileName=\"stranger\"/></fileinfo>");

    ASSERT_TRUE(Export(ExportFormatKind::Xml, out, catalog).ok());

    EXPECT_EQ(ReadFile(out), ReadFile(catalog));
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"Disc.xml", "existing.xml"}));
}

TEST_F(ExportTest, XmlExportOfTheScreenIsTheCatalogFileOfItsTree)
{
    const std::string saved = WriteCatalog("Disc.xml");
    const std::string out = dir / "screen.xml";

    ASSERT_TRUE(Export(ExportFormatKind::Xml, out).ok());
    EXPECT_EQ(ReadFile(out), ReadFile(saved));

    ExportJob nothing;
    nothing.format = ExportFormatKind::Xml;
    nothing.outputPath = dir / "empty.xml";
    ASSERT_TRUE(RunExport(nothing, progress).ok());
    EXPECT_EQ(ReadFile(nothing.outputPath),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\"/>");
}

}  // namespace
}  // namespace vellumark::testing
