#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr std::uint64_t kNoOffset = std::numeric_limits<std::uint64_t>::max();

// The code points of a UTF-8 text (the tests only convert valid UTF-8).
std::vector<char32_t> CodePoints(std::string_view utf8)
{
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        points.push_back(point);
        i += length;
    }
    return points;
}

std::string Utf16(std::string_view utf8, bool bigEndian)
{
    std::string out;
    const auto unit = [&](char32_t value) {
        const char high = static_cast<char>(value >> 8), low = static_cast<char>(value & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (const char32_t point : CodePoints(utf8)) {
        if (point < 0x10000) {
            unit(point);
        } else {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// windows-1252's characters in 0x80 to 0x9F that differ from ISO-8859-1 and that the tests use.
char Windows1252Byte(char32_t point)
{
    switch (point) {
    case 0x20AC: return '\x80';
    case 0x201A: return '\x82';
    case 0x0152: return '\x8C';
    case 0x2018: return '\x91';
    case 0x2019: return '\x92';
    case 0x2122: return '\x99';
    default: return static_cast<char>(point);  // the tests give no other point above 0xFF
    }
}

std::string SingleByte(std::string_view utf8, bool windows)
{
    std::string out;
    for (const char32_t point : CodePoints(utf8))
        out += windows ? Windows1252Byte(point) : static_cast<char>(point);
    return out;
}

std::string Declaration(std::string_view encoding)
{
    return "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\" standalone=\"yes\"?>";
}

// A catalog of the names (UTF-8), one entry each below a root, without a declaration.
std::string CatalogBody(const std::vector<std::string>& names)
{
    std::string body = "<fileinfo generated=\"Vellumark\"><file FileName=\"Disc\" FullPath=\"/media/Disc\">";
    for (const std::string& name : names)
        body += "<file FileName=\"" + name + "\" FullPath=\"/media/Disc/" + name + "\" Description=\"&#233; &amp; " + name
              + "\"/>";
    return body + "</file></fileinfo>";
}

struct Read {
    Status status;
    std::vector<std::string> names;
    std::vector<std::string> descriptions;
    std::vector<std::uint64_t> offsets;
};

Read ReadFileEntries(const std::string& path)
{
    Read read;
    read.status = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        read.names.emplace_back(entry.Value(kFileName));
        read.descriptions.emplace_back(entry.Value(kDescription));
        read.offsets.push_back(entry.Offset());
        return true;
    });
    return read;
}

class CatalogEncodings : public ::testing::Test {
protected:
    std::string Put(std::string_view name, std::string_view bytes)
    {
        const std::string path = dir / name;
        WriteFile(path, bytes);
        return path;
    }

    TempDir dir;
};

struct Encoded {
    const char* label;
    std::string bytes;
};

// Every encoding a catalog may declare reads as the same catalog written in UTF-8: the names
// hold é and €, and in UTF-16 a character beyond the Basic Multilingual Plane.
TEST_F(CatalogEncodings, EachEncodingReadsAsTheSameCatalogInUtf8)
{
    const std::vector<std::string> latin = {"caf\xC3\xA9", "\xC3\xBF" "end", "plain"};
    const std::vector<std::string> windows = {"caf\xC3\xA9", "\xE2\x82\xAC 5", "\xC5\x92uvre \xE2\x80\x98q\xE2\x80\x99\xE2\x84\xA2"};
    const std::vector<std::string> wide = {"caf\xC3\xA9", "\xE2\x82\xAC", "smile \xF0\x9F\x98\x80", "\xE6\x97\xA5\xE6\x9C\xAC"};
    const std::string wideText = Declaration("UTF-16") + CatalogBody(wide);
    const std::vector<std::pair<Encoded, std::vector<std::string>>> cases = {
        {{"ISO-8859-1", SingleByte(Declaration("ISO-8859-1") + CatalogBody(latin), false)}, latin},
        {{"latin1 spelled otherwise", SingleByte(Declaration("latin1") + CatalogBody(latin), false)}, latin},
        {{"windows-1252", SingleByte(Declaration("windows-1252") + CatalogBody(windows), true)}, windows},
        {{"cp1252", SingleByte(Declaration("CP1252") + CatalogBody(windows), true)}, windows},
        {{"UTF-16LE with a mark", "\xFF\xFE" + Utf16(wideText, false)}, wide},
        {{"UTF-16BE with a mark", "\xFE\xFF" + Utf16(wideText, true)}, wide},
        {{"UTF-16LE without a mark", Utf16(wideText, false)}, wide},
        {{"UTF-16BE without a mark", Utf16(wideText, true)}, wide},
        {{"UTF-16LE with a mark, no declaration", "\xFF\xFE" + Utf16(CatalogBody(wide), false)}, wide},
        {{"UTF-16BE declared as such", Utf16(Declaration("utf-16be") + CatalogBody(wide), true)}, wide},
    };
    for (const auto& [encoded, names] : cases) {
        SCOPED_TRACE(encoded.label);
        const std::string path = Put("Encoded.xml", encoded.bytes);
        const Read read = ReadFileEntries(path);
        ASSERT_TRUE(read.status.ok()) << read.status.message();
        std::vector<std::string> expectedNames = {"Disc"};
        std::vector<std::string> expectedDescriptions = {""};
        for (const std::string& name : names) {
            expectedNames.push_back(name);
            expectedDescriptions.push_back("\xC3\xA9 & " + name);
        }
        EXPECT_EQ(read.names, expectedNames);
        EXPECT_EQ(read.descriptions, expectedDescriptions);
        // Offsets into the decoded text would name no place in the file.
        EXPECT_EQ(read.offsets, std::vector<std::uint64_t>(read.names.size(), kNoOffset));

        CatalogTree tree;
        NullProgress progress;
        ASSERT_TRUE(ReadCatalogFile(path, tree, progress).ok());
        EXPECT_EQ(tree.First()->Child(1)->record.Field(kFullPath), "/media/Disc/" + names[1]);
    }
}

TEST_F(CatalogEncodings, UnsupportedEncodingsAreRefusedByTheirDeclaredName)
{
    for (const std::string name : {"Shift_JIS", "EBCDIC-US", "US-ASCII", "UTF-32", "x\xFF"}) {
        SCOPED_TRACE(name);
        const std::string path = Put("Other.xml", Declaration(name) + "<fileinfo><file FileName=\"a\"/></fileinfo>");
        const Read read = ReadFileEntries(path);
        EXPECT_EQ(read.status.code(), Status::Code::Failed);
        const std::string shown = name == "x\xFF" ? "x\\x{FF}" : name;
        EXPECT_EQ(read.status.message(), "Cannot read \"" + path + "\": unsupported encoding " + shown);
        EXPECT_TRUE(read.names.empty());
    }
    const Status text = ReadCatalogText(Declaration("KOI8-R") + "<fileinfo/>", [](const CatalogEntry&) { return true; });
    EXPECT_EQ(text.message(), "Cannot read the XML text: unsupported encoding KOI8-R");
}

// A declaration that cannot be read might name any encoding: it is refused rather than guessed.
TEST_F(CatalogEncodings, MalformedDeclarationsAreRefused)
{
    for (const std::string declaration :
         {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes?>", "<?xml version=1.0 encoding=\"latin1\"?>",
          "<?xml version=\"1.0\" encoding ISO-8859-1?>", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\""}) {
        SCOPED_TRACE(declaration);
        const std::string path = Put("Odd.xml", declaration + "<fileinfo><file FileName=\"caf\xE9\"/></fileinfo>");
        EXPECT_EQ(ReadFileEntries(path).status.message(), "Cannot read \"" + path + "\": a malformed XML declaration");
    }
    const std::string longOne = "<?xml version=\"1.0\"" + std::string(5000, ' ') + "encoding=\"latin1\"?><fileinfo/>";
    const std::string path = Put("Long.xml", longOne);
    EXPECT_EQ(ReadFileEntries(path).status.message(),
              "Cannot read \"" + path + "\": an XML declaration longer than 4096 bytes");
    // A processing instruction whose target merely starts with "xml" is no declaration.
    EXPECT_TRUE(ReadFileEntries(Put("Pi.xml", "<?xml-stylesheet href=\"a\"?><fileinfo/>")).status.ok());
    EXPECT_TRUE(ReadFileEntries(Put("Empty.xml", "<?xml version=\"1.0\"?><fileinfo/>")).status.ok());
}

// A byte-order mark and a declaration that contradict each other leave no way to tell the
// characters: such a file is refused.
TEST_F(CatalogEncodings, ContradictingMarksAndDeclarationsAreRefused)
{
    const std::string body = "<fileinfo><file FileName=\"a\"/></fileinfo>";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xEF\xBB\xBF" + Declaration("ISO-8859-1") + body,
         "encoding ISO-8859-1 declared in a file that starts with the UTF-8 byte-order mark"},
        {Declaration("UTF-16") + body, "encoding UTF-16 declared in a file that is not UTF-16"},
        {"\xFF\xFE" + Utf16(Declaration("ISO-8859-1") + body, false), "encoding ISO-8859-1 declared in a UTF-16LE file"},
        {Utf16(Declaration("UTF-16LE") + body, true), "encoding UTF-16LE declared in a UTF-16BE file"},
    };
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(message);
        const std::string path = Put("Odd.xml", bytes);
        EXPECT_EQ(ReadFileEntries(path).status.message(), "Cannot read \"" + path + "\": " + message);
    }
}

// windows-1252 leaves five bytes undefined; they read as the C1 control characters of the same
// number, as web browsers read them, so no byte of such a file is lost or refused.
TEST_F(CatalogEncodings, UndefinedWindows1252BytesReadAsC1Characters)
{
    const std::string path = Put("Undefined.xml", Declaration("windows-1252") + "<fileinfo><file FileName=\"a\x81\x8D\x8F\x90\x9D\x80z\"/></fileinfo>");
    CatalogTree tree;
    NullProgress progress;
    ASSERT_TRUE(ReadCatalogFile(path, tree, progress).ok());
    const std::string expected = "a\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xE2\x82\xACz";
    EXPECT_EQ(tree.First()->record.Field(kFileName), expected);

    // Saved, the file is UTF-8 and reads back the same.
    ASSERT_TRUE(WriteCatalogFile(tree, path, progress).ok());
    EXPECT_NE(ReadFile(path).find("FileName=\"" + expected + "\""), std::string::npos) << ReadFile(path);
    CatalogTree again;
    ASSERT_TRUE(ReadCatalogFile(path, again, progress).ok());
    EXPECT_EQ(again.First()->record.Field(kFileName), expected);
}

// UTF-16 that is no text (a lone surrogate, a last byte without its pair) is refused at the
// offset of the bad unit in the file; what came before was read.
TEST_F(CatalogEncodings, BrokenUtf16IsRefusedAtItsFileOffset)
{
    const std::string head = "\xFF\xFE" + Utf16("<fileinfo><file FileName=\"ok\"/><file FileName=\"a", false);
    const std::string tail = Utf16("\"/></fileinfo>", false);
    const struct {
        std::string bytes;
        std::string message;
        std::vector<std::string> names;
    } cases[] = {
        {head + std::string("\x00\xD8", 2) + tail, "invalid UTF-16LE at offset " + std::to_string(head.size()), {"ok"}},
        {head + std::string("\x00\xDC", 2) + tail, "invalid UTF-16LE at offset " + std::to_string(head.size()), {"ok"}},
        {head + tail + "\x20", "invalid UTF-16LE at offset " + std::to_string(head.size() + tail.size()), {"ok", "a"}},
    };
    for (const auto& [bytes, message, names] : cases) {
        SCOPED_TRACE(message);
        const std::string path = Put("Broken.xml", bytes);
        const Read read = ReadFileEntries(path);
        EXPECT_EQ(read.status.message(), "Cannot read \"" + path + "\": " + message);
        EXPECT_EQ(read.names, names);
    }
}

// A fault in a decoded file is reported at its offset in the file, not in the decoded text.
TEST_F(CatalogEncodings, FaultsAreReportedAtTheirOffsetInTheFile)
{
    const std::string latinHead = Declaration("ISO-8859-1") + "<fileinfo><file FileName=\"\xE9\xE9\xE9\"/></fileinfo>";
    const std::string latin = Put("Latin.xml", latinHead + " x");
    EXPECT_EQ(ReadFileEntries(latin).status.message(), "Cannot read \"" + latin
                                                            + "\": text after the document element at offset "
                                                            + std::to_string(latinHead.size() + 1));

    const std::string wideHead = "\xFE\xFF" + Utf16("<fileinfo><file FileName=\"\xF0\x9F\x98\x80\xC3\xA9\"/>", true);
    const std::string wide = Put("Wide.xml", wideHead + Utf16("<file FileName=x/></fileinfo>", true));
    EXPECT_EQ(ReadFileEntries(wide).status.message(),
              "Cannot read \"" + wide + "\": expected a quoted value of attribute \"FileName\" at offset "
                  + std::to_string(wideHead.size()));
}

// Far beyond the reader's first window, so that the decoded text's window and the bytes read
// for decoding end inside characters, values and tags.
TEST_F(CatalogEncodings, LargeFilesReadTheSameAcrossTheDecodingWindows)
{
    std::vector<std::string> names;
    for (int i = 0; i < 40000; ++i) {
        std::string name = "n\xC3\xA9";
        for (int k = 0; k < i % 97; ++k)
            name += i % 2 ? "x" : "\xC3\xA9";
        names.push_back(name + std::to_string(i) + (i % 5 == 0 ? " \xE2\x82\xAC" : ""));
    }
    const std::string utf8 = CatalogBody(names);
    ASSERT_GT(utf8.size(), 8u << 20);
    const std::string reference = Put("Reference.xml", Declaration("UTF-8") + utf8);
    const Read expected = ReadFileEntries(reference);
    ASSERT_TRUE(expected.status.ok());
    ASSERT_EQ(expected.names.size(), names.size() + 1);

    const std::vector<Encoded> files = {
        {"windows-1252", SingleByte(Declaration("windows-1252") + utf8, true)},
        {"UTF-16LE", "\xFF\xFE" + Utf16(Declaration("UTF-16") + utf8, false)},
        {"UTF-16BE", Utf16(Declaration("UTF-16") + utf8, true)},
    };
    for (const Encoded& file : files) {
        SCOPED_TRACE(file.label);
        const Read read = ReadFileEntries(Put("Large.xml", file.bytes));
        ASSERT_TRUE(read.status.ok()) << read.status.message();
        EXPECT_TRUE(read.names == expected.names);
        EXPECT_TRUE(read.descriptions == expected.descriptions);
    }
}

// A catalog in UTF-8, declared or not, is read as before: byte for byte, whatever it holds, with
// the entries' offsets in the file.
TEST_F(CatalogEncodings, Utf8IsReadAsItIs)
{
    for (const std::string& declaration : {std::string(), Declaration("UTF-8"), Declaration("utf8")}) {
        const std::string head = declaration + "<fileinfo>";
        const std::string path = Put("Plain.xml", head + "<file FileName=\"caf\xE9 \xC3\xA9\"/></fileinfo>");
        const Read read = ReadFileEntries(path);
        ASSERT_TRUE(read.status.ok()) << declaration;
        EXPECT_EQ(read.names, std::vector<std::string>{"caf\xE9 \xC3\xA9"});
        EXPECT_EQ(read.offsets, std::vector<std::uint64_t>{head.size()});
    }
}

}  // namespace
}  // namespace vellumark
