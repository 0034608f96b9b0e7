#include "config/config_views.h"
#include "config/default_config.h"
#include "config/xml_document.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vellumark {
namespace {

// The default file written out by hand, element by element, independently of the column table.
const std::string kExpectedDefault =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<config versionNo=\"Vellumark V4.0\">"
    "\t<frame max=\"True\" left=\"0\" top=\"0\" height=\"600\" width=\"800\">"
    "\t\t<plLeft width=\"308\" col1=\"127\" col2=\"106\" col3=\"76\"/>"
    "\t\t<plHint height=\"262\" col1=\"139\" col2=\"139\"/>"
    "\t</frame>"
    "\t<nodes>"
    "\t\t<node Name=\"FileName\" Visible=\"True\" Index=\"0\" DefaultExport=\"True\" Width=\"172\" ReadOnly=\"False\" Align=\"left\"/>"
    "\t\t<node Name=\"FullPath\" Visible=\"True\" Index=\"1\" DefaultExport=\"True\" Width=\"173\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"FileSize\" Visible=\"True\" Index=\"2\" DefaultExport=\"True\" Width=\"84\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileTime\" Visible=\"True\" Index=\"3\" DefaultExport=\"True\" Width=\"112\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileExt\" Visible=\"True\" Index=\"4\" DefaultExport=\"True\" Width=\"66\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"FileType\" Visible=\"False\" Index=\"5\" DefaultExport=\"True\" Width=\"66\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t\t<node Name=\"Description\" Visible=\"True\" Index=\"6\" DefaultExport=\"True\" Width=\"124\" ReadOnly=\"False\" Align=\"left\"/>"
    "\t\t<node Name=\"FileNameLength\" Visible=\"False\" Index=\"7\" DefaultExport=\"False\" Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"PathNameLength\" Visible=\"False\" Index=\"8\" DefaultExport=\"False\" Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"SizePercentage\" Visible=\"False\" Index=\"9\" DefaultExport=\"False\" Width=\"100\" ReadOnly=\"True\" Align=\"right\"/>"
    "\t\t<node Name=\"DiskName\" Visible=\"True\" Index=\"10\" DefaultExport=\"True\" Width=\"66\" ReadOnly=\"True\" Align=\"left\"/>"
    "\t</nodes>"
    "</config>";

TEST(DefaultConfigText, IsTheExactOneLineFile)
{
    const std::string text = DefaultConfigText();
    EXPECT_EQ(text.size(), 1534u);
    EXPECT_EQ(text, kExpectedDefault);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

// Only tabs stand between tags, in the counts the file layout fixes.
TEST(DefaultConfigText, HasOnlyTheFixedTabsBetweenTags)
{
    const std::string text = DefaultConfigText();
    std::vector<std::string> seen;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t open = text.find('<', from);
        ASSERT_NE(open, std::string::npos);
        const std::string gap = text.substr(from, open - from);
        ASSERT_EQ(gap.find_first_not_of('\t'), std::string::npos) << "between tags: \"" << gap << "\"";
        const std::size_t nameEnd = text.find_first_of(" />", open + 2);
        seen.push_back(std::to_string(gap.size()) + text.substr(open + 1, nameEnd - open - 1));
        from = text.find('>', open) + 1;
    }
    std::vector<std::string> expected = {"0?xml", "0config", "1frame", "2plLeft", "2plHint", "1/frame", "1nodes"};
    expected.insert(expected.end(), 11, "2node");
    expected.insert(expected.end(), {"1/nodes", "0/config"});
    EXPECT_EQ(seen, expected);
}

TEST(DefaultConfigText, IsWellFormedForXmllint)
{
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed";
    testing::TempDir dir;
    testing::WriteFile(dir / "default.xml", DefaultConfigText());
    const std::string command = "xmllint --noout '" + (dir / "default.xml") + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

// The column table as the user documentation gives it; the default file is built from
// kDefaultColumns, so both must agree row by row, and the parsed file must give them back.
struct Row {
    const char* name;
    bool visible;
    int index;
    bool defaultExport;
    int width;
    bool readOnly;
    const char* align;
};

const Row kDocumentedColumns[] = {
    {"FileName", true, 0, true, 172, false, "left"},
    {"FullPath", true, 1, true, 173, true, "left"},
    {"FileSize", true, 2, true, 84, true, "right"},
    {"FileTime", true, 3, true, 112, true, "right"},
    {"FileExt", true, 4, true, 66, true, "right"},
    {"FileType", false, 5, true, 66, true, "left"},
    {"Description", true, 6, true, 124, false, "left"},
    {"FileNameLength", false, 7, false, 100, true, "right"},
    {"PathNameLength", false, 8, false, 100, true, "right"},
    {"SizePercentage", false, 9, false, 100, true, "right"},
    {"DiskName", true, 10, true, 66, true, "left"},
};

TEST(DefaultColumns, ReadBackThroughTheViewsAsDocumented)
{
    XmlDocument document;
    ASSERT_TRUE(document.SetContent(DefaultConfigText()));
    const ColumnSettings nodes = ConfigRoot(document.DocumentElement()).Columns();
    ASSERT_EQ(nodes.Count(), std::size(kDocumentedColumns));
    for (std::size_t i = 0; i < nodes.Count(); ++i) {
        SCOPED_TRACE(kDocumentedColumns[i].name);
        const Row& row = kDocumentedColumns[i];
        const ColumnSetting node = nodes.Column(i);
        EXPECT_EQ(node.Name(), row.name);
        EXPECT_EQ(node.Visible(), row.visible);
        EXPECT_EQ(node.Index(), row.index);
        EXPECT_EQ(node.DefaultExport(), row.defaultExport);
        EXPECT_EQ(node.Width(), row.width);
        EXPECT_EQ(node.ReadOnly(), row.readOnly);
        EXPECT_EQ(node.Align(), row.align);
        EXPECT_EQ(kDefaultColumns[i].name, row.name);
    }
}

}  // namespace
}  // namespace vellumark
