#include "config/xml_document.h"

#include "core/stored_text.h"
#include "system/file_status.h"

#include <sstream>

namespace vellumark {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;
constexpr unsigned kWriteOptions = pugi::format_raw;

class StringWriter final : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override { out_.append(static_cast<const char*>(data), size); }

private:
    std::string& out_;
};

pugi::xml_node NextElement(pugi::xml_node node)
{
    while (node && node.type() != pugi::node_element)
        node = node.next_sibling();
    return node;
}

}  // namespace

XmlElement XmlElement::FirstChild() const { return XmlElement(NextElement(node_.first_child())); }

XmlElement XmlElement::NextSibling() const { return XmlElement(NextElement(node_.next_sibling())); }

pugi::xml_attribute XmlElement::FindAttribute(std::string_view name) const
{
    for (pugi::xml_attribute attribute = node_.first_attribute(); attribute; attribute = attribute.next_attribute())
        if (name == attribute.name())
            return attribute;
    return {};
}

bool XmlElement::HasAttribute(std::string_view name) const { return static_cast<bool>(FindAttribute(name)); }

std::string XmlElement::Attribute(std::string_view name) const
{
    const std::string_view stored = FindAttribute(name).value();
    return NeedsStoredDecoding(stored) ? DecodeStoredText(stored) : std::string(stored);
}

void XmlElement::SetAttribute(std::string_view name, std::string_view value)
{
    pugi::xml_attribute attribute = FindAttribute(name);
    if (!attribute)
        attribute = node_.append_attribute(std::string(name).c_str());
    if (NeedsStoredEncoding(value))
        attribute.set_value(EncodeStoredText(value).c_str());
    else
        attribute.set_value(std::string(value).c_str());
}

std::string XmlElement::Markup() const
{
    std::string out;
    StringWriter writer(out);
    node_.print(writer, "", kWriteOptions, pugi::encoding_utf8);
    return out;
}

Status XmlDocument::ParseFile(const std::string& path)
{
    // The component would wait for ever on a named pipe; only regular files are read.
    if (const std::optional<FileKind> kind = KindOfPath(path, FollowLinks::Yes); kind && *kind != FileKind::RegularFile)
        return Status::Failed("Cannot read \"" + path + "\": it is not a regular file");
    // The file is read as UTF-8 whatever its declaration says, as catalogs are.
    const pugi::xml_parse_result result = document_.load_file(path.c_str(), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        std::ostringstream message;
        message << "Cannot read \"" << path << "\": " << result.description();
        if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error)
            message << " at offset " << result.offset;
        return Status::Failed(message.str());
    }
    if (!document_.document_element())
        return Status::Failed("Cannot read \"" + path + "\": no document element");
    return Status::Ok();
}

Status XmlDocument::SetContent(std::string_view text)
{
    const pugi::xml_parse_result result =
        document_.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (!result)
        return Status::Failed(std::string("Cannot read the XML text: ") + result.description());
    return Status::Ok();
}

}  // namespace vellumark
