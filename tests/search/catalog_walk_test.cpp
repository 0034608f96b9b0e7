#include "search/catalog_walk.h"

#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <unistd.h>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

// The names of a folder in the order the file system lists them.
std::vector<std::string> ListingOrder(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* entry = ::readdir(dir))
        if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
            names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

TEST(CatalogWalk, AGroupListsItsFilesInListingOrderWithEachSubFolderInItsPlace)
{
    TempDir library;
    MakeDirs(library / "Sub/Deeper");
    for (const char* file : {"a.xml", "b.xml", "notes.txt", "Sub/c.xml", "Sub/Deeper/d.xml"})
        WriteFile(library / file, "x");
    ASSERT_EQ(::symlink(library.Path().c_str(), (library / "Sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink("a.xml", (library / "linked.xml").c_str()), 0);

    std::vector<std::string> expected;
    const auto expect = [&](const std::string& folder, const auto& self) -> void {
        for (const std::string& name : ListingOrder(folder)) {
            const std::string path = folder + "/" + name;
            if (name == "Sub" || name == "Deeper")
                self(path, self);
            else if (name != "loop")
                expected.push_back(path);
        }
    };
    expect(library.Path(), expect);

    NullProgress progress;
    const ScopeCatalogs scope = ListScopeCatalogs(library.Path(), true, progress);
    EXPECT_EQ(scope.files, expected);
    EXPECT_EQ(scope.files.size(), 6u);  // the link to a folder is passed over, the link to a file is not
    EXPECT_TRUE(scope.unlistedFolders.empty());
    EXPECT_FALSE(scope.cancelled);
}

TEST(CatalogWalk, OneCatalogIsItsOwnScopeAndAMissingGroupHasNone)
{
    NullProgress progress;
    EXPECT_EQ(ListScopeCatalogs("/somewhere/Disc.xml", false, progress).files,
              std::vector<std::string>{"/somewhere/Disc.xml"});
    TempDir library;
    const ScopeCatalogs missing = ListScopeCatalogs(library / "gone", true, progress);
    EXPECT_TRUE(missing.files.empty());
    EXPECT_TRUE(missing.unlistedFolders.empty());
    // A file where a group was expected cannot be listed, and says so.
    WriteFile(library / "file", "x");
    const ScopeCatalogs notAFolder = ListScopeCatalogs(library / "file", true, progress);
    ASSERT_EQ(notAFolder.unlistedFolders.size(), 1u);
    EXPECT_NE(notAFolder.unlistedFolders[0].reason.find(library / "file"), std::string::npos);
}

TEST(CatalogWalk, CancelStopsTheWalkAndKeepsWhatItReached)
{
    TempDir library;
    for (const char* file : {"a.xml", "b.xml", "c.xml"})
        WriteFile(library / file, "x");
    testing::RecordingProgress progress;
    progress.Begin(true);
    ScopeCatalogs scope = ListScopeCatalogs(library.Path(), true, progress);
    EXPECT_FALSE(scope.cancelled);
    EXPECT_EQ(scope.files.size(), 3u);
    // The path reached is shown before the cancel flag is looked at.
    progress.cancelAfterMessages = static_cast<int>(progress.shownMessages.size()) + 1;
    progress.End();
    progress.Begin(true);
    scope = ListScopeCatalogs(library.Path(), true, progress);
    progress.End();
    EXPECT_TRUE(scope.cancelled);
    EXPECT_TRUE(scope.files.empty());
    EXPECT_EQ(progress.shownMessages.back(), library / ListingOrder(library.Path()).front());
}

}  // namespace
}  // namespace vellumark
