#include "library/library_ops.h"
#include "tests/common/test_support.h"
#include "tests/system/fake_volumes.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::TempDir;
using testing::WriteFile;

// A group holding a mount point cannot go as a whole: everything else in it goes, the mount
// point is emptied and kept with the folders above it, and the failure says which it was.
TEST(LibraryDeleteMount, AGroupHoldingAMountPointIsEmptiedAroundItAndTheFailureNamesIt)
{
    TempDir dir;
    const std::string group = dir / "CatalogLibrary/Group";
    for (const char* folder : {"aaa", "sub/disc/inner", "sub/other", "zzz"})
        MakeDirs(group + "/" + folder);
    for (const char* file : {"aaa/a.xml", "sub/disc/track", "sub/disc/inner/deep", "sub/other/o.xml", "zzz/z.xml", "top.xml"})
        WriteFile(group + "/" + file, "x");
    testing::FakeVolumes volumes;
    volumes.labels[group + "/sub/disc"] = "";

    const Status status = DeleteFolderTree(group, volumes);
    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_EQ(status.message(), group + ": not removed: the mount point \"" + group + "/sub/disc\" inside was emptied and kept");
    EXPECT_EQ(ListFolder(group), std::vector<std::string>{"sub"});
    EXPECT_EQ(ListFolder(group + "/sub"), std::vector<std::string>{"disc"});
    EXPECT_TRUE(ListFolder(group + "/sub/disc").empty());

    // Two of them are both named.
    MakeDirs(group + "/more/card");
    volumes.labels[group + "/more/card"] = "CARD";
    const Status both = DeleteFolderTree(group, volumes);
    EXPECT_NE(both.message().find("mount points \""), std::string::npos) << both.message();
    EXPECT_NE(both.message().find(group + "/sub/disc\""), std::string::npos) << both.message();
    EXPECT_NE(both.message().find(group + "/more/card\""), std::string::npos) << both.message();
    EXPECT_TRUE(PathExists(group + "/more/card"));
}

}  // namespace
}  // namespace vellumark
