#include "core/entry_edit.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

CatalogTreeNode* Add(CatalogTree& tree, CatalogTreeNode* parent, std::string_view name, std::string_view path)
{
    CatalogTreeNode* node = tree.Append(parent);
    node->record.SetField(kFileName, name);
    node->record.SetField(kFullPath, path);
    node->record.SetField(kFileExt, "JPG");
    return node;
}

TEST(EntryEditRenames, AFolderRenameMovesEveryPathBelowIt)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "MUSIC", "MUSIC");
    CatalogTreeNode* rock = Add(tree, root, "Rock", "MUSIC/Rock");
    CatalogTreeNode* song = Add(tree, rock, "a.mp3", "MUSIC/Rock/a.mp3");
    CatalogTreeNode* deep = Add(tree, Add(tree, rock, "x", "MUSIC/Rock/x"), "y", "MUSIC/Rock/x/y");
    CatalogTreeNode* other = Add(tree, root, "Rocky", "MUSIC/Rocky");

    ApplyEntryEdit(*rock, kFileName, "Pop");
    EXPECT_EQ(rock->record.Field(kFileName), "Pop");
    EXPECT_EQ(rock->record.Field(kFullPath), "MUSIC/Pop");
    EXPECT_EQ(rock->record.Field(kPathNameLength), "9");
    EXPECT_EQ(rock->record.Field(kFileNameLength), "3");
    EXPECT_EQ(song->record.Field(kFullPath), "MUSIC/Pop/a.mp3");
    EXPECT_EQ(song->record.Field(kPathNameLength), "15");
    EXPECT_EQ(deep->record.Field(kFullPath), "MUSIC/Pop/x/y");
    EXPECT_EQ(other->record.Field(kFullPath), "MUSIC/Rocky");
    EXPECT_EQ(rock->record.Field(kFileExt), "JPG");
}

TEST(EntryEditRenames, OneSeparatorAfterARootThatEndsWithOneAndWindowsCatalogsKeepBackslashes)
{
    CatalogTree tree;
    CatalogTreeNode* mount = Add(tree, nullptr, "/media/cd/", "/media/cd/");
    CatalogTreeNode* onMount = Add(tree, mount, "old", "/media/cd/old");
    ApplyEntryEdit(*onMount, kFileName, "new");
    EXPECT_EQ(onMount->record.Field(kFullPath), "/media/cd/new");

    CatalogTree windows;
    CatalogTreeNode* drive = Add(windows, nullptr, "MUSIC(D:\\)", "D:\\");
    CatalogTreeNode* folder = Add(windows, drive, "Rock", "D:\\Rock");
    CatalogTreeNode* file = Add(windows, folder, "a.mp3", "D:\\Rock\\a.mp3");
    ApplyEntryEdit(*folder, kFileName, "Pop");
    EXPECT_EQ(folder->record.Field(kFullPath), "D:\\Pop");
    EXPECT_EQ(file->record.Field(kFullPath), "D:\\Pop\\a.mp3");
    ApplyEntryEdit(*file, kFileName, "b.mp3");
    EXPECT_EQ(file->record.Field(kFullPath), "D:\\Pop\\b.mp3");
}

TEST(EntryEditRenames, ARootThatEndsWithASeparatorLeavesExactlyOneBelowTheNewName)
{
    CatalogTree tree;
    CatalogTreeNode* mount = Add(tree, nullptr, "/media/cd/", "/media/cd/");
    CatalogTreeNode* folder = Add(tree, mount, "x", "/media/cd/x");
    CatalogTreeNode* file = Add(tree, folder, "y", "/media/cd/x/y");
    ApplyEntryEdit(*mount, kFileName, "cd");
    EXPECT_EQ(mount->record.Field(kFullPath), "cd");
    EXPECT_EQ(folder->record.Field(kFullPath), "cd/x");
    EXPECT_EQ(file->record.Field(kFullPath), "cd/x/y");
    EXPECT_EQ(file->record.Field(kPathNameLength), "6");
    // And back: a name that brings its own separator is not given a second one.
    ApplyEntryEdit(*mount, kFileName, "/media/cd/");
    EXPECT_EQ(folder->record.Field(kFullPath), "/media/cd/x");
    EXPECT_EQ(file->record.Field(kFullPath), "/media/cd/x/y");

    CatalogTree windows;
    CatalogTreeNode* drive = Add(windows, nullptr, "D:\\", "D:\\");
    CatalogTreeNode* onDrive = Add(windows, drive, "x", "D:\\x");
    ApplyEntryEdit(*drive, kFileName, "Disc");
    EXPECT_EQ(onDrive->record.Field(kFullPath), "Disc\\x");
}

TEST(EntryEditRenames, TopLevelEntriesTakeTheNameAloneAndADescriptionOnlyRecountsTheNameLength)
{
    CatalogTree tree;
    CatalogTreeNode* root = Add(tree, nullptr, "CD", "LABEL(/media/cd/)");
    CatalogTreeNode* child = Add(tree, root, "f", "LABEL(/media/cd/)/f");
    ApplyEntryEdit(*root, kFileName, "Disc");
    EXPECT_EQ(root->record.Field(kFullPath), "Disc");
    // The child's path does not start with the computed old path "CD", so it is left alone.
    EXPECT_EQ(child->record.Field(kFullPath), "LABEL(/media/cd/)/f");

    CatalogTreeNode* result = Add(tree, nullptr, "Photo.JPG", "x/y/Photo.JPG");
    ApplyEntryEdit(*result, kDescription, "holiday");
    EXPECT_EQ(result->record.Field(kDescription), "holiday");
    EXPECT_EQ(result->record.Field(kFileNameLength), "9");
    EXPECT_EQ(result->record.Field(kFullPath), "x/y/Photo.JPG");
    ApplyEntryEdit(*result, kFileName, "Photo.png");
    EXPECT_EQ(result->record.Field(kFullPath), "Photo.png");
    EXPECT_EQ(result->record.Field(kFileExt), "JPG");
}

}  // namespace
}  // namespace vellumark
