#include "config/config_error.h"
#include "config/config_values.h"
#include "config/config_views.h"
#include "config/xml_document.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vellumark {
namespace {

TEST(ConfigValues, ParsesWrittenAndHandEditedForms)
{
    EXPECT_EQ(ParseBoolean("True"), true);
    EXPECT_EQ(ParseBoolean("False"), false);
    EXPECT_EQ(ParseBoolean("tRuE"), true);
    EXPECT_EQ(ParseBoolean("FALSE"), false);
    EXPECT_EQ(ParseInteger("308"), 308);
    EXPECT_EQ(ParseInteger(" \t-12 "), -12);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("2147483647"), INT_MAX);
    EXPECT_EQ(ParseInteger("-2147483648"), INT_MIN);
}

TEST(ConfigValues, RejectsEverythingElse)
{
    for (const char* text : {"", "yes", "1", "0", " True", "True ", "Tru", "Truee"})
        EXPECT_FALSE(ParseBoolean(text)) << '"' << text << '"';
    for (const char* text : {"", "  ", "abc", "12abc", "1 2", "+-1", "-+1", "+", "-", "0x10", "1.5", "2147483648",
                             "-2147483649", "++1"})
        EXPECT_FALSE(ParseInteger(text)) << '"' << text << '"';
}

class ConfigViews : public ::testing::Test {
protected:
    ConfigRoot Load(const std::string& text)
    {
        EXPECT_TRUE(document_.SetContent(text));
        return ConfigRoot(document_.DocumentElement());
    }

    template <typename Read>
    static std::string ErrorOf(Read read)
    {
        try {
            read();
        } catch (const ConfigError& error) {
            return error.what();
        }
        return "no error";
    }

    XmlDocument document_;
};

TEST_F(ConfigViews, ConversionFailuresNameElementAttributeAndText)
{
    const ConfigRoot config = Load(
        R"(<config><frame max="yes" left="1"><plLeft width="abc" col1="5"/><plHint/></frame>)"
        R"(<nodes><node Name="FileName" Visible="True" Width=""/></nodes></config>)");
    EXPECT_EQ(ErrorOf([&] { config.Frame().LeftPane().Width(); }),
              R"(Cannot convert "abc" of attribute "width" of element "plLeft" to an integer)");
    EXPECT_EQ(ErrorOf([&] { config.Frame().Maximized(); }),
              R"(Cannot convert "yes" of attribute "max" of element "frame" to a boolean)");
    EXPECT_EQ(ErrorOf([&] { config.Columns().Column(0).Width(); }),
              R"(Cannot convert "" of attribute "Width" of element "node" to an integer)");
    EXPECT_EQ(ErrorOf([&] { config.Frame().Top(); }),
              R"(The configuration lacks the attribute "top" of element "frame")");
    EXPECT_EQ(ErrorOf([&] { config.Columns().Column(0).Align(); }),
              R"(The configuration lacks the attribute "Align" of element "node")");
    EXPECT_EQ(ErrorOf([&] { config.VersionNo(); }),
              R"(The configuration lacks the attribute "versionNo" of element "config")");
    // Values that do convert are read although their neighbours do not.
    EXPECT_EQ(config.Frame().Left(), 1);
    EXPECT_EQ(config.Frame().LeftPane().NameColumnWidth(), 5);
    EXPECT_TRUE(config.Columns().Column(0).Visible());
}

TEST_F(ConfigViews, MissingElementsFailTheReader)
{
    const ConfigRoot bare = Load("<config/>");
    EXPECT_EQ(ErrorOf([&] { bare.Frame(); }), R"(The configuration lacks the element "frame" in element "config")");
    EXPECT_EQ(ErrorOf([&] { bare.Columns(); }), R"(The configuration lacks the element "nodes" in element "config")");

    const ConfigRoot noPanels = Load(R"(<config><frame/><nodes><node/><other/><node/></nodes></config>)");
    EXPECT_EQ(ErrorOf([&] { noPanels.Frame().LeftPane(); }),
              R"(The configuration lacks the element "plLeft" in element "frame")");
    EXPECT_EQ(ErrorOf([&] { noPanels.Frame().DetailPane(); }),
              R"(The configuration lacks the element "plHint" in element "frame")");
    EXPECT_EQ(noPanels.Columns().Count(), 2u);
    EXPECT_EQ(ErrorOf([&] { noPanels.Columns().Column(2); }), "The configuration has no column 2; it has 2 columns");
}

TEST_F(ConfigViews, WritesGoStraightIntoTheDocument)
{
    ConfigRoot config = Load(R"(<config><frame max="True"><plLeft/><plHint/></frame>)"
                                 R"(<nodes><node Name="FileName" Visible="True"/><node Name="FullPath"/></nodes></config>)");
    WindowFrame frame = config.Frame();
    frame.SetMaximized(false);
    frame.SetLeft(-8);
    config.Frame().LeftPane().SetSizeColumnWidth(44);
    config.Frame().DetailPane().SetHeight(123);
    config.Columns().Column(1).SetVisible(false);
    config.Columns().Column(1).SetIndex(0);
    config.Columns().Column(0).SetWidth(250);
    config.Columns().Column(0).SetDefaultExport(false);

    // A second view of the same elements sees the changes: nothing is held in the views.
    EXPECT_FALSE(config.Frame().Maximized());
    EXPECT_EQ(config.Frame().Left(), -8);
    EXPECT_EQ(document_.DocumentElement().Markup(),
              R"(<config><frame max="False" left="-8"><plLeft col3="44"/><plHint height="123"/></frame>)"
              R"(<nodes><node Name="FileName" Visible="True" Width="250" DefaultExport="False"/>)"
              R"(<node Name="FullPath" Visible="False" Index="0"/></nodes></config>)");
}

}  // namespace
}  // namespace vellumark
