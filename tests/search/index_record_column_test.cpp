#include "search/index/byte_codec.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_format.h"
#include "search/index/segment_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using Text = std::optional<std::string>;

struct Entry {
    Text name, path, size, time, nameLength, pathLength, percentage;
};

std::string Pick(std::mt19937& random, std::initializer_list<const char*> choices)
{
    return *(choices.begin() + random() % choices.size());
}

// Entries of a catalog as a walk gives them (each folder followed by its contents), with the
// texts a program writes mixed with texts it never writes: paths that do not end with the name
// or use another separator, sizes and times in other forms, wrong or missing lengths.
std::vector<Entry> RandomEntries(std::mt19937& random, int count)
{
    std::vector<Entry> entries;
    std::vector<std::string> folders = {"Disc"};
    for (int i = 0; i < count; ++i) {
        Entry entry;
        std::string name = Pick(random, {"Rock", "a", "Ärger", "tab\there", "back\\slash", "x/y", " ", "Led Zeppelin IV"});
        name += std::to_string(random() % 50);
        if (random() % 40 == 0)
            name = std::string("nul\0byte", 8);
        if (random() % 30 != 0)
            entry.name = name;
        if (random() % 5 == 0 && folders.size() > 1)
            folders.pop_back();
        const std::string parent = folders.back();
        switch (random() % 12) {
        case 0: entry.path = std::nullopt; break;
        case 1: entry.path = ""; break;
        case 2: entry.path = parent + "\\" + name; break;
        case 3: entry.path = "D:\\"; break;
        case 4: entry.path = parent + "/" + name + "/"; break;
        case 5: entry.path = name; break;
        default: entry.path = parent + "/" + name; break;
        }
        if (random() % 4 == 0 && entry.path && !entry.path->empty())
            folders.push_back(*entry.path);
        const std::uint64_t bytes = random() % 3 ? random() % 100000 : (std::uint64_t{random()} << 32) | random();
        entry.size = random() % 10 ? Text(std::to_string(bytes))
                                   : Text(Pick(random, {"007", "", "1e3", "18446744073709551615", "18446744073709551616", " 5"}));
        if (random() % 20 == 0)
            entry.size = std::nullopt;
        char time[32];
        std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", 1000 + static_cast<unsigned>(random() % 9000),
                      1 + static_cast<unsigned>(random() % 12), 1 + static_cast<unsigned>(random() % 28),
                      static_cast<unsigned>(random() % 24), static_cast<unsigned>(random() % 60),
                      static_cast<unsigned>(random() % 60));
        entry.time = random() % 10 ? Text(time)
                                   : Text(Pick(random, {"2023-02-30 10:00:00", "2001-02-03", "31.12.1999 23:59:59",
                                                        "1/2/2003 4:05:06 PM", "0999-12-31 23:59:59", "no date", ""}));
        if (random() % 20 == 0)
            entry.time = std::nullopt;
        const auto length = [&](const Text& of) -> Text {
            switch (random() % 8) {
            case 0: return std::nullopt;
            case 1: return "17";
            case 2: return "";
            default: return of ? Text(std::to_string(of->size())) : std::nullopt;
            }
        };
        entry.nameLength = length(entry.name);
        entry.pathLength = length(entry.path);
        entry.percentage = random() % 10 ? Text(Pick(random, {"0.00", "0.01", "12.50", "100.00"})) : std::nullopt;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::string_view> View(const Text& text)
{
    return text ? std::optional<std::string_view>(*text) : std::nullopt;
}

std::string Build(const std::vector<Entry>& entries)
{
    SegmentBuilder builder("Group/Disc.xml", CatalogIdentity{1, 2, 1u << 30, 3, 4}, 5);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        EntryTexts texts;
        texts.fileName = View(entry.name);
        texts.fullPath = View(entry.path);
        texts.fileSize = View(entry.size);
        texts.fileTime = View(entry.time);
        texts.fileNameLength = View(entry.nameLength);
        texts.pathNameLength = View(entry.pathLength);
        texts.sizePercentage = View(entry.percentage);
        builder.Add(texts);
    }
    std::string bytes;
    EXPECT_TRUE(builder.Finish(bytes).ok());
    return bytes;
}

void ExpectShown(const SegmentReader::ResultTexts& fields, const Entry& entry, std::uint32_t ordinal)
{
    const auto shown = [](const Text& text) { return text.value_or(std::string()); };
    EXPECT_EQ(fields[kFileName], shown(entry.name)) << ordinal;
    EXPECT_EQ(fields[kFullPath], shown(entry.path)) << ordinal;
    EXPECT_EQ(fields[kFileSize], shown(entry.size)) << ordinal;
    EXPECT_EQ(fields[kFileTime], shown(entry.time)) << ordinal;
    EXPECT_EQ(fields[kFileNameLength], shown(entry.nameLength)) << ordinal;
    EXPECT_EQ(fields[kPathNameLength], shown(entry.pathLength)) << ordinal;
    EXPECT_EQ(fields[kSizePercentage], shown(entry.percentage)) << ordinal;
    EXPECT_EQ(fields[kDiskName], "") << ordinal;
}

// Every text a result shows reads back exactly as the catalog held it, whatever its form and
// in whatever order the entries are read: ascending (the search's order, one block decoded
// once), descending and at random (the cursor starts its block afresh).
TEST(IndexRecordColumnTest, EveryShownTextReadsBackExactlyInAnyOrder)
{
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        const std::vector<Entry> entries = RandomEntries(random, 700 + static_cast<int>(seed));
        const std::string bytes = Build(entries);
        std::shared_ptr<const SegmentReader> segment;
        ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());

        std::vector<std::uint32_t> order(entries.size());
        std::iota(order.begin(), order.end(), 0u);
        std::vector<std::uint32_t> shuffled = order;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        std::vector<std::uint32_t> sparse;
        for (std::uint32_t i = 0; i < entries.size(); i += 1 + random() % 40)
            sparse.push_back(i);
        for (const std::vector<std::uint32_t>* ordinals : {&order, &shuffled, &sparse}) {
            RecordCursor cursor;
            for (const std::uint32_t i : *ordinals) {
                SegmentReader::ResultTexts fields;
                ASSERT_TRUE(segment->ResultFields(i, cursor, fields)) << i;
                ExpectShown(fields, entries[i], i);
            }
        }
        for (std::uint32_t i = static_cast<std::uint32_t>(entries.size()); i-- > 0;) {
            RecordCursor cursor;
            SegmentReader::ResultTexts fields;
            ASSERT_TRUE(segment->ResultFields(i, cursor, fields)) << i;
            ExpectShown(fields, entries[i], i);
        }
        RecordCursor cursor;
        SegmentReader::ResultTexts fields;
        EXPECT_FALSE(segment->ResultFields(static_cast<std::uint32_t>(entries.size()), cursor, fields));
    }
}

// The texts a program writes cost the index next to nothing: a catalog of such entries keeps
// them in a few bytes each, where their own bytes are some seventy.
TEST(IndexRecordColumnTest, TextsThatFollowFromTheOtherValuesTakeAFewBytes)
{
    std::vector<Entry> entries;
    std::string folder = "Disc 7/Music/Led Zeppelin";
    for (int i = 0; i < 3200; ++i) {
        Entry entry;
        if (i % 100 == 0)
            folder = "Disc 7/Music/Artist " + std::to_string(i / 100);
        entry.name = "Track " + std::to_string(i % 100) + ".mp3";
        entry.path = folder + "/" + *entry.name;
        entry.size = std::to_string(1000000 + 7919 * i);
        char time[32];
        std::snprintf(time, sizeof time, "20%02d-%02d-%02d %02d:%02d:%02d", i % 40, 1 + i % 12, 1 + i % 28, i % 24, i % 60,
                      (i * 7) % 60);
        entry.time = time;
        entry.nameLength = std::to_string(entry.name->size());
        entry.pathLength = std::to_string(entry.path->size());
        entry.percentage = "0.00";
        entries.push_back(entry);
    }
    const std::string bytes = Build(entries);
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data()) + kSectionTableOffset;
    const std::uint64_t recordBytes = LoadU64(header + kSectionRecordBytes * kRecordSection + 8);
    EXPECT_LE(recordBytes, 5u * entries.size());

    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());
    RecordCursor cursor;
    for (std::uint32_t i = 0; i < entries.size(); i += 13) {
        SegmentReader::ResultTexts fields;
        ASSERT_TRUE(segment->ResultFields(i, cursor, fields));
        ExpectShown(fields, entries[i], i);
    }
}

}  // namespace
}  // namespace vellumark
