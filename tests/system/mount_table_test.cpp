#include "system/mount_table.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

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
