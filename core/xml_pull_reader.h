#pragma once

#include "services/status.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// A streaming reader of XML files: it hands out element starts and ends one at a time and
// keeps only a window of the file in memory, so loading and searching a catalog of a million
// entries never holds a document of its own. It checks that the file is well-formed (one root
// element, matching tags, quoted attributes, known entities) and reports the first fault with
// its offset. The declaration, comments, processing instructions, a document type and text
// between elements are passed over.
class XmlPullReader {
public:
    enum class Event { StartElement, EndElement, Finished, Failed };

    struct Attribute {
        std::string_view name;
        std::string_view raw;  // as written between the quotes
        bool plain;            // nothing in it to resolve or decode: the value is the raw text
    };

    XmlPullReader();
    ~XmlPullReader();
    XmlPullReader(const XmlPullReader&) = delete;
    XmlPullReader& operator=(const XmlPullReader&) = delete;

    // Every byte read from the file is handed to the copy as well, in order, before the reader
    // looks at it (an export copies a catalog byte for byte while checking it). Set before Open.
    using ByteCopy = std::function<void(std::string_view bytes)>;
    void CopyBytesTo(ByteCopy copy) { copy_ = std::move(copy); }

    Status Open(const std::string& path);
    // Reads from memory instead of a file (the text must outlive the reader).
    void OpenText(std::string_view text);

    Event Next();

    // Valid after StartElement until the next call of Next.
    std::string_view ElementName() const { return elementName_; }
    // 0 for the root element.
    int Depth() const { return depth_; }
    // Where the element's start tag begins, in bytes from the start of the input.
    std::uint64_t ElementOffset() const { return elementOffset_; }
    const std::vector<Attribute>& Attributes() const { return attributes_; }
    // The first attribute of that name, or nullptr.
    const Attribute* FindAttribute(std::string_view name) const;
    // The value as the program holds it: entities resolved, white space normalised as XML
    // requires, the stored form decoded. Points into the reader until the next call of Next.
    std::string_view Value(const Attribute& attribute);
    // The value as the file stores it: entities resolved and white space normalised, the stored
    // form kept (it is valid UTF-8 of characters XML allows, whatever bytes the value holds).
    std::string_view StoredValue(const Attribute& attribute);

    const Status& Error() const { return error_; }
    std::uint64_t Offset() const { return consumed_ + position_; }

private:
    bool Fill(std::size_t wanted);
    bool Ensure(std::size_t count);
    Event Fail(std::string what);
    enum class TagParse { Done, NeedMore, Failed };
    Event ParseStartTag();
    TagParse ParseTagInWindow();
    Event ParseEndTag();
    bool SkipMarkup();  // comments, declarations, processing instructions, document types
    bool SkipSpaces();
    bool ReadName(std::string_view& name);
    std::string& Resolve(std::string_view raw);

    int fd_ = -1;
    bool endOfInput_ = false;
    std::string path_;
    std::vector<char> storage_;
    const char* data_ = nullptr;  // window start
    std::size_t size_ = 0;        // bytes in the window
    std::size_t position_ = 0;    // read position in the window
    std::uint64_t consumed_ = 0;  // bytes before the window
    ByteCopy copy_;

    std::string_view elementName_;
    std::vector<Attribute> attributes_;
    std::vector<std::string> openElements_;
    // A deque, so that handing out one more decoded value never moves the ones given before.
    std::deque<std::string> decoded_;
    std::size_t decodedUsed_ = 0;
    int depth_ = -1;
    std::uint64_t elementOffset_ = 0;
    bool pendingEnd_ = false;
    bool rootSeen_ = false;
    bool finished_ = false;
    Status error_;
};

}  // namespace vellumark
