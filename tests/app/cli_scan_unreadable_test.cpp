#include "app/cli/cli.h"
#include "system/folder_listing.h"
#include "tests/common/test_support.h"
#include "tests/system/permissions_bite.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <sstream>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(CliScan, WritesTheCatalogAndCountsWhatItCouldNotReadOnStderr)
{
    TempDir dir;
    const std::string source = dir / "source";
    MakeDirs(source + "/locked/inner");
    MakeDirs(source + "/closed");
    WriteFile(source + "/closed/a", "1");
    WriteFile(source + "/kept.txt", "1234");
    ASSERT_EQ(::chmod((source + "/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod((source + "/closed").c_str(), 0), 0);

    std::ostringstream out;
    std::ostringstream err;
    int code = -1;
    {
        testing::PermissionsBite permissions;
        if (FolderHandle::Open(source + "/locked").IsOpen()) {
            ::chmod((source + "/locked").c_str(), 0755);
            ::chmod((source + "/closed").c_str(), 0755);
            GTEST_SKIP() << "file permissions cannot be made to apply to this process";
        }
        code = cli::Run({"--home", dir / "home", "scan", source, "--name", "Disc"}, out, err, false);
    }
    ::chmod((source + "/locked").c_str(), 0755);
    ::chmod((source + "/closed").c_str(), 0755);

    EXPECT_EQ(code, 0);
    const std::string catalog = dir / "home/CatalogLibrary/Disc.xml";
    EXPECT_EQ(out.str(), catalog + "\n");
    EXPECT_EQ(err.str(), "vellumark-cli: 2 entries could not be read and are missing from the catalog.\n");
    const std::string text = ReadFile(catalog);
    EXPECT_NE(text.find("FileName=\"kept.txt\""), std::string::npos);
    EXPECT_NE(text.find("FileName=\"locked\""), std::string::npos);
    EXPECT_EQ(text.find("FileName=\"inner\""), std::string::npos);
}

}  // namespace
}  // namespace vellumark
