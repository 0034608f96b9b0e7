#include "core/entry_edit.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumark {
namespace {

struct Catalog {
    CatalogTree tree;
    CatalogTreeNode* root;
    CatalogTreeNode* rock;
    CatalogTreeNode* song;

    explicit Catalog(const std::string& rootName, char separator)
    {
        root = Add(nullptr, rootName, rootName, "directory");
        const std::string rockPath = rootName + (rootName.back() == separator ? "" : std::string(1, separator)) + "Rock";
        rock = Add(root, "Rock", rockPath, "directory");
        song = Add(rock, "a.mp3", rockPath + separator + "a.mp3", "file");
        song->record.SetField(kFileExt, "mp3");
    }
    CatalogTreeNode* Add(CatalogTreeNode* parent, const std::string& name, const std::string& path, const char* kind)
    {
        CatalogTreeNode* node = tree.Append(parent);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, path);
        node->record.SetField(kFileType, kind);
        return node;
    }
};

TEST(EntryEdit, RenamingAFolderMovesEveryPathBelowItAndKeepsTheExtension)
{
    Catalog catalog("MUSIC(/media/cd/)", '/');
    ApplyEntryEdit(*catalog.rock, kFileName, "Pop");
    EXPECT_EQ(catalog.rock->record.Field(kFullPath), "MUSIC(/media/cd/)/Pop");
    EXPECT_EQ(catalog.rock->record.Field(kPathNameLength), "21");
    EXPECT_EQ(catalog.rock->record.Field(kFileNameLength), "3");
    EXPECT_EQ(catalog.song->record.Field(kFullPath), "MUSIC(/media/cd/)/Pop/a.mp3");
    EXPECT_EQ(catalog.song->record.Field(kPathNameLength), "27");

    ApplyEntryEdit(*catalog.song, kFileName, "b.ogg");
    EXPECT_EQ(catalog.song->record.Field(kFullPath), "MUSIC(/media/cd/)/Pop/b.ogg");
    EXPECT_EQ(catalog.song->record.Field(kFileExt), "mp3");
}

TEST(EntryEdit, ACatalogWrittenOnWindowsKeepsItsBackslashes)
{
    Catalog catalog("MUSIC(D:\\)", '\\');
    ApplyEntryEdit(*catalog.rock, kFileName, "Pop");
    EXPECT_EQ(catalog.rock->record.Field(kFullPath), "MUSIC(D:\\)\\Pop");
    EXPECT_EQ(catalog.song->record.Field(kFullPath), "MUSIC(D:\\)\\Pop\\a.mp3");

    Catalog drive("D:\\", '\\');
    ApplyEntryEdit(*drive.rock, kFileName, "Pop");
    EXPECT_EQ(drive.rock->record.Field(kFullPath), "D:\\Pop");
}

TEST(EntryEdit, RenamingTheRootRenamesTheWholeCatalog)
{
    Catalog catalog("/media/cd", '/');
    ApplyEntryEdit(*catalog.root, kFileName, "Backup");
    EXPECT_EQ(catalog.root->record.Field(kFullPath), "Backup");
    EXPECT_EQ(catalog.rock->record.Field(kFullPath), "Backup/Rock");
    EXPECT_EQ(catalog.song->record.Field(kFullPath), "Backup/Rock/a.mp3");
}

}  // namespace
}  // namespace vellumark
