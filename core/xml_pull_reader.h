#pragma once

#include "core/text_decoder.h"
#include "services/status.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// How much the reader holds at once: the window of text the parser works on (it grows for a
// token longer than that), and for input in another encoding than UTF-8 the most bytes read
// at once for decoding. Tests make them small, so that tokens and characters fall across the
// edges.
struct XmlReadSizes {
    std::size_t window = std::size_t{4} << 20;
    std::size_t input = std::size_t{256} << 10;
};

// A streaming reader of XML files: it hands out element starts and ends one at a time and
// keeps only a window of the file in memory, so loading and searching a catalog of a million
// entries never holds a document of its own. It checks that the file is well-formed (one root
// element, matching tags, quoted attributes, known entities) and reports the first fault with
// its offset. The declaration, comments, processing instructions, a document type and text
// between elements are passed over.
//
// UTF-8 input, declared or not, is read as it is, whatever bytes it holds. Input declared as
// ISO-8859-1 or windows-1252, and UTF-16 of either byte order (told by its byte-order mark, or
// by its first characters "<?"), is decoded into UTF-8 as the window moves on, so the parser
// and everything it hands out see UTF-8 in every case. Any other declared encoding is refused
// with "unsupported encoding X", and so is a declaration that contradicts the byte-order mark.
class XmlPullReader {
public:
    enum class Event { StartElement, EndElement, Finished, Failed };

    // The offset of an element of decoded input: its text is in the file in another form.
    static constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};

    struct Attribute {
        std::string_view name;
        std::string_view raw;  // as written between the quotes
        bool plain;            // nothing in it to resolve or decode: the value is the raw text
    };

    explicit XmlPullReader(XmlReadSizes sizes = {});
    ~XmlPullReader();
    XmlPullReader(const XmlPullReader&) = delete;
    XmlPullReader& operator=(const XmlPullReader&) = delete;

    // Every byte read from the file is handed to the copy as well, in order, before the reader
    // looks at it (an export copies a catalog byte for byte while checking it); the bytes as the
    // file holds them, before any decoding. Set before Open.
    using ByteCopy = std::function<void(std::string_view bytes)>;
    void CopyBytesTo(ByteCopy copy) { copy_ = std::move(copy); }

    Status Open(const std::string& path);
    // Reads from memory instead of a file (the text must outlive the reader).
    void OpenText(std::string_view text);

    Event Next();

    // Valid after StartElement until the next call of Next.
    std::string_view ElementName() const { return elementName_; }
    // What the input is written in; known once it is opened.
    TextEncoding Encoding() const { return encoding_; }

    // 0 for the root element.
    int Depth() const { return depth_; }
    // Where the element's start tag begins, in bytes from the start of the input; kNoOffset
    // when the input is decoded from another encoding than UTF-8.
    std::uint64_t ElementOffset() const { return encoding_ == TextEncoding::Utf8 ? elementOffset_ : kNoOffset; }
    const std::vector<Attribute>& Attributes() const { return attributes_; }
    // The first attribute of that name, or nullptr.
    const Attribute* FindAttribute(std::string_view name) const;
    // The value as the program holds it: entities resolved, white space normalised as XML
    // requires, the stored form decoded. Points into the reader until the next call of Next.
    std::string_view Value(const Attribute& attribute) { return attribute.plain ? attribute.raw : ResolvedValue(attribute); }
    // The value as the file stores it: entities resolved and white space normalised, the stored
    // form kept (it is valid UTF-8 of characters XML allows, whatever bytes the value holds).
    std::string_view StoredValue(const Attribute& attribute);

    const Status& Error() const { return error_; }
    // Where the reader stands, in bytes from the start of the input (decoded input included).
    std::uint64_t Offset() const;

private:
    std::string_view ResolvedValue(const Attribute& attribute);
    // Reads the byte-order mark and the declaration, and sets the decoding up.
    Status StartInput();
    Status StartDecoding(TextEncoding encoding, std::size_t markLength);
    // Fills the rest of the window with decoded text; false when no more comes.
    bool DecodeMore();
    bool ReadInput();
    // A fault of the input being decoded; it becomes the reader's fault only when the parser
    // asks for text beyond it, so the text before it is read the same whatever the window.
    bool FailInput(std::string what);
    Status Refuse(std::string what);
    std::string Where() const;
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

    XmlReadSizes sizes_;
    int fd_ = -1;
    bool endOfInput_ = false;
    std::string path_;
    std::vector<char> storage_;
    const char* data_ = nullptr;  // window start
    std::size_t size_ = 0;        // bytes in the window
    std::size_t position_ = 0;    // read position in the window
    std::uint64_t consumed_ = 0;  // bytes before the window
    ByteCopy copy_;

    // Input in another encoding: the bytes not decoded yet, and the decoder.
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::unique_ptr<TextDecoder> decoder_;
    std::vector<char> input_;
    const char* raw_ = nullptr;  // in input_, or in the text given
    std::size_t rawSize_ = 0;
    std::size_t rawPosition_ = 0;
    bool rawEnd_ = false;
    std::uint64_t rawOffset_ = 0;      // where raw_ starts in the input
    std::uint64_t decodedOffset_ = 0;  // where the text at the window's start is in the input
    Status inputError_;

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
