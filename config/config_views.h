#pragma once

#include "core/xml_document.h"

#include <cstddef>
#include <string>

namespace vellumark {

// Typed views of the configuration document. A view is a handle on one element: every getter
// reads the attribute from the document and converts it, every setter writes it back, so all
// readers see each change at once and nothing is cached. A view is valid as long as the
// configuration instance it came from; take a fresh one from ConfigInstance() each time.
// Getters throw ConfigError when the attribute is missing or does not convert, and when a
// child element they lead to is missing.

class TXMLPlLeftType {
public:
    explicit TXMLPlLeftType(XmlElement element) : element_(element) {}
    int width() const;
    int col1() const;
    int col2() const;
    int col3() const;
    void SetWidth(int value);
    void SetCol1(int value);
    void SetCol2(int value);
    void SetCol3(int value);

private:
    XmlElement element_;
};

class TXMLPlHintType {
public:
    explicit TXMLPlHintType(XmlElement element) : element_(element) {}
    int height() const;
    int col1() const;
    int col2() const;
    void SetHeight(int value);
    void SetCol1(int value);
    void SetCol2(int value);

private:
    XmlElement element_;
};

class TXMLFrameType {
public:
    explicit TXMLFrameType(XmlElement element) : element_(element) {}
    bool max() const;
    int left() const;
    int top() const;
    int height() const;
    int width() const;
    void SetMax(bool value);
    void SetLeft(int value);
    void SetTop(int value);
    void SetHeight(int value);
    void SetWidth(int value);
    TXMLPlLeftType plLeft() const;
    TXMLPlHintType plHint() const;

private:
    XmlElement element_;
};

// One column of the file list. Name, ReadOnly and Align are set only by the default file or
// by hand; the program writes the other four.
class TXMLNodeType {
public:
    explicit TXMLNodeType(XmlElement element) : element_(element) {}
    std::string Name() const;
    bool Visible() const;
    int Index() const;
    bool DefaultExport() const;
    int Width() const;
    bool ReadOnly() const;
    std::string Align() const;
    void SetVisible(bool value);
    void SetIndex(int value);
    void SetDefaultExport(bool value);
    void SetWidth(int value);

private:
    XmlElement element_;
};

class TXMLNodesType {
public:
    explicit TXMLNodesType(XmlElement element) : element_(element) {}
    // The number of `node` children; other children are passed over.
    std::size_t Count() const;
    // The `node` child at a position, from 0, in document order.
    TXMLNodeType Node(std::size_t position) const;

private:
    XmlElement element_;
};

class TXMLConfigType {
public:
    explicit TXMLConfigType(XmlElement element) : element_(element) {}
    std::string versionNo() const;
    TXMLFrameType frame() const;
    TXMLNodesType nodes() const;

private:
    XmlElement element_;
};

}  // namespace vellumark
