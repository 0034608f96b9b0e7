#pragma once

#include "services/status.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace vellumark {

// The program's thin layer over the XML component: the document and element operations that
// catalog files, the configuration file and the XML export rely on. Attribute values pass
// through the stored form (stored_text.h) on every get and set, so any bytes a value holds
// reach the file as well-formed XML and come back unchanged.
class XmlElement {
public:
    XmlElement() = default;
    explicit XmlElement(pugi::xml_node node) : node_(node) {}

    explicit operator bool() const { return static_cast<bool>(node_); }
    std::string_view Name() const { return node_.name(); }

    // Child elements in document order; other child nodes (text, comments) are passed over.
    XmlElement FirstChild() const;
    XmlElement NextSibling() const;
    std::size_t ChildCount() const;
    bool HasChildNodes() const;
    void RemoveAllChildren();
    XmlElement AppendElement(std::string_view name);
    // Appends a deep copy of an element, also one of another document.
    XmlElement AppendCopy(const XmlElement& element);

    bool HasAttribute(std::string_view name) const;
    // The value as the program holds it; an absent attribute reads as an empty text.
    std::string Attribute(std::string_view name) const;
    // Sets the value, adding the attribute at the end when it is new.
    void SetAttribute(std::string_view name, std::string_view value);

    // The element with its attributes and descendants as text, without a declaration.
    std::string Markup() const;

    pugi::xml_node Native() const { return node_; }

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
    void Clear() { document_.reset(); }
    // True once the document holds an element.
    bool IsActive() const { return static_cast<bool>(document_.document_element()); }
    XmlElement DocumentElement() const { return XmlElement(document_.document_element()); }

    // The whole document as written: its declaration, then the elements, no added white space.
    std::string ToString() const;
    // Writes ToString() to the path atomically.
    Status SaveFile(const std::string& path) const;

    pugi::xml_document& Native() { return document_; }

private:
    pugi::xml_document document_;
};

}  // namespace vellumark
