#include "fuzz/entries/fuzz_support.h"
#include "search/index/byte_codec.h"
#include "search/index/candidate_query.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_format.h"
#include "search/index/segment_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vellumark::fuzz {

namespace {

using Text = std::optional<std::string>;

std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    return text;
}

// The matching rule written the plain way.
bool Holds(const Text& value, const std::string& pattern, bool caseSensitive, bool whole)
{
    if (!value)
        return false;
    const std::string v = caseSensitive ? *value : UpperAscii(*value);
    const std::string p = caseSensitive ? pattern : UpperAscii(pattern);
    return whole ? v == p : v.find(p) != std::string::npos;
}

bool Within(std::string_view inner, std::string_view outer)
{
    return inner.empty() || (inner.data() >= outer.data() && inner.data() + inner.size() <= outer.data() + outer.size());
}

// Any bytes as a segment, the header checksum made to agree so that the checks behind it are
// reached: whatever opens must answer every question from within its own bytes.
std::string ReadAnySegment(std::string bytes, const std::string& pattern)
{
    if (bytes.size() >= kSegmentHeaderBytes) {
        std::string checksum;
        PutU64(checksum, IndexChecksum(std::string_view(bytes).substr(0, kSegmentHeaderBytes - 8)));
        bytes.replace(kSegmentHeaderBytes - 8, 8, checksum);
    }
    std::shared_ptr<const SegmentReader> segment;
    if (!SegmentReader::FromBytes(bytes, segment).ok())
        return {};
    const std::uint32_t count = segment->EntryCount();
    RecordCursor cursor;
    SegmentReader::ResultTexts fields;
    for (std::uint32_t i = 0; i <= count && i < 4096; ++i) {
        // Asking ahead for an entry's memory reads where its values lie: within the bytes too,
        // and nothing at all past the last entry.
        segment->PrefetchResult(i, false);
        segment->PrefetchResult(i, true);
        if (i == count)
            break;
        if (segment->ResultFields(i, cursor, fields)) {
            // The path and the derived texts live in the cursor; the rest must lie in the segment.
            for (const int key : {kFileName, kFileExt, kFileType, kDescription, kSizePercentage})
                if (!Within(fields[key], bytes))
                    return "a result field points outside the segment";
        }
        IndexedEntryValues values;
        if (segment->Values(i, values)) {
            for (const auto& text : {values.fileName, values.fileExt, values.description, values.fileType})
                if (text && !Within(*text, bytes))
                    return "a value points outside the segment";
        }
    }
    for (const bool caseSensitive : {false, true}) {
        std::vector<std::uint32_t> candidates;
        const CandidateQuery queries[] = {CandidateQuery(pattern, "", "", caseSensitive, false),
                                          CandidateQuery("", pattern, pattern, caseSensitive, true)};
        for (const CandidateQuery& query : queries) {
            if (!query.FindCandidates(*segment, candidates).ok())
                continue;
            if (std::adjacent_find(candidates.begin(), candidates.end(), std::greater_equal<>()) != candidates.end())
                return "candidates are not in ascending order";
            if (!candidates.empty() && candidates.back() >= count)
                return "a candidate lies past the last entry";
        }
    }
    segment->VerifyContent();
    return {};
}

// Entries made of the input's texts: the segment must give back every value exactly and
// its candidates must be the entries the plain rule picks.
std::string BuildAndReadBack(InputReader& input, std::uint8_t switches)
{
    const std::string namePattern(input.Text());
    const std::string extensionPattern(input.Text());
    const bool caseSensitive = switches & 2;
    const bool whole = switches & 4;
    // Fields: name, extension, description, size, time, type, path, the two lengths, percentage.
    constexpr int kFields = 10;
    std::vector<std::array<Text, kFields>> entries;
    while (!input.Empty() && entries.size() < 300) {
        const unsigned low = input.Byte();
        const unsigned present = low | (unsigned{input.Byte()} << 8);
        std::array<Text, kFields> entry;
        for (int field = 0; field < kFields; ++field)
            if (present & (1u << field))
                entry[field] = std::string(input.Text());
        entries.push_back(std::move(entry));
    }
    SegmentBuilder builder("fuzz/catalog.xml", CatalogIdentity{1, 2, 1u << 30, 3, 4}, 5);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EntryTexts texts;
        std::array<std::optional<std::string_view>*, kFields> fields = {
            &texts.fileName, &texts.fileExt,  &texts.description,    &texts.fileSize,       &texts.fileTime,
            &texts.fileType, &texts.fullPath, &texts.fileNameLength, &texts.pathNameLength, &texts.sizePercentage};
        for (int field = 0; field < kFields; ++field)
            if (entries[i][field])
                *fields[field] = *entries[i][field];
        builder.Add(texts);
    }
    std::string bytes;
    if (!builder.Finish(bytes).ok())
        return "a small segment could not be built";
    std::shared_ptr<const SegmentReader> segment;
    if (Status opened = SegmentReader::FromBytes(bytes, segment); !opened)
        return "a segment just built does not open: " + opened.message();
    if (!segment->VerifyContent().ok())
        return "a segment just built fails its checksums";
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        IndexedEntryValues values;
        if (!segment->Values(i, values))
            return "the values of entry " + std::to_string(i) + " do not read back";
        const std::array<std::optional<std::string_view>, 4> read = {values.fileName, values.fileExt, values.description,
                                                                     values.fileType};
        const std::array<int, 4> fields = {0, 1, 2, 5};
        for (int k = 0; k < 4; ++k) {
            const Text& written = entries[i][fields[k]];
            if (read[k].has_value() != written.has_value() || (written && *read[k] != *written))
                return "entry " + std::to_string(i) + " reads back another value of field " + std::to_string(fields[k]);
        }
        const ParsedSize size = ParseSizeText(entries[i][3] ? std::string_view(*entries[i][3]) : std::string_view());
        if (values.size.state != size.state || values.size.bytes != size.bytes)
            return "entry " + std::to_string(i) + " reads back another size";
        const ParsedTime time = ParseTimeText(entries[i][4] ? std::string_view(*entries[i][4]) : std::string_view());
        if (values.time.readable != time.readable || (time.readable && values.time.seconds != time.seconds))
            return "entry " + std::to_string(i) + " reads back another time";
    }
    // A result's texts read back exactly, also when the entries are read out of order.
    const std::array<int, kFields> resultKeys = {kFileName, kFileExt,  kDescription,    kFileSize,       kFileTime,
                                                 kFileType, kFullPath, kFileNameLength, kPathNameLength, kSizePercentage};
    RecordCursor cursor;
    for (std::uint32_t n = 0; n < 2 * entries.size(); ++n) {
        const std::uint32_t i = n < entries.size() ? n : static_cast<std::uint32_t>(2 * entries.size() - 1 - n);
        SegmentReader::ResultTexts result;
        if (!segment->ResultFields(i, cursor, result))
            return "the result fields of entry " + std::to_string(i) + " do not read back";
        for (int field = 0; field < kFields; ++field)
            if (result[resultKeys[field]] != entries[i][field].value_or(std::string()))
                return "entry " + std::to_string(i) + " shows another text of field " + std::to_string(field);
    }
    std::vector<std::uint32_t> candidates;
    if (!CandidateQuery(namePattern, extensionPattern, "", caseSensitive, whole).FindCandidates(*segment, candidates).ok())
        return "a segment just built is called damaged";
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        if ((namePattern.empty() || Holds(entries[i][0], namePattern, caseSensitive, whole))
            && (extensionPattern.empty() || Holds(entries[i][1], extensionPattern, caseSensitive, whole)))
            expected.push_back(i);
    if (!std::includes(candidates.begin(), candidates.end(), expected.begin(), expected.end()))
        return "a matching entry is missing from the candidates";
    if (candidates != expected)
        return "the candidates hold entries the patterns do not match";
    return {};
}

// A sound segment, then damaged where the input says: (position, byte) pairs are XORed in.
std::string DamageBuiltSegment(InputReader& input)
{
    SegmentBuilder builder("fuzz/damaged.xml", CatalogIdentity{1, 2, 1u << 20, 3, 4}, 5);
    const char* const names[] = {"Rock.mp3", "ro", "", "Led Zeppelin IV", "\xC3\x84rger.txt", "readme"};
    for (std::uint32_t i = 0; i < 200; ++i) {
        EntryTexts texts;
        texts.fileName = names[i % 6];
        if (i % 3)
            texts.fileExt = i % 2 ? "mp3" : "txt";
        if (i % 7 == 0)
            texts.description = "Ripped from CD";
        texts.fileSize = i % 5 ? "123456" : "18446744073709551616";
        texts.fileTime = "2001-02-03 04:05:06";
        texts.fileType = "file";
        builder.Add(texts);
    }
    std::string bytes;
    if (!builder.Finish(bytes).ok())
        return "the damage test's segment could not be built";
    const std::string pattern(input.Text());
    while (!input.Empty()) {
        const std::size_t high = input.Byte();
        const std::size_t position = (high << 8 | input.Byte()) % bytes.size();
        bytes[position] = static_cast<char>(bytes[position] ^ input.Byte());
    }
    return ReadAnySegment(std::move(bytes), pattern.empty() ? "rock" : pattern);
}

}  // namespace

// The search index's segment reader: the first byte chooses between any bytes read as a
// segment, a built segment damaged where the input says (the header checksum made to agree
// in both), and a segment built from the input's texts.
std::string IndexSegment(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    const std::uint8_t switches = input.Byte();
    if (switches & 8)
        return DamageBuiltSegment(input);
    if (switches & 1) {
        const std::string pattern(input.Text());
        return ReadAnySegment(std::string(input.Rest()), pattern);
    }
    return BuildAndReadBack(input, switches);
}

}  // namespace vellumark::fuzz
