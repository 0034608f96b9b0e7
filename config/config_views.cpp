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

int TXMLPlLeftType::width() const { return ReadInteger(element_, "width"); }
int TXMLPlLeftType::col1() const { return ReadInteger(element_, "col1"); }
int TXMLPlLeftType::col2() const { return ReadInteger(element_, "col2"); }
int TXMLPlLeftType::col3() const { return ReadInteger(element_, "col3"); }
void TXMLPlLeftType::SetWidth(int value) { WriteInteger(element_, "width", value); }
void TXMLPlLeftType::SetCol1(int value) { WriteInteger(element_, "col1", value); }
void TXMLPlLeftType::SetCol2(int value) { WriteInteger(element_, "col2", value); }
void TXMLPlLeftType::SetCol3(int value) { WriteInteger(element_, "col3", value); }

int TXMLPlHintType::height() const { return ReadInteger(element_, "height"); }
int TXMLPlHintType::col1() const { return ReadInteger(element_, "col1"); }
int TXMLPlHintType::col2() const { return ReadInteger(element_, "col2"); }
void TXMLPlHintType::SetHeight(int value) { WriteInteger(element_, "height", value); }
void TXMLPlHintType::SetCol1(int value) { WriteInteger(element_, "col1", value); }
void TXMLPlHintType::SetCol2(int value) { WriteInteger(element_, "col2", value); }

bool TXMLFrameType::max() const { return ReadBoolean(element_, "max"); }
int TXMLFrameType::left() const { return ReadInteger(element_, "left"); }
int TXMLFrameType::top() const { return ReadInteger(element_, "top"); }
int TXMLFrameType::height() const { return ReadInteger(element_, "height"); }
int TXMLFrameType::width() const { return ReadInteger(element_, "width"); }
void TXMLFrameType::SetMax(bool value) { WriteBoolean(element_, "max", value); }
void TXMLFrameType::SetLeft(int value) { WriteInteger(element_, "left", value); }
void TXMLFrameType::SetTop(int value) { WriteInteger(element_, "top", value); }
void TXMLFrameType::SetHeight(int value) { WriteInteger(element_, "height", value); }
void TXMLFrameType::SetWidth(int value) { WriteInteger(element_, "width", value); }
TXMLPlLeftType TXMLFrameType::plLeft() const { return TXMLPlLeftType(Child(element_, "plLeft")); }
TXMLPlHintType TXMLFrameType::plHint() const { return TXMLPlHintType(Child(element_, "plHint")); }

std::string TXMLNodeType::Name() const { return ReadText(element_, "Name"); }
bool TXMLNodeType::Visible() const { return ReadBoolean(element_, "Visible"); }
int TXMLNodeType::Index() const { return ReadInteger(element_, "Index"); }
bool TXMLNodeType::DefaultExport() const { return ReadBoolean(element_, "DefaultExport"); }
int TXMLNodeType::Width() const { return ReadInteger(element_, "Width"); }
bool TXMLNodeType::ReadOnly() const { return ReadBoolean(element_, "ReadOnly"); }
std::string TXMLNodeType::Align() const { return ReadText(element_, "Align"); }
void TXMLNodeType::SetVisible(bool value) { WriteBoolean(element_, "Visible", value); }
void TXMLNodeType::SetIndex(int value) { WriteInteger(element_, "Index", value); }
void TXMLNodeType::SetDefaultExport(bool value) { WriteBoolean(element_, "DefaultExport", value); }
void TXMLNodeType::SetWidth(int value) { WriteInteger(element_, "Width", value); }

std::size_t TXMLNodesType::Count() const
{
    std::size_t count = 0;
    for (XmlElement child = element_.FirstChild(); child; child = child.NextSibling()) {
        if (child.Name() == kNode)
            ++count;
    }
    return count;
}

TXMLNodeType TXMLNodesType::Node(std::size_t position) const
{
    std::size_t seen = 0;
    for (XmlElement child = element_.FirstChild(); child; child = child.NextSibling()) {
        if (child.Name() == kNode && seen++ == position)
            return TXMLNodeType(child);
    }
    throw ConfigError("The configuration has no column " + std::to_string(position) + "; it has " +
                      std::to_string(seen) + " columns");
}

std::string TXMLConfigType::versionNo() const { return ReadText(element_, "versionNo"); }
TXMLFrameType TXMLConfigType::frame() const { return TXMLFrameType(Child(element_, "frame")); }
TXMLNodesType TXMLConfigType::nodes() const { return TXMLNodesType(Child(element_, "nodes")); }

}  // namespace vellumark
