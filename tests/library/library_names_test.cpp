#include "library/library_names.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

TEST(CatalogNameFromPath, FromTheLibraryOnCutBeforeTheLastDot)
{
    EXPECT_EQ(CatalogNameFromPath("/opt/vm/CatalogLibrary/Mp3/Best of 2004.xml"), "CatalogLibrary/Mp3/Best of 2004");
    EXPECT_EQ(CatalogNameFromPath("/opt/vm/CatalogLibrary/Mp3"), "CatalogLibrary/Mp3");
    EXPECT_EQ(CatalogNameFromPath("/opt/vm/CatalogLibrary/Vol.2"), "CatalogLibrary/Vol");
    EXPECT_EQ(CatalogNameFromPath("/elsewhere/a.xml"), "/elsewhere/a.xml");
}

TEST(TrailingDelimiter, AddedOrRemovedOnce)
{
    EXPECT_EQ(EnsureTrailingDelimiter("/a/b"), "/a/b/");
    EXPECT_EQ(EnsureTrailingDelimiter("/a/b/"), "/a/b/");
    EXPECT_EQ(StripTrailingDelimiter("/a/b/"), "/a/b");
    EXPECT_EQ(StripTrailingDelimiter("/a/b"), "/a/b");
    EXPECT_EQ(StripTrailingDelimiter("/"), "/");
}

TEST(CheckItemName, RefusesNamesThatLeaveTheirFolder)
{
    for (std::string_view bad : {std::string_view(""), std::string_view("."), std::string_view(".."),
                                 std::string_view("a/b"), std::string_view("/"), std::string_view("nul\0x", 5)}) {
        const Status status = CheckItemName(bad);
        EXPECT_EQ(status.code(), Status::Code::Invalid) << bad;
        EXPECT_FALSE(status.message().empty());
    }
    for (std::string_view good : {"Best of 2004", "...", ".hidden", "a\\b", "&<>\"'", "x.y.z"})
        EXPECT_TRUE(CheckItemName(good)) << good;
}

TEST(ItemPaths, ExactlyOneSlashBetweenParentAndName)
{
    EXPECT_EQ(NewCatalogPath("/lib/CatalogLibrary/Mp3", "Best of 2004"), "/lib/CatalogLibrary/Mp3/Best of 2004.xml");
    EXPECT_EQ(NewCatalogPath("/lib/CatalogLibrary/", "x"), "/lib/CatalogLibrary/x.xml");
    EXPECT_EQ(NewGroupPath("/lib/CatalogLibrary", "Games"), "/lib/CatalogLibrary/Games");
    EXPECT_EQ(NewGroupPath("/lib/CatalogLibrary/", "Games"), "/lib/CatalogLibrary/Games");
    EXPECT_EQ(RenamedItemPath("/lib/CatalogLibrary/Mp3/Old.xml", "New", true), "/lib/CatalogLibrary/Mp3/New.xml");
    EXPECT_EQ(RenamedItemPath("/lib/CatalogLibrary/Mp3", "Music", false), "/lib/CatalogLibrary/Music");
    EXPECT_EQ(RenamedItemPath("/lib/CatalogLibrary/Mp3/", "Music", false), "/lib/CatalogLibrary/Music");
    EXPECT_EQ(RenamedItemPath("/top", "other", false), "/other");
}

}  // namespace
}  // namespace vellumark
