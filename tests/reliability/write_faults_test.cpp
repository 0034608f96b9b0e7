#include "app/cli/cli.h"
#include "config/config.h"
#include "config/program_folder.h"
#include "core/catalog_file.h"
#include "export/export_formats.h"
#include "services/atomic_file.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Every file of a folder with its bytes: a write that failed must leave this exactly as it was,
// the old file whole and no temporary file beside it.
std::map<std::string, std::string> FolderState(const std::string& folder)
{
    std::map<std::string, std::string> state;
    for (const std::string& name : testing::ListFolder(folder))
        state[name] = ReadFile(folder + "/" + name);
    return state;
}

// A catalog big enough that its file is written in several chunks, so that a write can fail
// with part of the new file already in the temporary file.
void FillLargeCatalog(CatalogTree& tree, int files)
{
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, "Disc");
    root->record.SetField(kFullPath, "/media/Disc");
    root->record.SetField(kFileType, kKindDirectory);
    for (int i = 0; i < files; ++i) {
        CatalogTreeNode* node = tree.Append(root);
        const std::string name = "track number " + std::to_string(i) + " of a long enough name.mp3";
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, "/media/Disc/" + name);
        node->record.SetField(kFileSize, std::to_string(i * 1000));
        node->record.SetField(kFileType, kKindFile);
        node->record.SetField(kFileExt, "mp3");
        node->record.SetField(kDescription, "a <description> & more");
    }
}

struct SweepResult {
    int points = 0;             // writes that were made to fail
    bool finished = false;      // the run without a fault succeeded
};

// Makes the 1st, 2nd, ... step of the writer's file writes fail in turn (file creation, each
// chunk written, sync, rename), until a run passes every step. After each failed run the
// folder must be as it was and the failure reported with a message. `prepare` puts the old
// state in place before every run.
SweepResult SweepWriteFaults(const std::string& folder, const std::function<void()>& prepare,
                             const std::function<Status()>& run)
{
    SweepResult result;
    for (int failing = 1; failing < 1000; ++failing) {
        prepare();
        const auto before = FolderState(folder);
        int steps = 0;
        AtomicFile::SetFaultHook([&steps, failing](AtomicFile::Step) { return ++steps == failing; });
        const Status status = run();
        AtomicFile::SetFaultHook(nullptr);
        if (steps < failing) {
            EXPECT_TRUE(status.ok()) << status.message();
            result.finished = true;
            return result;
        }
        ++result.points;
        EXPECT_EQ(status.code(), Status::Code::Failed) << "fault at step " << failing;
        EXPECT_FALSE(status.message().empty()) << "fault at step " << failing;
        const auto after = FolderState(folder);
        EXPECT_EQ(after.size(), before.size()) << "fault at step " << failing;
        EXPECT_TRUE(after == before) << "fault at step " << failing << " changed the folder";
    }
    return result;
}

class WriteFaults : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::SetFaultHook(nullptr); }

    // Counts every injected point over all the writers; printed once at the end. Writers make
    // at least four points (create, one write, sync, rename); the workbook library writes its
    // file itself, which leaves three.
    static void Count(const char* writer, const SweepResult& result, int atLeast = 4)
    {
        EXPECT_TRUE(result.finished) << writer;
        EXPECT_GE(result.points, atLeast) << writer;
        total_ += result.points;
        std::printf("%-28s %3d injected failures\n", writer, result.points);
    }
    static void TearDownTestSuite() { std::printf("all writers: %d injected failures\n", total_); }

    TempDir dir;
    NullProgress progress;
    CatalogTree tree;
    static int total_;
};
int WriteFaults::total_ = 0;

TEST_F(WriteFaults, CatalogSaves)
{
    FillLargeCatalog(tree, 20000);
    const std::string target = dir / "Disc.xml";
    const auto putOld = [&] { WriteFile(target, "<fileinfo generated=\"Vellumark\"></fileinfo>"); };

    Count("catalog save", SweepWriteFaults(dir.Path(), putOld, [&] { return WriteCatalogFile(tree, target, progress); }));
    CatalogTree reread;
    ASSERT_TRUE(ReadCatalogFile(target, reread, progress));
    EXPECT_EQ(reread.NodeCount(), tree.NodeCount());
}

TEST_F(WriteFaults, ConfigurationSave)
{
    ASSERT_TRUE(SetProgramFolder(dir.Path()));
    ResetConfigInstance();
    const std::string file = dir / "VellumarkConfig.xml";
    const auto putOld = [&] {
        ResetConfigInstance();
        WriteFile(file, "<config versionNo=\"old\"><frame max=\"True\" left=\"1\" top=\"2\" height=\"3\" width=\"4\"/>"
                        "<nodes/></config>");
        ConfigInstance().Root().Frame().SetLeft(99);
    };
    Count("configuration save", SweepWriteFaults(dir.Path(), putOld, [] { return ConfigInstance().SaveConfig(); }));
    ResetConfigInstance();
    EXPECT_EQ(ConfigInstance().Root().Frame().Left(), 99);
    // The first run's default file is a write as well.
    const auto noFile = [&] { ResetConfigInstance(); std::remove(file.c_str()); };
    Count("default configuration", SweepWriteFaults(dir.Path(), noFile, [] {
              try {
                  ConfigInstance();
                  return Status::Ok();
              } catch (const ConfigError& error) {
                  return Status::Failed(error.what());
              }
          }));
    ResetConfigInstance();
}

TEST_F(WriteFaults, Exports)
{
    FillLargeCatalog(tree, 20000);
    const std::string catalog = dir / "source/Disc.xml";
    testing::MakeDirs(dir / "source");
    ASSERT_TRUE(WriteCatalogFile(tree, catalog, progress));
    const std::string out = dir / "out";
    testing::MakeDirs(out);
    for (const ExportFormat& format : ExportFormats()) {
        for (const bool fromCatalog : {false, true}) {
            const std::string name = std::string(format.name) + (fromCatalog ? " of a catalog" : " of the screen");
            const std::string target = out + "/export" + std::string(format.extension);
            const auto putOld = [&] { WriteFile(target, "the previous export"); };
            ExportJob job;
            job.format = format.kind;
            job.catalogPath = fromCatalog ? catalog : std::string();
            job.screen = &tree;
            job.columns = {"FileName", "FullPath", "FileSize", "Description"};
            job.outputPath = target;
            Count(name.c_str(), SweepWriteFaults(out, putOld, [&] { return RunExport(job, progress); }),
                  format.kind == ExportFormatKind::Excel ? 3 : 4);
            EXPECT_NE(ReadFile(target), "the previous export") << name;
        }
    }
}

// The command-line tool reports a failed write on stderr with exit code 1 and keeps the file.
TEST_F(WriteFaults, CommandLineReportsFailedWrites)
{
    const std::string home = dir / "home";
    const std::string media = dir / "media";
    testing::MakeDirs(media);
    WriteFile(media + "/a.mp3", "abc");
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"--home", home, "scan", media, "--name", "Disc"}, out, err, false), 0) << err.str();
    const std::string catalog = home + "/CatalogLibrary/Disc.xml";
    const std::string before = ReadFile(catalog);
    for (const AtomicFile::Step step :
         {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync, AtomicFile::Step::Rename}) {
        AtomicFile::SetFaultHook([step](AtomicFile::Step at) { return at == step; });
        std::ostringstream out2, err2;
        EXPECT_EQ(cli::Run({"--home", home, "edit", "Disc.xml", "--entry", media, "--description", "new"},
                           out2, err2, false), 1);
        EXPECT_NE(err2.str().find("Disc.xml"), std::string::npos) << err2.str();
        std::ostringstream out3, err3;
        EXPECT_EQ(cli::Run({"--home", home, "export", "Disc.xml", "--format", "csv", "--out", dir / "x.csv"},
                           out3, err3, false), 1);
        EXPECT_FALSE(err3.str().empty());
        AtomicFile::SetFaultHook(nullptr);
        EXPECT_EQ(ReadFile(catalog), before);
        EXPECT_EQ(testing::ListFolder(home + "/CatalogLibrary").size(), 6u);  // five groups and the catalog
        EXPECT_FALSE(testing::PathExists(dir / "x.csv"));
    }
    ResetConfigInstance();
}

}  // namespace
}  // namespace vellumark
