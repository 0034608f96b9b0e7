#include "scan/disk_name.h"
#include "tests/scan/fake_volumes.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

TEST(ExtensionOf, TextAfterTheLastDotUnlessASeparatorFollows)
{
    EXPECT_EQ(ExtensionOf("/music/a.b.mp3"), "mp3");
    EXPECT_EQ(ExtensionOf("/music/A.MP3"), "MP3");
    EXPECT_EQ(ExtensionOf("/my.dir/readme"), "");
    EXPECT_EQ(ExtensionOf("a.b.c"), "c");
    EXPECT_EQ(ExtensionOf("name.:x"), "");
    EXPECT_EQ(ExtensionOf("trailing."), "");
    EXPECT_EQ(ExtensionOf("readme"), "");
}

class DiskNames : public ::testing::Test {
protected:
    DiskNames()
    {
        volumes.labels["/media/cd"] = "MUSIC";
        volumes.labels["/mnt/backup"] = "";
        volumes.labels["/"] = "";
    }
    testing::FakeVolumes volumes;
};

TEST_F(DiskNames, LabelledMountRootGivesItsLabel)
{
    EXPECT_EQ(DiskNameFromPath("/media/cd/", volumes), "MUSIC");
    EXPECT_EQ(DiskNameFromPath("/media/cd", volumes), "MUSIC");
    EXPECT_EQ(VolumeLabelOf("/media/cd/", volumes), "MUSIC");
    EXPECT_EQ(ScanRootName("/media/cd/", volumes), "MUSIC(/media/cd/)");
}

TEST_F(DiskNames, UnlabelledMountRootGivesItsLastComponent)
{
    EXPECT_EQ(DiskNameFromPath("/mnt/backup/", volumes), "backup");
    EXPECT_EQ(DiskNameFromPath("/", volumes), "root");
    EXPECT_EQ(VolumeLabelOf("/mnt/backup/", volumes), "");
    EXPECT_EQ(ScanRootName("/mnt/backup/", volumes), "/mnt/backup/");
}

TEST_F(DiskNames, OtherPathsGiveTheLastComponentBeforeItsFirstDot)
{
    EXPECT_EQ(DiskNameFromPath("/home/me/Photos/2004.06 Rome", volumes), "2004");
    EXPECT_EQ(DiskNameFromPath("/lib/CatalogLibrary/Mp3/Best of 2004.xml", volumes), "Best of 2004");
    EXPECT_EQ(DiskNameFromPath("/lib/My.Disc.xml", volumes), "My");
    EXPECT_EQ(DiskNameFromPath("/home/me/folder/", volumes), "");
    EXPECT_EQ(VolumeLabelOf("/media/cd/sub", volumes), "");
    EXPECT_EQ(ScanRootName("/media/cd/sub", volumes), "/media/cd/sub");
}

TEST(MountTable, ParsesMountPointsTypesAndSourcesWithEscapes)
{
    const auto mounts = ParseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:5 / /proc rw - proc proc rw\n"
        "40 22 11:0 / /media/my\\040disc ro master:3 - iso9660 /dev/sr0 ro\n"
        "broken line\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fileSystem, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
    EXPECT_EQ(mounts[2].mountPoint, "/media/my disc");
    EXPECT_EQ(mounts[2].fileSystem, "iso9660");

    const LinuxVolumeInfo volumes(mounts);
    EXPECT_TRUE(volumes.IsMountRoot("/media/my disc/"));
    EXPECT_TRUE(volumes.IsMountRoot("/"));
    EXPECT_FALSE(volumes.IsMountRoot("/proc"));  // a pseudo file system is no drive
    EXPECT_FALSE(volumes.IsMountRoot("/media"));
    EXPECT_TRUE(IsPseudoFileSystem("sysfs"));
    EXPECT_FALSE(IsPseudoFileSystem("vfat"));
}

TEST(MountTable, TheLiveTableKnowsTheRootFolder)
{
    // Every Linux system mounts something real at "/" (in a container, an overlay).
    const LinuxVolumeInfo volumes;
    EXPECT_TRUE(volumes.IsMountRoot("/"));
    EXPECT_FALSE(volumes.IsMountRoot("/definitely/not/a/mount/point"));
    EXPECT_EQ(volumes.LabelOf("/definitely/not/a/mount/point"), "");
}

}  // namespace
}  // namespace vellumark
