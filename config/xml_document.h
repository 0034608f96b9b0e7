#pragma once

#include "services/status.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace vellumark {

// The configuration's thin layer over the XML component: the element operations the typed
// views rely on. Attribute values pass through the stored form (core/stored_text.h) on every
// get and set, so any bytes a value holds reach the file as well-formed XML and come back
// unchanged.
class XmlElement {
public:
    XmlElement() = default;
    explicit XmlElement(pugi::xml_node node) : node_(node) {}

    explicit operator bool() const { return static_cast<bool>(node_); }
    std::string_view Name() const { return node_.name(); }

    // Child elements in document order; other child nodes (text, comments) are passed over.
    XmlElement FirstChild() const;
    XmlElement NextSibling() const;

    bool HasAttribute(std::string_view name) const;
    // The value as the program holds it; an absent attribute reads as an empty text.
    std::string Attribute(std::string_view name) const;
    // Sets the value, adding the attribute at the end when it is new.
    void SetAttribute(std::string_view name, std::string_view value);

    // The element with its attributes and descendants as text, without a declaration.
    std::string Markup() const;

private:
    pugi::xml_attribute FindAttribute(std::string_view name) const;
    pugi::xml_node node_;
};

class XmlDocument {
public:
    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the content; on failure the message names the file and the fault.
    Status ParseFile(const std::string& path);
    Status SetContent(std::string_view text);
    XmlElement DocumentElement() const { return XmlElement(document_.document_element()); }

private:
    pugi::xml_document document_;
};

}  // namespace vellumark
