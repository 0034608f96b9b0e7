#include "search/catalog_search.h"
#include "search/copy_reader.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::CatalogText;
using testing::TempDir;
using testing::WriteFile;

class CopyReaderTest : public ::testing::Test {
protected:
    // Writes the catalog and notes where each of its entries begins and the records a
    // streaming search gives for them.
    void Write(const std::string& entries)
    {
        WriteFile(path, CatalogText(entries));
        offsets.clear();
        expected.clear();
        const SharedText disk("Disc");
        ASSERT_TRUE(ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
                        offsets.push_back(entry.Offset());
                        AddSearchResult(entry, disk, expected);
                        return true;
                    }).ok());
    }

    CatalogIdentity Identity() const { return *IdentityOfFile(path); }

    Status Read(const std::vector<std::uint64_t>& at, std::vector<EntryRecord>& records)
    {
        CopyReader reader;
        if (Status status = reader.Open(path, Identity()); !status)
            return status;
        return reader.Read(at, SharedText("Disc"), records);
    }

    TempDir dir;
    std::string path = dir / "Disc.xml";
    std::vector<std::uint64_t> offsets;
    std::vector<EntryRecord> expected;
};

TEST_F(CopyReaderTest, ReadsTheRecordsASearchGivesAtAnyOffsets)
{
    // Entries close together and far apart, nested, with ">" and quotes inside values, one
    // longer than a first read, and the last one at the end of the file.
    std::string entries = "<file FileName=\"Disc\" FileType=\"directory\">";
    entries += "<file FileName=\"a &gt; b.txt\" FileSize=\"12\" FileType=\"file\" Description='say \"hi\" > bye'/>";
    for (int i = 0; i < 200; ++i)
        entries += "<file FileName=\"filler" + std::to_string(i) + "\" FileSize=\"1\" FileType=\"file\"/>";
    entries += "<file FileName=\"long\" Description=\"" + std::string(5000, 'x') + "\" FileType=\"file\"/>";
    entries += "<file FileName=\"Sub\" FileType=\"directory\"><file FileName=\"deep.mp3\" FileExt=\"mp3\" FileType=\"file\"/></file>";
    entries += "</file><file FileName=\"last\" FileType=\"file\"/>";
    Write(entries);
    ASSERT_EQ(offsets.size(), 206u);

    std::vector<std::vector<std::size_t>> choices = {{0, 1, 2, 3}, {1, 202, 203, 204, 205}, {0, 100, 201, 205}, {205}};
    std::vector<std::size_t> every(offsets.size());
    for (std::size_t i = 0; i < every.size(); ++i)
        every[i] = i;
    choices.push_back(every);
    for (const std::vector<std::size_t>& chosen : choices) {
        std::vector<std::uint64_t> at;
        for (const std::size_t i : chosen)
            at.push_back(offsets[i]);
        std::vector<EntryRecord> records;
        ASSERT_TRUE(Read(at, records).ok());
        ASSERT_EQ(records.size(), chosen.size());
        for (std::size_t i = 0; i < chosen.size(); ++i)
            EXPECT_EQ(records[i].AllFields(), expected[chosen[i]].AllFields()) << "entry " << chosen[i];
    }
}

TEST_F(CopyReaderTest, RefusesAReplacedFileAndOffsetsWithoutAnEntry)
{
    Write("<file FileName=\"Disc\" FileType=\"directory\"><file FileName=\"a\" FileType=\"file\"/></file>");
    const CatalogIdentity before = Identity();
    std::vector<EntryRecord> records;

    // No start tag at the offset: inside a tag, at an end tag, beyond the file.
    const std::string text = testing::ReadFile(path);
    for (const std::uint64_t wrong : {offsets[1] + 1, static_cast<std::uint64_t>(text.find("</file>")),
                                      static_cast<std::uint64_t>(text.size()), static_cast<std::uint64_t>(text.size() + 100)}) {
        const Status status = Read({wrong}, records);
        EXPECT_EQ(status.code(), Status::Code::Failed) << wrong;
        EXPECT_NE(status.message().find("no entry at offset " + std::to_string(wrong)), std::string::npos) << status.message();
    }
    // A tag cut off by the end of the file.
    WriteFile(path, text.substr(0, offsets[1] + 10));
    EXPECT_FALSE(Read({offsets[1]}, records).ok());
    EXPECT_TRUE(records.empty());

    // A file replaced since its identity was taken is refused, even with entries at the offsets.
    WriteFile(path + ".new", text);
    ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
    CopyReader reader;
    const Status status = reader.Open(path, before);
    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_NE(status.message().find("changed"), std::string::npos) << status.message();
}

}  // namespace
}  // namespace vellumark
