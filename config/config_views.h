#pragma once

#include "config/xml_document.h"

#include <cstddef>
#include <string>

namespace vellumark {

// Typed views of the configuration document. A view is a handle on one element: every getter
// reads the attribute from the document and converts it, every setter writes it back, so all
// readers see each change at once and nothing is cached. A view is valid as long as the
// configuration instance it came from; take a fresh one from ConfigInstance() each time.
// Getters throw ConfigError when the attribute is missing or does not convert, and when a
// child element they lead to is missing.

class LeftPaneLayout {
public:
    explicit LeftPaneLayout(XmlElement element) : element_(element) {}
    int Width() const;
    int NameColumnWidth() const;
    int TimeColumnWidth() const;
    int SizeColumnWidth() const;
    void SetWidth(int value);
    void SetNameColumnWidth(int value);
    void SetTimeColumnWidth(int value);
    void SetSizeColumnWidth(int value);

private:
    XmlElement element_;
};

class DetailPaneLayout {
public:
    explicit DetailPaneLayout(XmlElement element) : element_(element) {}
    int Height() const;
    int KeyColumnWidth() const;
    int ValueColumnWidth() const;
    void SetHeight(int value);
    void SetKeyColumnWidth(int value);
    void SetValueColumnWidth(int value);

private:
    XmlElement element_;
};

class WindowFrame {
public:
    explicit WindowFrame(XmlElement element) : element_(element) {}
    bool Maximized() const;
    int Left() const;
    int Top() const;
    int Height() const;
    int Width() const;
    void SetMaximized(bool value);
    void SetLeft(int value);
    void SetTop(int value);
    void SetHeight(int value);
    void SetWidth(int value);
    LeftPaneLayout LeftPane() const;
    DetailPaneLayout DetailPane() const;

private:
    XmlElement element_;
};

// One column of the file list. Name, ReadOnly and Align are set only by the default file or
// by hand; the program writes the other four.
class ColumnSetting {
public:
    explicit ColumnSetting(XmlElement element) : element_(element) {}
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

class ColumnSettings {
public:
    explicit ColumnSettings(XmlElement element) : element_(element) {}
    // The number of `node` children; other children are passed over.
    std::size_t Count() const;
    // The `node` child at a position, from 0, in document order.
    ColumnSetting Column(std::size_t position) const;

private:
    XmlElement element_;
};

class ConfigRoot {
public:
    explicit ConfigRoot(XmlElement element) : element_(element) {}
    std::string VersionNo() const;
    WindowFrame Frame() const;
    ColumnSettings Columns() const;

private:
    XmlElement element_;
};

}  // namespace vellumark
