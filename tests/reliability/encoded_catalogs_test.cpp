#include "app/cli/cli.h"
#include "config/config.h"
#include "core/catalog_file.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// Catalogs written by other programs in the encodings a catalog may declare, and the exports of
// names no reader takes as they are, through the command-line tool.
class EncodedCatalogs : public ::testing::Test {
protected:
    EncodedCatalogs() : home(dir / "home"), library(home + "/CatalogLibrary") { MakeDirs(library); }
    ~EncodedCatalogs() override { ResetConfigInstance(); }

    Outcome Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--home", home});
        std::ostringstream out, err;
        const int code = cli::Run(arguments, out, err, false);
        ResetConfigInstance();
        return {code, out.str(), err.str()};
    }

    TempDir dir;
    std::string home;
    std::string library;
};

const std::string kLatinCatalog = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><fileinfo generated=\"Vellumark\">"
                                  "<file FileName=\"Disc\" FullPath=\"/media/Disc\" FileType=\"directory\">"
                                  "<file FileName=\"caf\xE9.txt\" FullPath=\"/media/Disc/caf\xE9.txt\" FileType=\"file\" "
                                  "Description=\"cr\xE8me\"/></file></fileinfo>";

// An edit of a catalog in ISO-8859-1 writes it back in the program's own form, UTF-8, with its
// names intact: never the raw bytes of the old encoding in a file that now says UTF-8.
TEST_F(EncodedCatalogs, AnEditedLatin1CatalogIsWrittenAsUtf8WithItsNamesIntact)
{
    const std::string path = library + "/Latin.xml";
    WriteFile(path, kLatinCatalog);

    const Outcome edit = Cli({"edit", "Latin.xml", "--entry", "/media/Disc/caf\xC3\xA9.txt", "--description", "note"});
    ASSERT_EQ(edit.code, 0) << edit.err;

    const std::string written = ReadFile(path);
    EXPECT_TRUE(written.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>")) << written;
    EXPECT_NE(written.find("FileName=\"caf\xC3\xA9.txt\" FullPath=\"/media/Disc/caf\xC3\xA9.txt\""), std::string::npos)
        << written;
    EXPECT_EQ(written.find("\\x{"), std::string::npos) << written;
    const Outcome show = Cli({"show", "Latin.xml"});
    ASSERT_EQ(show.code, 0) << show.err;
    EXPECT_NE(show.out.find("caf\xC3\xA9.txt\t/media/Disc/caf\xC3\xA9.txt\t\t\t\tfile\tnote\t"), std::string::npos)
        << show.out;
}

// Written by other programs: UTF-16 with a byte-order mark (refused before as "text before the
// document element") and windows-1252 are searched by their characters.
TEST_F(EncodedCatalogs, SearchAndShowReadEveryDeclaredEncoding)
{
    const std::string wideText = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><fileinfo><file FileName=\"Wide\">"
                                 "<file FileName=\"na\xC3\xAF" "ve \xF0\x9F\x8E\xB5.mp3\"/></file></fileinfo>";
    std::string wide = "\xFF\xFE";
    for (std::size_t i = 0; i < wideText.size();) {
        // The text above holds ASCII, U+00EF and U+1F3B5 only.
        const auto byte = static_cast<unsigned char>(wideText[i]);
        if (byte < 0x80) {
            wide += wideText[i++];
            wide += '\0';
        } else if (byte == 0xC3) {
            wide += static_cast<char>(0xC0 | (wideText[i + 1] & 0x3F));
            wide += '\0';
            i += 2;
        } else {
            wide += "\x3C\xD8\xB5\xDF";
            i += 4;
        }
    }
    WriteFile(library + "/Wide.xml", wide);
    WriteFile(library + "/Windows.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><fileinfo>"
                                        "<file FileName=\"Win\"><file FileName=\"\x80 na\xEFve.txt\"/></file></fileinfo>");

    const Outcome show = Cli({"show", "Wide.xml"});
    ASSERT_EQ(show.code, 0) << show.err;
    EXPECT_NE(show.out.find("\nna\xC3\xAFve \xF0\x9F\x8E\xB5.mp3\t"), std::string::npos) << show.out;

    const Outcome search = Cli({"search", "--name", "na\xC3\xAFve"});
    ASSERT_EQ(search.code, 0) << search.err;
    EXPECT_NE(search.out.find("\nna\xC3\xAFve \xF0\x9F\x8E\xB5.mp3\t"), std::string::npos) << search.out;
    EXPECT_NE(search.out.find("\n\xE2\x82\xAC na\xC3\xAFve.txt\t"), std::string::npos) << search.out;
    EXPECT_EQ(search.err, "");
}

TEST_F(EncodedCatalogs, AnUnsupportedEncodingIsNamedAndTheSearchSkipsTheFile)
{
    const std::string path = library + "/Japanese.xml";
    WriteFile(path, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><fileinfo><file FileName=\"a\"/></fileinfo>");
    const Outcome show = Cli({"show", "Japanese.xml"});
    EXPECT_EQ(show.code, 1);
    EXPECT_EQ(show.err, "vellumark-cli: Cannot read \"" + path + "\": unsupported encoding Shift_JIS\n");
    const Outcome search = Cli({"search", "--name", "a"});
    EXPECT_EQ(search.code, 0);
    EXPECT_NE(search.err.find("unsupported encoding Shift_JIS"), std::string::npos) << search.err;
}

// A tree with a name that holds a byte no UTF-8 reader takes and one a spreadsheet would run.
void WriteFormulaCatalog(const std::string& path)
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, "Disc");
    root->record.SetField(kFullPath, "/media/Disc");
    for (const std::string name : {"=HYPERLINK(\"http:x\",\"y\")", "bad\xFF.mp3"}) {
        CatalogTreeNode* node = tree.Append(root);
        node->record.SetField(kFileName, name);
        node->record.SetField(kFullPath, "/media/Disc/" + name);
    }
    NullProgress progress;
    ASSERT_TRUE(WriteCatalogFile(tree, path, progress).ok());
}

TEST_F(EncodedCatalogs, ExportsAreReadableUnlessRawIsAsked)
{
    WriteFormulaCatalog(library + "/Disc.xml");
    const std::string csv = dir / "out.csv";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "csv", "--out", csv, "--columns", "FileName"}).code, 0);
    EXPECT_EQ(ReadFile(csv), "FileName,\r\nDisc\r\n\"'=HYPERLINK(\"\"http:x\"\",\"\"y\"\")\"\r\nbad\\x{FF}.mp3\r\n");

    const Outcome raw = Cli({"export", "Disc.xml", "--format", "csv", "--out", csv, "--columns", "FileName", "--force", "--raw"});
    ASSERT_EQ(raw.code, 0) << raw.err;
    EXPECT_EQ(ReadFile(csv), "FileName,\r\nDisc\r\n\"=HYPERLINK(\"\"http:x\"\",\"\"y\"\")\"\r\nbad\xFF.mp3\r\n");

    const std::string html = dir / "out.htm";
    ASSERT_EQ(Cli({"export", "Disc.xml", "--format", "html", "--out", html, "--columns", "FileName", "--raw"}).code, 0);
    EXPECT_NE(ReadFile(html).find(">bad\xFF.mp3</td>"), std::string::npos);

    const std::string found = dir / "found.csv";
    ASSERT_EQ(Cli({"search", "--name", "bad", "--format", "csv", "--out", found}).code, 0);
    EXPECT_NE(ReadFile(found).find("\r\nbad\\x{FF}.mp3,/media/Disc/bad\\x{FF}.mp3,"), std::string::npos) << ReadFile(found);
    ASSERT_EQ(Cli({"search", "--name", "HYPER", "--format", "text", "--out", found, "--force", "--raw"}).code, 0);
    EXPECT_NE(ReadFile(found).find("\r\n=HYPERLINK(\"http:x\",\"y\")    /media/Disc/"), std::string::npos) << ReadFile(found);
    ASSERT_EQ(Cli({"search", "--name", "bad", "--format", "csv", "--out", found, "--force", "--raw"}).code, 0);
    EXPECT_NE(ReadFile(found).find("\r\nbad\xFF.mp3,/media/Disc/bad\xFF.mp3,"), std::string::npos) << ReadFile(found);
}

}  // namespace
}  // namespace vellumark
