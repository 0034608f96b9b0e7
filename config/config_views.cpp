#include "config/config_views.h"

#include "config/config_error.h"
#include "config/config_values.h"

#include <string_view>

namespace vellumark {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string ReadText(const XmlElement& element, std::string_view attribute)
{
    if (!element.HasAttribute(attribute))
        throw ConfigError("The configuration lacks the attribute " + Quoted(attribute) + " of element " +
                          Quoted(element.Name()));
    return element.Attribute(attribute);
}

[[noreturn]] void FailConversion(const XmlElement& element, std::string_view attribute, const std::string& text,
                                 std::string_view type)
{
    throw ConfigError("Cannot convert " + Quoted(text) + " of attribute " + Quoted(attribute) + " of element " +
                      Quoted(element.Name()) + " to " + std::string(type));
}

int ReadInteger(const XmlElement& element, std::string_view attribute)
{
    const std::string text = ReadText(element, attribute);
    const std::optional<int> value = ParseInteger(text);
    if (!value)
        FailConversion(element, attribute, text, "an integer");
    return *value;
}

bool ReadBoolean(const XmlElement& element, std::string_view attribute)
{
    const std::string text = ReadText(element, attribute);
    const std::optional<bool> value = ParseBoolean(text);
    if (!value)
        FailConversion(element, attribute, text, "a boolean");
    return *value;
}

void WriteInteger(XmlElement element, std::string_view attribute, int value)
{
    element.SetAttribute(attribute, FormatInteger(value));
}

void WriteBoolean(XmlElement element, std::string_view attribute, bool value)
{
    element.SetAttribute(attribute, FormatBoolean(value));
}

XmlElement Child(const XmlElement& parent, std::string_view name)
{
    for (XmlElement child = parent.FirstChild(); child; child = child.NextSibling()) {
        if (child.Name() == name)
            return child;
    }
    throw ConfigError("The configuration lacks the element " + Quoted(name) + " in element " +
                      Quoted(parent.Name()));
}

constexpr std::string_view kNode = "node";

}  // namespace

int LeftPaneLayout::Width() const { return ReadInteger(element_, "width"); }
int LeftPaneLayout::NameColumnWidth() const { return ReadInteger(element_, "col1"); }
int LeftPaneLayout::TimeColumnWidth() const { return ReadInteger(element_, "col2"); }
int LeftPaneLayout::SizeColumnWidth() const { return ReadInteger(element_, "col3"); }
void LeftPaneLayout::SetWidth(int value) { WriteInteger(element_, "width", value); }
void LeftPaneLayout::SetNameColumnWidth(int value) { WriteInteger(element_, "col1", value); }
void LeftPaneLayout::SetTimeColumnWidth(int value) { WriteInteger(element_, "col2", value); }
void LeftPaneLayout::SetSizeColumnWidth(int value) { WriteInteger(element_, "col3", value); }

int DetailPaneLayout::Height() const { return ReadInteger(element_, "height"); }
int DetailPaneLayout::KeyColumnWidth() const { return ReadInteger(element_, "col1"); }
int DetailPaneLayout::ValueColumnWidth() const { return ReadInteger(element_, "col2"); }
void DetailPaneLayout::SetHeight(int value) { WriteInteger(element_, "height", value); }
void DetailPaneLayout::SetKeyColumnWidth(int value) { WriteInteger(element_, "col1", value); }
void DetailPaneLayout::SetValueColumnWidth(int value) { WriteInteger(element_, "col2", value); }

bool WindowFrame::Maximized() const { return ReadBoolean(element_, "max"); }
int WindowFrame::Left() const { return ReadInteger(element_, "left"); }
int WindowFrame::Top() const { return ReadInteger(element_, "top"); }
int WindowFrame::Height() const { return ReadInteger(element_, "height"); }
int WindowFrame::Width() const { return ReadInteger(element_, "width"); }
void WindowFrame::SetMaximized(bool value) { WriteBoolean(element_, "max", value); }
void WindowFrame::SetLeft(int value) { WriteInteger(element_, "left", value); }
void WindowFrame::SetTop(int value) { WriteInteger(element_, "top", value); }
void WindowFrame::SetHeight(int value) { WriteInteger(element_, "height", value); }
void WindowFrame::SetWidth(int value) { WriteInteger(element_, "width", value); }
LeftPaneLayout WindowFrame::LeftPane() const { return LeftPaneLayout(Child(element_, "plLeft")); }
DetailPaneLayout WindowFrame::DetailPane() const { return DetailPaneLayout(Child(element_, "plHint")); }

std::string ColumnSetting::Name() const { return ReadText(element_, "Name"); }
bool ColumnSetting::Visible() const { return ReadBoolean(element_, "Visible"); }
int ColumnSetting::Index() const { return ReadInteger(element_, "Index"); }
bool ColumnSetting::DefaultExport() const { return ReadBoolean(element_, "DefaultExport"); }
int ColumnSetting::Width() const { return ReadInteger(element_, "Width"); }
bool ColumnSetting::ReadOnly() const { return ReadBoolean(element_, "ReadOnly"); }
std::string ColumnSetting::Align() const { return ReadText(element_, "Align"); }
void ColumnSetting::SetVisible(bool value) { WriteBoolean(element_, "Visible", value); }
void ColumnSetting::SetIndex(int value) { WriteInteger(element_, "Index", value); }
void ColumnSetting::SetDefaultExport(bool value) { WriteBoolean(element_, "DefaultExport", value); }
void ColumnSetting::SetWidth(int value) { WriteInteger(element_, "Width", value); }

std::size_t ColumnSettings::Count() const
{
    std::size_t count = 0;
    for (XmlElement child = element_.FirstChild(); child; child = child.NextSibling()) {
        if (child.Name() == kNode)
            ++count;
    }
    return count;
}

ColumnSetting ColumnSettings::Column(std::size_t position) const
{
    std::size_t seen = 0;
    for (XmlElement child = element_.FirstChild(); child; child = child.NextSibling()) {
        if (child.Name() == kNode && seen++ == position)
            return ColumnSetting(child);
    }
    throw ConfigError("The configuration has no column " + std::to_string(position) + "; it has " +
                      std::to_string(seen) + " columns");
}

std::string ConfigRoot::VersionNo() const { return ReadText(element_, "versionNo"); }
WindowFrame ConfigRoot::Frame() const { return WindowFrame(Child(element_, "frame")); }
ColumnSettings ConfigRoot::Columns() const { return ColumnSettings(Child(element_, "nodes")); }

}  // namespace vellumark
