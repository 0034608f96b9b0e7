#include "core/catalog_file.h"
#include "export/xml_export.h"
#include "search/catalog_search.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Values of every kind the reader has to resolve: entities, character references, the stored
// form of bytes that are no UTF-8, multi-byte letters, blanks and tabs.
std::string NameOf(int i)
{
    static const char* const kinds[] = {"plain", "a&b <c> \"d\"", "tab\there", "caf\xC3\xA9 \xE6\x97\xA5",
                                        "raw\xFF\x01", "back\\x{41}slash", "  blanks  "};
    return std::string(kinds[i % 7]) + " " + std::to_string(i) + ".mp3";
}

// A catalog of some 10 MB: far beyond the reader's first window, so that tokens, values and
// escapes fall across the points where the window moves on. The padding comment shifts those
// points against the tokens from one file to the next.
TEST(LargeCatalog, ReadsAgreeWithTheWrittenTreeAcrossWindowBoundaries)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, "Disc");
    root->record.SetField(kFullPath, "/media/Disc");
    root->record.SetField(kFileType, kKindDirectory);
    CatalogTreeNode* folder = root;
    for (int i = 0; i < 60000; ++i) {
        if (i % 1000 == 0) {
            folder = tree.Append(root);
            folder->record.SetField(kFileName, "folder " + std::to_string(i));
            folder->record.SetField(kFileType, kKindDirectory);
        }
        CatalogTreeNode* node = tree.Append(folder);
        node->record.SetField(kFileName, NameOf(i));
        node->record.SetField(kFullPath, "/media/Disc/" + NameOf(i));
        node->record.SetField(kFileSize, std::to_string(i * 7919));
        node->record.SetField(kFileType, kKindFile);
        node->record.SetField(kDescription, NameOf(i + 3));
    }

    TempDir dir;
    NullProgress progress;
    const std::string written = dir / "Disc.xml";
    ASSERT_TRUE(WriteCatalogFile(tree, written, progress));
    const std::string bytes = ReadFile(written);
    ASSERT_GT(bytes.size(), 8u << 20);
    const std::size_t afterDeclaration = bytes.find("?>") + 2;

    for (const std::size_t padding : {0, 1, 3, 8, 21}) {
        const std::string path = dir / "Disc.xml";
        WriteFile(path, bytes.substr(0, afterDeclaration) + "<!--" + std::string(padding, 'p') + "-->" + bytes.substr(afterDeclaration));
        CatalogTree streamed;
        ASSERT_TRUE(ReadCatalogFile(path, streamed, progress)) << padding;
        ASSERT_EQ(streamed.NodeCount(), tree.NodeCount()) << padding;
        const auto original = tree.PreOrder();
        const auto read = streamed.PreOrder();
        for (std::size_t i = 0; i < original.size(); ++i)
            for (const int key : {kFileName, kFullPath, kFileSize, kDescription})
                ASSERT_EQ(read[i]->record.Field(key), original[i]->record.Field(key)) << "padding " << padding
                                                                                      << ", entry " << i;

        // The search streams the same file; a pattern found in every seventh name.
        SearchRequest request;
        request.scopePath = path;
        request.namePattern = "CAF\xC3\xA9";
        CatalogTree results;
        const SearchOutcome outcome = SearchCatalogs(request, progress, results);
        ASSERT_TRUE(outcome.Complete()) << padding;
        EXPECT_EQ(results.NodeCount(), 60000u / 7) << padding;

        // The XML export copies the file through the reader, across the same boundaries.
        const std::string copy = dir / "Copy.xml";
        ASSERT_TRUE(CopyCatalogFile(path, copy, progress)) << padding;
        EXPECT_TRUE(ReadFile(copy) == ReadFile(path)) << padding;
    }
}

}  // namespace
}  // namespace vellumark
