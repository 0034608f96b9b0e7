#include "export/xml_export.h"

#include "core/catalog_file.h"
#include "tests/export/export_fixture.h"

namespace vellumark::testing {
namespace {

TEST_F(ExportTest, XmlExportIsTheCatalogsOwnFileWhateverTheColumns)
{
    const std::string catalog = LoadCatalogFile("Disc.xml");
    info.ExportColumns() = {"FileSize"};
    const std::string out = Choose("copy.xml");

    ASSERT_TRUE(ExportXml(info, "Disc").ok());

    EXPECT_EQ(ReadFile(out), ReadFile(catalog));
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_EQ(prompts.requests[0].defaultExtension, ".xml");
    EXPECT_EQ(prompts.requests[0].filter, "XML File|*.XML");
    EXPECT_EQ(prompts.requests[0].initialName, "Disc");
}

TEST_F(ExportTest, XmlExportReplacesAConfirmedFileInsteadOfAppending)
{
    const std::string catalog = LoadCatalogFile("Disc.xml");
    const std::string out = Choose("existing.xml");
    WriteFile(out, std::string(kNewCatalogDocument).replace(kNewCatalogDocument.find("</fileinfo>"), 0,
                                                            "<file FileName=\"stranger\"/>"));
    prompts.yesNoAnswers.push_back(true);

    ASSERT_TRUE(ExportXml(info, "Disc").ok());

    EXPECT_EQ(ReadFile(out), ReadFile(catalog));
    EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"Disc.xml", "existing.xml"}));
}

TEST_F(ExportTest, XmlExportOfANeverOpenedDocumentIsAnEmptyCatalog)
{
    const std::string out = Choose("empty.xml");

    ASSERT_TRUE(ExportXml(info, "").ok());

    XmlDocument written;
    ASSERT_TRUE(written.ParseFile(out).ok());
    EXPECT_EQ(written.DocumentElement().Name(), "fileinfo");
    EXPECT_EQ(written.DocumentElement().Attribute("generated"), "Vellumark");
    EXPECT_EQ(written.DocumentElement().ChildCount(), 0u);
    EXPECT_FALSE(document.IsActive());
}

}  // namespace
}  // namespace vellumark::testing
