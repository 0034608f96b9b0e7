// Catalog and export names as long as the file system allows, the failure of one beyond that,
// and a catalog that is a symbolic link.
#include "app/cli/cli.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class CliNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDirs(source);
        WriteFile(source + "/track.mp3", "123");
    }

    int Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream outStream;
        std::ostringstream errStream;
        const int code = cli::Run(arguments, outStream, errStream, false);
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    TempDir dir;
    std::string home = dir / "home";
    std::string library = home + "/CatalogLibrary";
    std::string source = dir / "source";
    std::string out;
    std::string err;
};

// 255 bytes is the longest name ext4 and most file systems take; the temporary file beside it
// must not need more.
TEST_F(CliNamesTest, NamesOfTheLongestLengthAreScannedEditedExportedAndRenamedTo)
{
    const std::string longest(251, 'L');  // with ".xml": 255 bytes
    ASSERT_EQ(Cli({"scan", source, "--name", longest}), 0) << err;
    const std::string catalog = library + "/" + longest + ".xml";
    ASSERT_TRUE(PathExists(catalog));
    ASSERT_EQ(Cli({"edit", longest + ".xml", "--entry", source + "/track.mp3", "--description", "long"}), 0) << err;
    EXPECT_NE(ReadFile(catalog).find("Description=\"long\""), std::string::npos);

    const std::string exported = dir / std::string(251, 'E') + ".csv";
    ASSERT_EQ(Cli({"export", longest + ".xml", "--format", "csv", "--out", exported}), 0) << err;
    EXPECT_NE(ReadFile(exported).find("track.mp3"), std::string::npos);
    ASSERT_EQ(Cli({"export", longest + ".xml", "--format", "xlsx", "--out", exported, "--force"}), 0) << err;

    ASSERT_EQ(Cli({"scan", source, "--name", "Short"}), 0) << err;
    const std::string renamed(251, 'R');
    ASSERT_EQ(Cli({"rename", "Short.xml", renamed}), 0) << err;
    ASSERT_EQ(Cli({"edit", renamed + ".xml", "--entry", source + "/track.mp3", "--description", "still editable"}), 0)
        << err;
    EXPECT_NE(ReadFile(library + "/" + renamed + ".xml").find("still editable"), std::string::npos);
    EXPECT_EQ(ListFolder(library).size(), 7u);  // five groups, two catalogs, nothing left beside them
}

TEST_F(CliNamesTest, ANewNameTooLongIsTheOneTheFailureNames)
{
    ASSERT_EQ(Cli({"scan", source, "--name", "Disc"}), 0) << err;
    const std::string tooLong(252, 'T');  // with ".xml": 256 bytes
    EXPECT_EQ(Cli({"rename", "Disc.xml", tooLong}), 1);
    EXPECT_EQ(err.rfind("vellumark-cli: " + library + "/" + tooLong + ".xml: File name too long\n", 0), 0u) << err;
    EXPECT_EQ(Cli({"group", "new", std::string(256, 'G')}), 1);
    EXPECT_NE(err.find(std::string(256, 'G') + ": File name too long"), std::string::npos) << err;
    EXPECT_TRUE(PathExists(library + "/Disc.xml"));
}

// The library lists a link to a catalog file as a catalog; renaming and deleting it act on the
// link, wherever it leads, and never on the file it leads to.
TEST_F(CliNamesTest, ACatalogThatIsALinkIsRenamedAndDeletedAsTheLinkItself)
{
    ASSERT_EQ(Cli({"scan", source, "--name", "Disc"}), 0) << err;
    const std::string outside = dir / "elsewhere";
    MakeDirs(outside);
    ASSERT_EQ(::rename((library + "/Disc.xml").c_str(), (outside + "/Disc.xml").c_str()), 0);
    const std::string bytes = ReadFile(outside + "/Disc.xml");
    ASSERT_EQ(::symlink((outside + "/Disc.xml").c_str(), (library + "/Mp3/Linked.xml").c_str()), 0);
    ASSERT_EQ(Cli({"library"}), 0) << err;
    ASSERT_NE(out.find(library + "/Mp3/Linked.xml"), std::string::npos);

    ASSERT_EQ(Cli({"rename", "Mp3/Linked.xml", "Relinked"}), 0) << err;
    struct stat info {};
    ASSERT_EQ(::lstat((library + "/Mp3/Relinked.xml").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_FALSE(PathExists(library + "/Mp3/Linked.xml"));
    ASSERT_EQ(Cli({"move", "Mp3/Relinked.xml", "DVD"}), 0) << err;
    ASSERT_EQ(Cli({"delete", "DVD/Relinked.xml"}), 0) << err;
    EXPECT_EQ(::lstat((library + "/DVD/Relinked.xml").c_str(), &info), -1);
    EXPECT_EQ(ReadFile(outside + "/Disc.xml"), bytes);
    EXPECT_EQ(ListFolder(outside), std::vector<std::string>{"Disc.xml"});

    // A path that leads outside through a linked group is still refused.
    ASSERT_EQ(::symlink(outside.c_str(), (library + "/Out").c_str()), 0);
    EXPECT_EQ(Cli({"delete", "Out/Disc.xml"}), 2);
    EXPECT_EQ(Cli({"rename", "Out/Disc.xml", "x"}), 2);
    EXPECT_TRUE(PathExists(outside + "/Disc.xml"));
}

}  // namespace
}  // namespace vellumark
