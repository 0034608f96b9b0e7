#include "core/catalog_compare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

// Builds catalogs entry by entry: a path of FileNames below the root ("Rock/a.mp3"), written
// into FullPath with the catalog's own separator.
class Catalog {
public:
    explicit Catalog(const std::string& rootName, char separator = '/') : separator_(separator)
    {
        root_ = tree.Append(nullptr);
        root_->record.SetField(kFileName, rootName);
        root_->record.SetField(kFullPath, rootName);
        root_->record.SetField(kFileType, kKindDirectory);
    }

    CatalogTreeNode* Folder(const std::string& path, const std::string& time = "2004-06-07 13:05:08")
    {
        return Add(path, kKindDirectory, "0", time);
    }
    CatalogTreeNode* File(const std::string& path, const std::string& size = "100",
                          const std::string& time = "2004-06-07 13:05:08")
    {
        return Add(path, kKindFile, size, time);
    }

    CatalogTree tree;

private:
    // The parent is the last entry added with the parent's path; the name is what follows it.
    CatalogTreeNode* Add(const std::string& path, std::string_view kind, const std::string& size, const std::string& time)
    {
        const auto slash = path.rfind('/');
        CatalogTreeNode* parent = root_;
        if (slash != std::string::npos) {
            for (CatalogTreeNode* node : tree.PreOrder())
                if (node != root_ && RelativePathOf(*node) == path.substr(0, slash))
                    parent = node;
        }
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        std::string fullPath(parent->record.Field(kFullPath));
        if (fullPath.back() != separator_)
            fullPath += separator_;
        fullPath += name;
        CatalogTreeNode* node = tree.Append(parent);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, fullPath);
        node->record.SetField(kFileType, kind);
        node->record.SetField(kFileSize, size);
        node->record.SetField(kFileTime, time);
        return node;
    }

    char separator_;
    CatalogTreeNode* root_;
};

std::vector<std::string> Lines(const CatalogTree& oldTree, const CatalogTree& newTree, bool ignoreTime = false)
{
    std::vector<std::string> lines;
    for (const EntryDifference& difference : CompareCatalogs(oldTree, newTree, ignoreTime))
        lines.push_back(std::string(1, ChangeMark(difference.change)) + " " + difference.relativePath);
    return lines;
}

using Expected = std::vector<std::string>;

TEST(CatalogCompare, ListsTheUnionInPreOrderWithSiblingsInByteOrderOfTheirNames)
{
    Catalog before("/media/cd/");
    before.File("b.txt");
    before.Folder("Old");
    before.File("Old/x");
    before.Folder("Old/Deep");
    before.File("Old/Deep/y");
    before.File("z");

    Catalog after("/media/cd/");
    after.File("\xC3\x89t\xC3\xA9.mp3");  // "Été.mp3": its first byte sorts after every ASCII letter
    after.File("z");
    after.Folder("New");
    after.File("New/2");
    after.File("New/1");
    after.File("b.txt");
    after.File("B.txt");

    // An added or removed folder is listed, then every entry below it; the root never is.
    EXPECT_EQ(Lines(before.tree, after.tree), (Expected{"+ B.txt", "+ New", "+ New/1", "+ New/2", "- Old", "- Old/Deep",
                                                        "- Old/Deep/y", "- Old/x", "+ \xC3\x89t\xC3\xA9.mp3"}));
    const CompareCounts counts = CountDifferences(CompareCatalogs(before.tree, after.tree, false));
    EXPECT_EQ(counts.added, 5u);
    EXPECT_EQ(counts.removed, 4u);
    EXPECT_EQ(counts.changed, 0u);
}

TEST(CatalogCompare, AKindChangeIsFollowedByTheLinesOfTheContents)
{
    Catalog before("/src");
    before.File("x");
    before.Folder("y");
    before.File("y/inner");

    Catalog after("/src");
    after.Folder("x");
    after.File("x/new");
    after.File("y");

    EXPECT_EQ(Lines(before.tree, after.tree), (Expected{"~ x", "+ x/new", "~ y", "- y/inner"}));
}

TEST(CatalogCompare, EntriesSharingARelativePathArePairedInPreOrder)
{
    // Hand-merged catalogs can hold a name twice among siblings.
    Catalog before("/src");
    CatalogTreeNode* first = before.File("dup", "1");
    CatalogTreeNode* second = before.File("dup", "2");
    before.File("only-old");

    Catalog after("/src");
    after.File("dup", "1");

    const std::vector<EntryDifference> differences = CompareCatalogs(before.tree, after.tree, false);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[0].change, EntryChange::Removed);
    EXPECT_EQ(differences[0].oldEntry, second);  // the first one found its pair
    EXPECT_NE(differences[0].oldEntry, first);
    EXPECT_EQ(differences[1].relativePath, "only-old");

    // Folders of one name pool their contents: "d/a" of the second folder pairs with the only
    // "d/a" of the new catalog.
    Catalog folders("/src");
    folders.Folder("d");
    folders.File("d/x");
    CatalogTreeNode* secondFolder = folders.tree.Append(folders.tree.First());
    secondFolder->record.SetField(kFileName, "d");
    secondFolder->record.SetField(kFileType, kKindDirectory);
    CatalogTreeNode* inSecond = folders.tree.Append(secondFolder);
    inSecond->record.SetField(kFileName, "a");
    inSecond->record.SetField(kFileType, kKindFile);
    inSecond->record.SetField(kFileSize, "100");
    inSecond->record.SetField(kFileTime, "2004-06-07 13:05:08");

    Catalog single("/src");
    single.Folder("d");
    single.File("d/a");
    EXPECT_EQ(Lines(folders.tree, single.tree), (Expected{"- d", "- d/x"}));
}

TEST(CatalogCompare, FileSizesCompareAsNumbers)
{
    const auto changed = [](const std::string& oldSize, const std::string& newSize) {
        Catalog before("/src");
        before.File("f", oldSize);
        Catalog after("/src");
        after.File("f", newSize);
        return !Lines(before.tree, after.tree).empty();
    };
    EXPECT_FALSE(changed("0100", "100"));
    EXPECT_FALSE(changed("1,5", "1.5"));
    EXPECT_TRUE(changed("100", "101"));
    // Beyond what a double holds exactly, digits still tell the sizes apart.
    EXPECT_TRUE(changed("18446744073709551616", "18446744073709551617"));
    EXPECT_TRUE(changed("", "0"));
    EXPECT_FALSE(changed("unknown", "unknown"));
    EXPECT_TRUE(changed("unknown", "other"));
}

TEST(CatalogCompare, FileTimesAllowTwoSecondsAndUnreadableTimesCompareAsText)
{
    const auto changed = [](const std::string& oldTime, const std::string& newTime, bool ignoreTime = false) {
        Catalog before("/src");
        before.File("f", "1", oldTime);
        Catalog after("/src");
        after.File("f", "1", newTime);
        return !Lines(before.tree, after.tree, ignoreTime).empty();
    };
    EXPECT_FALSE(changed("2004-06-07 13:05:08", "2004-06-07 13:05:10"));
    EXPECT_TRUE(changed("2004-06-07 13:05:08", "2004-06-07 13:05:11"));
    // The same time in the forms catalogs of other locales hold.
    EXPECT_FALSE(changed("6/7/2004 1:05:08 PM", "07.06.2004 13:05:09"));
    EXPECT_FALSE(changed("2004-06-07", "2004-06-06 23:59:59"));
    EXPECT_FALSE(changed("sometime", "sometime"));
    EXPECT_TRUE(changed("sometime", "another time"));
    EXPECT_TRUE(changed("", "2004-06-07 13:05:08"));
    EXPECT_FALSE(changed("", ""));
    EXPECT_FALSE(changed("2004-06-07 13:05:08", "2020-01-01", true));
}

TEST(CatalogCompare, FoldersAreNotReportedForTheirSizeOrTime)
{
    Catalog before("/src");
    before.Folder("Rock", "2004-06-07 13:05:08");
    before.File("Rock/a", "100");
    Catalog after("/src");
    CatalogTreeNode* rock = after.Folder("Rock", "2020-01-01 10:00:00");
    rock->record.SetField(kFileSize, "999");
    after.File("Rock/a", "100");
    EXPECT_TRUE(Lines(before.tree, after.tree).empty());
}

TEST(CatalogCompare, WindowsAndLinuxCatalogsCompareByRelativePath)
{
    Catalog windows("MUSIC(D:\\)", '\\');
    windows.Folder("Pop", "07.06.2004 13:05:08");
    windows.File("Pop/a.mp3", "300", "6/7/2004 1:05:08 PM");
    windows.File("Notes.txt", "2800", "12/31/2003 11:59:58 PM");
    EXPECT_EQ(windows.tree.PreOrder()[2]->record.Field(kFullPath), "MUSIC(D:\\)\\Pop\\a.mp3");

    Catalog linux("MUSIC(/media/cd/)");
    linux.File("Notes.txt", "2800", "2003-12-31 23:59:58");
    linux.Folder("Pop", "2010-01-01");
    linux.File("Pop/a.mp3", "300", "2004-06-07 13:05:08");
    EXPECT_TRUE(Lines(windows.tree, linux.tree).empty());

    // A Linux name holding "\" is one name, never two path components.
    Catalog withBackslash("/src");
    withBackslash.Folder("Pop");
    withBackslash.File("Pop\\a.mp3", "300");
    EXPECT_EQ(Lines(windows.tree, withBackslash.tree, true),
              (Expected{"- Notes.txt", "- Pop/a.mp3", "+ Pop\\a.mp3"}));
}

TEST(CatalogCompare, AnEmptyCatalogComparesAsEmptyAndSeveralTopLevelEntriesAreRefused)
{
    CatalogTree empty;
    Catalog full("/src");
    full.Folder("a");
    full.File("a/b");
    EXPECT_EQ(Lines(empty, full.tree), (Expected{"+ a", "+ a/b"}));
    EXPECT_EQ(Lines(full.tree, empty), (Expected{"- a", "- a/b"}));
    EXPECT_TRUE(CheckComparable(empty, "empty.xml"));

    CatalogTree results;
    results.Append(nullptr)->record.SetField(kFileName, "one");
    results.Append(nullptr)->record.SetField(kFileName, "two");
    const Status status = CheckComparable(results, "results.xml");
    EXPECT_EQ(status.code(), Status::Code::Invalid);
    EXPECT_NE(status.message().find("results.xml"), std::string::npos);
}

TEST(CatalogCompare, AnyDepthIsWalkedWithoutRecursion)
{
    const auto chain = [](int depth, const std::string& leafSize) {
        CatalogTree tree;
        CatalogTreeNode* node = tree.Append(nullptr);
        node->record.SetField(kFileName, "/src");
        for (int level = 0; level < depth; ++level) {
            node = tree.Append(node);
            node->record.SetField(kFileName, "d");
            node->record.SetField(kFileType, kKindDirectory);
        }
        node = tree.Append(node);
        node->record.SetField(kFileName, "leaf");
        node->record.SetField(kFileType, kKindFile);
        node->record.SetField(kFileSize, leafSize);
        return tree;
    };
    const CatalogTree before = chain(100000, "1");
    const CatalogTree after = chain(100000, "2");
    const std::vector<EntryDifference> differences = CompareCatalogs(before, after, false);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].change, EntryChange::Changed);
    EXPECT_EQ(differences[0].relativePath.size(), 100000u * 2 + 4);
    EXPECT_EQ(RelativePathOf(*differences[0].newEntry), differences[0].relativePath);
}

}  // namespace
}  // namespace vellumark
