#include "scan/medium_folder.h"

#include "tests/common/test_support.h"
#include "tests/system/fake_volumes.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;

EntryRecord Root(const std::string& name, const std::string& fullPath = {})
{
    EntryRecord record;
    record.SetField(kFileName, name);
    record.SetField(kFullPath, fullPath.empty() ? name : fullPath);
    return record;
}

TEST(MediumFolder, ALabelledRootNameGivesItsLabelAndItsMountRoot)
{
    const auto parsed = [](std::string_view name) {
        const auto labelled = ParseLabelledRootName(name);
        return labelled ? labelled->label + "|" + labelled->path : std::string("none");
    };
    EXPECT_EQ(parsed("MUSIC(/media/cd/)"), "MUSIC|/media/cd/");
    EXPECT_EQ(parsed("Disc (1)(/media/x/)"), "Disc (1)|/media/x/");
    EXPECT_EQ(parsed("ROOTFS(/)"), "ROOTFS|/");
    EXPECT_EQ(parsed("MUSIC(D:\\)"), "MUSIC|D:\\");
    EXPECT_EQ(parsed("/home/me/Music"), "none");
    EXPECT_EQ(parsed("(/media/cd/)"), "none");          // no label
    EXPECT_EQ(parsed("Backup(2004)"), "none");          // a folder name, not a mount
    EXPECT_EQ(parsed("Photos(/media/cd/a)"), "none");   // a scan labels mount roots only
}

TEST(MediumFolder, TheLabelIsLookedUpAmongTodaysMounts)
{
    testing::FakeVolumes volumes;
    volumes.labels = {{"/media/usb", "MUSIC"}, {"/media/other", "FILMS"}};
    std::string folder;
    ASSERT_TRUE(FindMediumFolder(Root("MUSIC(/media/cd/)"), volumes, folder));
    EXPECT_EQ(folder, "/media/usb/");
    // A catalog written on Windows finds its disc too.
    ASSERT_TRUE(FindMediumFolder(Root("FILMS(E:\\)"), volumes, folder));
    EXPECT_EQ(folder, "/media/other/");

    // Two discs of one label: the one where it was scanned, else nothing is guessed.
    volumes.labels["/media/cd"] = "MUSIC";
    ASSERT_TRUE(FindMediumFolder(Root("MUSIC(/media/cd/)"), volumes, folder));
    EXPECT_EQ(folder, "/media/cd/");
    const Status several = FindMediumFolder(Root("MUSIC(/media/dvd/)"), volumes, folder);
    EXPECT_EQ(several.code(), Status::Code::Invalid);
    EXPECT_NE(several.message().find("--from"), std::string::npos);

    const Status missing = FindMediumFolder(Root("BOOKS(/media/cd/)"), volumes, folder);
    EXPECT_EQ(missing.code(), Status::Code::Invalid);
    EXPECT_NE(missing.message().find("BOOKS"), std::string::npos);
}

TEST(MediumFolder, OtherwiseTheRootsPathWhenItIsAnExistingFolder)
{
    TempDir dir;
    MakeDirs(dir / "Music");
    testing::FakeVolumes volumes;
    std::string folder;
    ASSERT_TRUE(FindMediumFolder(Root(dir / "Music"), volumes, folder));
    EXPECT_EQ(folder, dir / "Music");
    ASSERT_TRUE(FindMediumFolder(Root(dir / "Music/"), volumes, folder));
    EXPECT_EQ(folder, dir / "Music");

    // A renamed root, a folder that is gone, a Windows drive, a catalog without entries.
    for (const EntryRecord& root : {Root("My music"), Root(dir / "Gone"), Root("D:\\")})
        EXPECT_EQ(FindMediumFolder(root, volumes, folder).code(), Status::Code::Invalid) << root.Field(kFileName);
    EXPECT_EQ(FindMediumFolder(std::nullopt, volumes, folder).code(), Status::Code::Invalid);
}

TEST(MediumFolder, AFolderIsGivenAsTheFolderChooserGivesIt)
{
    testing::FakeVolumes volumes;
    volumes.labels = {{"/media/cd", ""}};
    EXPECT_EQ(FolderAsChosen("/media/cd", volumes), "/media/cd/");
    EXPECT_EQ(FolderAsChosen("/media/cd//", volumes), "/media/cd/");
    EXPECT_EQ(FolderAsChosen("/home/me/./Music/../Books/", volumes), "/home/me/Books");
    EXPECT_EQ(FolderAsChosen("/", volumes), "/");
}

}  // namespace
}  // namespace vellumark
