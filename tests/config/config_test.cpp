#include "config/config.h"

#include "core/path_names.h"
#include "config/default_config.h"
#include "config/program_folder.h"
#include "services/atomic_file.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetProgramFolder(home_.Path()));
        ResetConfigInstance();
    }
    void TearDown() override
    {
        AtomicFile::SetFaultHook(nullptr);
        ResetConfigInstance();
    }
    std::string ConfigPath() const { return home_ / "VellumarkConfig.xml"; }

    TempDir home_;
};

TEST_F(ConfigFile, FirstRunWritesTheDefaultFileAndLoadsIt)
{
    Configuration& config = ConfigInstance();
    EXPECT_EQ(config.GetConfigFileName(), ConfigPath());
    EXPECT_EQ(config.GetLibraryPath(), home_ / "CatalogLibrary");
    EXPECT_EQ(ReadFile(ConfigPath()), DefaultConfigText());
    EXPECT_EQ(ListFolder(home_.Path()), std::vector<std::string>{"VellumarkConfig.xml"});
    EXPECT_TRUE(config.Root().Frame().Maximized());
    EXPECT_EQ(config.Root().Columns().Count(), 11u);
    EXPECT_EQ(&ConfigInstance(), &config);
}

TEST_F(ConfigFile, AnExistingFileIsLoadedNotReplaced)
{
    const std::string own = R"(<config versionNo="x"><frame max="False" left="5"/><nodes/></config>)";
    WriteFile(ConfigPath(), own);
    EXPECT_EQ(ConfigInstance().Root().Frame().Left(), 5);
    EXPECT_EQ(ConfigInstance().Root().VersionNo(), "x");
    EXPECT_EQ(ReadFile(ConfigPath()), own);
}

TEST_F(ConfigFile, ChangesReachTheFileOnlyOnSaveAndSurviveAReload)
{
    ConfigInstance();
    ConfigRoot view = ConfigInstance().Root();
    view.Frame().SetMaximized(false);
    view.Frame().SetWidth(1024);
    view.Frame().LeftPane().SetWidth(280);
    view.Frame().DetailPane().SetValueColumnWidth(155);
    view.Columns().Column(5).SetVisible(true);
    view.Columns().Column(7).SetDefaultExport(true);
    view.Columns().Column(0).SetIndex(3);
    EXPECT_EQ(ReadFile(ConfigPath()), DefaultConfigText());

    ASSERT_TRUE(ConfigInstance().SaveConfig());
    const std::string saved = ReadFile(ConfigPath());
    EXPECT_EQ(saved.rfind(R"(<config versionNo="Vellumark V4.0">)", 0), 0u) << saved.substr(0, 60);
    EXPECT_EQ(saved.find("<?xml"), std::string::npos);

    ResetConfigInstance();
    const ConfigRoot reloaded = ConfigInstance().Root();
    EXPECT_FALSE(reloaded.Frame().Maximized());
    EXPECT_EQ(reloaded.Frame().Width(), 1024);
    EXPECT_EQ(reloaded.Frame().Height(), 600);
    EXPECT_EQ(reloaded.Frame().LeftPane().Width(), 280);
    EXPECT_EQ(reloaded.Frame().DetailPane().ValueColumnWidth(), 155);
    EXPECT_TRUE(reloaded.Columns().Column(5).Visible());
    EXPECT_TRUE(reloaded.Columns().Column(7).DefaultExport());
    EXPECT_EQ(reloaded.Columns().Column(0).Index(), 3);
    EXPECT_EQ(reloaded.Columns().Column(10).Name(), "DiskName");
    EXPECT_EQ(reloaded.VersionNo(), "Vellumark V4.0");
}

TEST_F(ConfigFile, SaveWritesTheFileAgainAfterItWasDeleted)
{
    ConfigInstance().Root().Columns().Column(1).SetWidth(99);
    std::filesystem::remove(ConfigPath());
    ASSERT_TRUE(ConfigInstance().SaveConfig());
    ResetConfigInstance();
    EXPECT_EQ(ConfigInstance().Root().Columns().Column(1).Width(), 99);
}

TEST_F(ConfigFile, MalformedFileIsReportedAndLeftAlone)
{
    const std::string broken = "<config versionNo=\"Vellumark V4.0\"><frame max=\"True\">\t<nodes>";
    WriteFile(ConfigPath(), broken);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            ConfigInstance();
            FAIL() << "a malformed file was accepted";
        } catch (const ConfigError& error) {
            EXPECT_NE(std::string(error.what()).find(ConfigPath()), std::string::npos) << error.what();
        }
        EXPECT_EQ(ReadFile(ConfigPath()), broken);
    }
    // Once the user repairs the file, the next use loads it.
    WriteFile(ConfigPath(), DefaultConfigText());
    EXPECT_EQ(ConfigInstance().Root().Columns().Count(), 11u);
}

TEST_F(ConfigFile, OtherRootElementOrEmptyFileIsRefused)
{
    WriteFile(ConfigPath(), "<fileinfo/>");
    EXPECT_THROW(ConfigInstance(), ConfigError);
    WriteFile(ConfigPath(), "");
    EXPECT_THROW(ConfigInstance(), ConfigError);
    EXPECT_EQ(ReadFile(ConfigPath()), "");
}

TEST_F(ConfigFile, FailedFirstWriteKeepsNoInstanceAndIsRetried)
{
    AtomicFile::SetFaultHook([](AtomicFile::Step step) { return step == AtomicFile::Step::Write; });
    EXPECT_THROW(ConfigInstance(), ConfigError);
    EXPECT_FALSE(PathExists(ConfigPath()));
    EXPECT_TRUE(ListFolder(home_.Path()).empty());

    AtomicFile::SetFaultHook(nullptr);
    EXPECT_EQ(ConfigInstance().Root().Frame().Width(), 800);
    EXPECT_EQ(ReadFile(ConfigPath()), DefaultConfigText());
}

TEST_F(ConfigFile, FailedSaveKeepsTheOldFileAndReportsIt)
{
    ConfigInstance().Root().Frame().SetTop(77);
    for (AtomicFile::Step failing : {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync,
                                     AtomicFile::Step::Rename}) {
        AtomicFile::SetFaultHook([failing](AtomicFile::Step step) { return step == failing; });
        const Status status = ConfigInstance().SaveConfig();
        EXPECT_FALSE(status.ok());
        EXPECT_NE(status.message().find(ConfigPath()), std::string::npos) << status.message();
        EXPECT_EQ(ReadFile(ConfigPath()), DefaultConfigText());
        EXPECT_EQ(ListFolder(home_.Path()), std::vector<std::string>{"VellumarkConfig.xml"});
    }
    // The change is still in memory and reaches the disk at the next successful save.
    AtomicFile::SetFaultHook(nullptr);
    ASSERT_TRUE(ConfigInstance().SaveConfig());
    ResetConfigInstance();
    EXPECT_EQ(ConfigInstance().Root().Frame().Top(), 77);
}

class ProgramFolderRule : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (savedXdg_)
            ::setenv("XDG_DATA_HOME", savedXdg_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    void SetXdgDataHome(const std::string& value)
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            savedXdg_ = old;
        ::setenv("XDG_DATA_HOME", value.c_str(), 1);
    }

    std::optional<std::string> savedXdg_;
    TempDir temp_;
};

TEST_F(ProgramFolderRule, WritableExecutableFolderIsTheProgramFolder)
{
    EXPECT_EQ(ProgramFolderFor(temp_ / "vellumark"), temp_.Path());
}

TEST_F(ProgramFolderRule, UnusableExecutableFolderFallsBackToUserDataFolder)
{
    SetXdgDataHome(temp_ / "data");
    EXPECT_EQ(ProgramFolderFor(temp_ / "no-such-folder/vellumark"), temp_ / "data/vellumark");
    EXPECT_TRUE(std::filesystem::is_directory(temp_ / "data/vellumark"));
}

// Run as root, /usr/bin is writable: the rule must not depend on that.
TEST_F(ProgramFolderRule, AnExecutableBelowUsrUsesTheUserDataFolderEvenWhereItCouldWrite)
{
    SetXdgDataHome(temp_ / "data");
    for (const char* exe : {"/usr/bin/vellumark", "/usr/local/bin/vellumark-cli", "/usr/bin/../bin/vellumark"})
        EXPECT_EQ(ProgramFolderFor(exe), temp_ / "data/vellumark") << exe;
    // A path that passes through /usr only by name counts where it leads.
    EXPECT_EQ(ProgramFolderFor("/usr/.." + (temp_ / "vellumark")), temp_.Path());
}

TEST_F(ProgramFolderRule, OverrideIsMadeAbsoluteAndCreated)
{
    const std::string nested = temp_ / "a/b/home/";
    ASSERT_TRUE(SetProgramFolder(nested));
    EXPECT_EQ(ProgramFolder(), temp_ / "a/b/home");
    EXPECT_TRUE(std::filesystem::is_directory(nested));

    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(temp_.Path());
    const Status relative = SetProgramFolder("rel/./x");
    std::filesystem::current_path(before);
    ASSERT_TRUE(relative);
    EXPECT_EQ(ProgramFolder(), temp_ / "rel/x");

    WriteFile(temp_ / "plain", "x");
    EXPECT_FALSE(SetProgramFolder(temp_ / "plain"));
    EXPECT_FALSE(SetProgramFolder(""));
    EXPECT_EQ(ProgramFolder(), temp_ / "rel/x");
}

TEST_F(ProgramFolderRule, ResetInstanceFollowsTheNewFolder)
{
    ASSERT_TRUE(SetProgramFolder(temp_ / "one"));
    ResetConfigInstance();
    EXPECT_EQ(ConfigInstance().GetLibraryPath(), temp_ / "one/CatalogLibrary");
    ASSERT_TRUE(SetProgramFolder(temp_ / "two"));
    EXPECT_EQ(ConfigInstance().GetLibraryPath(), temp_ / "one/CatalogLibrary");
    ResetConfigInstance();
    EXPECT_EQ(ConfigInstance().GetConfigFileName(), temp_ / "two/VellumarkConfig.xml");
    EXPECT_TRUE(PathExists(temp_ / "two/VellumarkConfig.xml"));
    ResetConfigInstance();
}

TEST(JoinPathRule, PutsExactlyOneSlash)
{
    EXPECT_EQ(JoinPath("/home/u", "x"), "/home/u/x");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
}

}  // namespace
}  // namespace vellumark
