#include "scan/mask_list.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

TEST(MaskList, BuiltFromItemsInOrderUpperCased)
{
    EXPECT_EQ(BuildMaskList({"*.mp3", "*.avi"}), "\\.MP3\\.AVI\\");
    EXPECT_EQ(BuildMaskList({"*.Jpeg"}), "\\.JPEG\\");
    EXPECT_EQ(BuildMaskList({}), "");
}

TEST(MaskList, BlankItemsAreSkippedAndItemsTrimmed)
{
    EXPECT_EQ(BuildMaskList({"   ", "", "  *.ogg ", "* .mp3 "}), "\\.OGG\\.MP3\\");
    // Only ASCII letters change case: bytes of other scripts stay as they are.
    EXPECT_EQ(BuildMaskList({"*.\xC3\xA9t\xC3\xA9"}), "\\.\xC3\xA9T\xC3\xA9\\");
}

TEST(MaskList, AddKeepsOneItemIgnoringCase)
{
    std::vector<std::string> items;
    EXPECT_TRUE(AddMaskItem(items, "mp3"));
    EXPECT_FALSE(AddMaskItem(items, "mp3"));
    EXPECT_FALSE(AddMaskItem(items, "MP3"));
    EXPECT_TRUE(AddMaskItem(items, "avi"));
    EXPECT_TRUE(AddMaskItem(items, ""));  // "*." matches no ordinary file but is a valid item
    EXPECT_EQ(items, (std::vector<std::string>{"*.mp3", "*.avi", "*."}));
    EXPECT_TRUE(AddMaskItem(items, " mp3"));  // the typed text is not trimmed
    EXPECT_EQ(items.back(), "*. mp3");
}

TEST(MaskList, KeyIsTheLastDotOnwardUpperCased)
{
    EXPECT_EQ(MaskKeyOf("a.b.Mp3"), "\\.MP3\\");
    EXPECT_EQ(MaskKeyOf("readme"), "\\\\");
    EXPECT_EQ(MaskKeyOf(".hidden"), "\\.HIDDEN\\");
}

TEST(MaskList, FilterPassesOnlyTheChosenExtensions)
{
    const std::string mp3 = BuildMaskList({"*.mp3"});
    for (const char* kept : {"song.mp3", "SONG.MP3", "a.b.Mp3"})
        EXPECT_TRUE(MaskListAccepts(mp3, kept)) << kept;
    for (const char* dropped : {"readme", "song.mp3.bak", "mp3", "song.mp", "song.mp33"})
        EXPECT_FALSE(MaskListAccepts(mp3, dropped)) << dropped;
    EXPECT_TRUE(MaskListAccepts("", "anything"));
    EXPECT_TRUE(MaskListAccepts(BuildMaskList({"*.avi", "*.mp3"}), "x.mp3"));
    // A very long extension takes the slow path and still answers correctly.
    const std::string longExtension(100, 'q');
    EXPECT_TRUE(MaskListAccepts(BuildMaskList({"*." + longExtension}), "a." + longExtension));
    EXPECT_FALSE(MaskListAccepts(mp3, "a." + longExtension));
}

}  // namespace
}  // namespace vellumark
