#include "scan/disk_name.h"
#include "tests/system/fake_volumes.h"

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

}  // namespace
}  // namespace vellumark
