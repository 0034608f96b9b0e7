#include "export/export_formats.h"
#include "services/atomic_file.h"
#include "tests/export/export_fixture.h"

namespace vellumark::testing {
namespace {

class ExportSafetyTest : public ExportTest {
protected:
    void SetUp() override { columns = {"FileName", "FileSize"}; }
    void TearDown() override { AtomicFile::SetFaultHook(nullptr); }

    static std::string FileOf(const ExportFormat& format) { return "out" + std::string(format.extension); }
};

// The one table the export dialog and the command-line tool take their formats from.
TEST(ExportFormatTable, NamesExtensionsAndFiltersOfTheFiveFormats)
{
    const std::tuple<ExportFormatKind, const char*, const char*, const char*> expected[] = {
        {ExportFormatKind::Html, "html", ".htm", "HTML File|*.htm"},
        {ExportFormatKind::Text, "text", ".txt", "Text File|*.txt"},
        {ExportFormatKind::Csv, "csv", ".csv", "CSV File|*.csv"},
        {ExportFormatKind::Xml, "xml", ".xml", "XML File|*.XML"},
        {ExportFormatKind::Excel, "xlsx", ".xlsx", "EXCEL File|*.xlsx"},
    };
    ASSERT_EQ(ExportFormats().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& [kind, name, extension, filter] = expected[i];
        const ExportFormat& format = ExportFormats()[i];
        EXPECT_EQ(format.kind, kind);
        EXPECT_EQ(format.name, name);
        EXPECT_EQ(format.extension, extension);
        EXPECT_EQ(format.filter, filter);
        EXPECT_EQ(&ExportFormatOf(kind), &format);
        EXPECT_EQ(FindExportFormat(name), &format);
    }
    EXPECT_EQ(FindExportFormat("doc"), nullptr);
    EXPECT_EQ(FindExportFormat("HTML"), nullptr);
}

TEST_F(ExportSafetyTest, AnExistingFileIsReplacedWhole)
{
    const std::string catalog = WriteCatalog("Disc.xml");
    for (const ExportFormat& format : ExportFormats()) {
        for (const bool fromCatalog : {false, true}) {
            SCOPED_TRACE(std::string(format.name) + (fromCatalog ? " of a catalog" : " of the screen"));
            const std::string target = dir / FileOf(format);
            WriteFile(target, "old");

            ASSERT_TRUE(Export(format.kind, target, fromCatalog ? catalog : std::string()).ok());
            const std::string written = ReadFile(target);
            EXPECT_NE(written, "old");
            EXPECT_GT(written.size(), 20u);
            ::unlink(target.c_str());
            EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"Disc.xml"});
        }
    }
}

TEST_F(ExportSafetyTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    const std::string catalog = WriteCatalog("Disc.xml");
    for (const AtomicFile::Step failing : {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync,
                                           AtomicFile::Step::Rename}) {
        AtomicFile::SetFaultHook([failing](AtomicFile::Step step) { return step == failing; });
        for (const ExportFormat& format : ExportFormats()) {
            // The workbook library writes its file itself: no write goes through the file.
            if (format.kind == ExportFormatKind::Excel && failing == AtomicFile::Step::Write)
                continue;
            for (const bool fromCatalog : {false, true}) {
                SCOPED_TRACE(std::string(format.name) + (fromCatalog ? " of a catalog" : " of the screen") + ", step "
                             + std::to_string(static_cast<int>(failing)));
                const std::string target = dir / FileOf(format);
                WriteFile(target, "old");

                const Status status = Export(format.kind, target, fromCatalog ? catalog : std::string());
                EXPECT_EQ(status.code(), Status::Code::Failed);
                EXPECT_NE(status.message().find(target), std::string::npos) << status.message();
                EXPECT_EQ(ReadFile(target), "old");
                EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"Disc.xml", FileOf(format)}));
                ::unlink(target.c_str());
            }
        }
    }
    EXPECT_EQ(progress.shows, progress.hides);
}

TEST_F(ExportSafetyTest, UnwritableFolderFailsWithTheReason)
{
    for (const ExportFormat& format : ExportFormats()) {
        SCOPED_TRACE(format.name);
        const std::string target = dir / ("missing/" + FileOf(format));

        const Status status = Export(format.kind, target);
        EXPECT_EQ(status.code(), Status::Code::Failed);
        EXPECT_NE(status.message().find(target), std::string::npos) << status.message();
        EXPECT_TRUE(ListFolder(dir.Path()).empty());
    }
}

}  // namespace
}  // namespace vellumark::testing
