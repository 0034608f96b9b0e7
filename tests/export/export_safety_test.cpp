#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/xml_export.h"
#include "services/atomic_file.h"
#include "services/messages.h"
#include "tests/export/export_fixture.h"

#include <functional>

namespace vellumark::testing {
namespace {

struct Writer {
    const char* name;
    const char* file;
    std::function<Status(TFileInfo&, const CatalogTree&)> run;
};

const std::vector<Writer>& Writers()
{
    static const std::vector<Writer> writers = {
        {"html", "out.htm", [](TFileInfo& info, const CatalogTree& tree) { return ExportHtml(info, "", &tree); }},
        {"text", "out.txt",
         [](TFileInfo& info, const CatalogTree& tree) { return ExportText(info, "", kTextSeparator, &tree); }},
        {"csv", "out.csv", [](TFileInfo& info, const CatalogTree& tree) { return ExportCsv(info, "", ",", &tree); }},
        {"xml", "out.xml", [](TFileInfo& info, const CatalogTree&) { return ExportXml(info, ""); }},
        {"xlsx", "out.xlsx", [](TFileInfo& info, const CatalogTree&) { return ExportExcel(info, ""); }},
    };
    return writers;
}

class ExportSafetyTest : public ExportTest {
protected:
    void SetUp() override
    {
        info.ExportColumns() = {"FileName", "FileSize"};
        Gather();
    }
    void TearDown() override { AtomicFile::SetFaultHook(nullptr); }
};

TEST_F(ExportSafetyTest, NoChoiceOrNoToOverwriteWritesNothing)
{
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        const std::string target = dir / writer.file;

        Status status = writer.run(info, tree);
        EXPECT_EQ(status.code(), Status::Code::Cancelled);
        EXPECT_FALSE(PathExists(target));

        WriteFile(target, "old");
        prompts.saveChoices.push_back(target);
        prompts.yesNoAnswers.push_back(false);
        status = writer.run(info, tree);
        EXPECT_EQ(status.code(), Status::Code::Cancelled);
        EXPECT_EQ(prompts.messages.back(), std::string("Warning: ") + messages::kOverwriteCatalog);
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(ListFolder(dir.Path()).size(), 1u);
        ::unlink(target.c_str());
    }
    EXPECT_EQ(progress.shows, 0);
}

TEST_F(ExportSafetyTest, ConfirmedOverwriteReplacesTheFileWhole)
{
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        const std::string target = dir / writer.file;
        WriteFile(target, "old");
        prompts.saveChoices.push_back(target);
        prompts.yesNoAnswers.push_back(true);

        ASSERT_TRUE(writer.run(info, tree).ok());
        const std::string written = ReadFile(target);
        EXPECT_NE(written, "old");
        EXPECT_GT(written.size(), 20u);
        ::unlink(target.c_str());
        EXPECT_TRUE(ListFolder(dir.Path()).empty());
    }
}

TEST_F(ExportSafetyTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    for (const AtomicFile::Step failing : {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Rename}) {
        AtomicFile::SetFaultHook([failing](AtomicFile::Step step) { return step == failing; });
        for (const Writer& writer : Writers()) {
            if (std::string_view(writer.name) == "xlsx")
                continue;  // the workbook library writes its own file; see the workbook tests
            SCOPED_TRACE(std::string(writer.name) + " step " + std::to_string(static_cast<int>(failing)));
            const std::string target = dir / writer.file;
            WriteFile(target, "old");
            prompts.saveChoices.push_back(target);
            prompts.yesNoAnswers.push_back(true);

            const Status status = writer.run(info, tree);
            EXPECT_EQ(status.code(), Status::Code::Failed);
            EXPECT_NE(status.message().find(target), std::string::npos) << status.message();
            EXPECT_EQ(ReadFile(target), "old");
            EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{writer.file});
            ::unlink(target.c_str());
        }
    }
    EXPECT_EQ(progress.shows, progress.hides);
}

TEST_F(ExportSafetyTest, UnwritableFolderFailsWithTheReason)
{
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        const std::string target = dir / (std::string("missing/") + writer.file);
        prompts.saveChoices.push_back(target);

        const Status status = writer.run(info, tree);
        EXPECT_EQ(status.code(), Status::Code::Failed);
        EXPECT_NE(status.message().find(target), std::string::npos) << status.message();
        EXPECT_TRUE(ListFolder(dir.Path()).empty());
    }
}

}  // namespace
}  // namespace vellumark::testing
