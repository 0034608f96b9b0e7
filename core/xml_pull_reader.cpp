#include "core/xml_pull_reader.h"

#include "core/stored_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {

namespace {

constexpr std::size_t kInitialWindow = 4 << 20;

// Character classes of the bytes the tokenizer looks at, one table lookup per byte.
enum CharClass : unsigned char {
    kSpace = 1,
    kNameStart = 2,
    kNameChar = 4,
    kValueSpecial = 8,  // in a value: "&", "<", "\\" or a control character
};

constexpr std::array<unsigned char, 256> MakeCharClasses()
{
    std::array<unsigned char, 256> classes{};
    for (int byte = 0; byte < 256; ++byte) {
        unsigned char bits = 0;
        const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (letter || byte == '_' || byte == ':' || byte >= 0x80)
            bits |= kNameStart | kNameChar;
        if ((byte >= '0' && byte <= '9') || byte == '-' || byte == '.')
            bits |= kNameChar;
        if (byte < 0x20 || byte == '&' || byte == '<' || byte == '\\')
            bits |= kValueSpecial;
        classes[byte] = bits;
    }
    for (int byte : {' ', '\t', '\n', '\r'})
        classes[byte] |= kSpace;
    return classes;
}

constexpr std::array<unsigned char, 256> kCharClasses = MakeCharClasses();

bool Is(char c, CharClass which) { return (kCharClasses[static_cast<unsigned char>(c)] & which) != 0; }
bool IsSpace(char c) { return Is(c, kSpace); }
bool IsNameStart(char c) { return Is(c, kNameStart); }
bool IsNameChar(char c) { return Is(c, kNameChar); }

bool IsXmlCodePoint(unsigned long code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Resolves the reference at the start of the text ("&amp;", "&#10;", ...). Returns its
// length, or 0 when it is no valid reference.
std::size_t ResolveReference(std::string_view text, std::string* out)
{
    const auto semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon < 2 || semicolon > 12)
        return 0;
    const std::string_view body = text.substr(1, semicolon - 1);
    char named = 0;
    if (body == "amp")
        named = '&';
    else if (body == "lt")
        named = '<';
    else if (body == "gt")
        named = '>';
    else if (body == "quot")
        named = '"';
    else if (body == "apos")
        named = '\'';
    if (named) {
        if (out)
            *out += named;
        return semicolon + 1;
    }
    if (body[0] != '#' || body.size() < 2)
        return 0;
    unsigned long code = 0;
    const bool hex = body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    for (char c : digits) {
        int value = -1;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        if (value < 0)
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
        if (code > 0x10FFFF)
            return 0;
    }
    if (!IsXmlCodePoint(code))
        return 0;
    if (out)
        AppendUtf8(*out, code);
    return semicolon + 1;
}

bool ReferencesValid(std::string_view raw)
{
    for (auto amp = raw.find('&'); amp != std::string_view::npos; amp = raw.find('&', amp + 1))
        if (ResolveReference(raw.substr(amp), nullptr) == 0)
            return false;
    return true;
}

}  // namespace

XmlPullReader::XmlPullReader() = default;

XmlPullReader::~XmlPullReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status XmlPullReader::Open(const std::string& path)
{
    path_ = path;
    // Without blocking, so that a named pipe without a writer is refused instead of waiting
    // for one forever; reads of a regular file never block anyway.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return error_ = Status::Failed("Cannot read \"" + path + "\": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return error_ = Status::Failed("Cannot read \"" + path + "\": not a regular file");
    storage_.resize(kInitialWindow);
    data_ = storage_.data();
    if (!Fill(3) && size_ == 0)
        return error_;
    if (size_ >= 3 && std::memcmp(data_, "\xEF\xBB\xBF", 3) == 0)
        position_ = 3;
    return error_;
}

void XmlPullReader::OpenText(std::string_view text)
{
    data_ = text.data();
    size_ = text.size();
    endOfInput_ = true;
    if (size_ >= 3 && std::memcmp(data_, "\xEF\xBB\xBF", 3) == 0)
        position_ = 3;
}

bool XmlPullReader::Fill(std::size_t wanted)
{
    if (endOfInput_ || fd_ < 0)
        return false;
    // Keep everything from the read position on; the token being read starts there.
    if (position_ > 0) {
        std::memmove(storage_.data(), storage_.data() + position_, size_ - position_);
        consumed_ += position_;
        size_ -= position_;
        position_ = 0;
    }
    if (storage_.size() - size_ < wanted || storage_.size() - size_ < storage_.size() / 4)
        storage_.resize(storage_.size() * 2);
    data_ = storage_.data();
    const std::size_t before = size_;
    while (size_ - before < wanted && size_ < storage_.size()) {
        const ssize_t got = ::read(fd_, storage_.data() + size_, storage_.size() - size_);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            endOfInput_ = true;
            error_ = Status::Failed("Cannot read \"" + path_ + "\": " + std::strerror(errno));
            return false;
        }
        if (got == 0) {
            endOfInput_ = true;
            break;
        }
        if (copy_)
            copy_(std::string_view(storage_.data() + size_, static_cast<std::size_t>(got)));
        size_ += static_cast<std::size_t>(got);
    }
    return size_ > before;
}

bool XmlPullReader::Ensure(std::size_t count)
{
    while (size_ - position_ < count)
        if (!Fill(count))
            return false;
    return true;
}

XmlPullReader::Event XmlPullReader::Fail(std::string what)
{
    if (error_.ok()) {
        std::string where = path_.empty() ? std::string("the XML text") : "\"" + path_ + "\"";
        error_ = Status::Failed("Cannot read " + where + ": " + what + " at offset " + std::to_string(Offset()));
    }
    return Event::Failed;
}

const XmlPullReader::Attribute* XmlPullReader::FindAttribute(std::string_view name) const
{
    for (const Attribute& attribute : attributes_)
        if (attribute.name == name)
            return &attribute;
    return nullptr;
}

std::string& XmlPullReader::Resolve(std::string_view raw)
{
    if (decodedUsed_ == decoded_.size())
        decoded_.emplace_back();
    std::string& out = decoded_[decodedUsed_++];
    out.clear();
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        if (c == '&') {
            const std::size_t length = ResolveReference(raw.substr(i), &out);
            i += length ? length : 1;
        } else if (c == '\r') {
            out += ' ';
            i += (i + 1 < raw.size() && raw[i + 1] == '\n') ? 2 : 1;
        } else if (c == '\t' || c == '\n') {
            out += ' ';
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string_view XmlPullReader::Value(const Attribute& attribute)
{
    if (attribute.plain)
        return attribute.raw;
    std::string& out = Resolve(attribute.raw);
    if (NeedsStoredDecoding(out))
        out = DecodeStoredText(out);
    return out;
}

std::string_view XmlPullReader::StoredValue(const Attribute& attribute)
{
    return attribute.plain ? attribute.raw : std::string_view(Resolve(attribute.raw));
}

bool XmlPullReader::SkipSpaces()
{
    for (;;) {
        while (position_ < size_ && IsSpace(data_[position_]))
            ++position_;
        if (position_ < size_)
            return true;
        if (!Fill(1))
            return false;
    }
}

XmlPullReader::Event XmlPullReader::Next()
{
    if (!error_.ok())
        return Event::Failed;
    if (finished_)
        return Event::Finished;
    decodedUsed_ = 0;
    attributes_.clear();
    if (pendingEnd_) {
        pendingEnd_ = false;
        depth_ = static_cast<int>(openElements_.size()) - 1;
        openElements_.pop_back();
        return Event::EndElement;
    }
    for (;;) {
        const std::size_t from = position_;
        const void* found = std::memchr(data_ + from, '<', size_ - from);
        const std::size_t textEnd = found ? static_cast<std::size_t>(static_cast<const char*>(found) - data_) : size_;
        if (openElements_.empty()) {
            for (std::size_t i = from; i < textEnd; ++i)
                if (!IsSpace(data_[i])) {
                    position_ = i;
                    return Fail(rootSeen_ ? "text after the document element" : "text before the document element");
                }
        }
        position_ = textEnd;
        if (!found) {
            if (Fill(1))
                continue;
            if (!error_.ok())
                return Event::Failed;
            if (!openElements_.empty())
                return Fail("unexpected end of file inside element \"" + openElements_.back() + "\"");
            if (!rootSeen_)
                return Fail("no document element");
            finished_ = true;
            return Event::Finished;
        }
        if (!Ensure(2))
            return Fail("unexpected end of file");
        const char second = data_[position_ + 1];
        if (second == '/')
            return ParseEndTag();
        if (second == '!' || second == '?') {
            if (!SkipMarkup())
                return Event::Failed;
            continue;
        }
        return ParseStartTag();
    }
}

bool XmlPullReader::ReadName(std::string_view& name)
{
    const std::size_t start = position_;
    if (position_ >= size_ || !IsNameStart(data_[position_]))
        return false;
    while (position_ < size_ && IsNameChar(data_[position_]))
        ++position_;
    name = std::string_view(data_ + start, position_ - start);
    return true;
}

XmlPullReader::Event XmlPullReader::ParseStartTag()
{
    if (rootSeen_ && openElements_.empty())
        return Fail("a second document element");
    // Parse the whole tag from its start; when the window ends inside it, read more (the tag
    // then starts at the front of the window) and parse it again.
    for (;;) {
        switch (ParseTagInWindow()) {
        case TagParse::Done:
            return Event::StartElement;
        case TagParse::Failed:
            return Event::Failed;
        case TagParse::NeedMore:
            if (!Fill(size_ - position_ + 1))
                return error_.ok() ? Fail("unexpected end of file inside a tag") : Event::Failed;
            break;
        }
    }
}

XmlPullReader::TagParse XmlPullReader::ParseTagInWindow()
{
    attributes_.clear();
    elementOffset_ = consumed_ + position_;
    std::size_t at = position_ + 1;
    while (at < size_ && IsNameChar(data_[at]))
        ++at;
    if (at >= size_)
        return TagParse::NeedMore;
    if (at == position_ + 1 || !IsNameStart(data_[position_ + 1])) {
        Fail("invalid element name");
        return TagParse::Failed;
    }
    const std::string_view name(data_ + position_ + 1, at - position_ - 1);
    bool selfClosing = false;
    for (;;) {
        const std::size_t spaceStart = at;
        while (at < size_ && IsSpace(data_[at]))
            ++at;
        if (at >= size_)
            return TagParse::NeedMore;
        const char c = data_[at];
        if (c == '>') {
            ++at;
            break;
        }
        if (c == '/') {
            if (at + 1 >= size_)
                return TagParse::NeedMore;
            if (data_[at + 1] != '>') {
                Fail("expected \"/>\"");
                return TagParse::Failed;
            }
            at += 2;
            selfClosing = true;
            break;
        }
        if (at == spaceStart) {
            Fail("expected white space before an attribute");
            return TagParse::Failed;
        }
        if (!IsNameStart(c)) {
            Fail("invalid attribute name");
            return TagParse::Failed;
        }
        const std::size_t attributeStart = at;
        while (at < size_ && IsNameChar(data_[at]))
            ++at;
        const std::string_view attributeName(data_ + attributeStart, at - attributeStart);
        while (at < size_ && IsSpace(data_[at]))
            ++at;
        if (at >= size_)
            return TagParse::NeedMore;
        if (data_[at] != '=') {
            Fail("expected \"=\" after attribute \"" + std::string(attributeName) + "\"");
            return TagParse::Failed;
        }
        ++at;
        while (at < size_ && IsSpace(data_[at]))
            ++at;
        if (at >= size_)
            return TagParse::NeedMore;
        const char quote = data_[at];
        if (quote != '"' && quote != '\'') {
            Fail("expected a quoted value of attribute \"" + std::string(attributeName) + "\"");
            return TagParse::Failed;
        }
        const std::size_t valueStart = at + 1;
        const void* close = std::memchr(data_ + valueStart, quote, size_ - valueStart);
        if (!close)
            return TagParse::NeedMore;
        const std::size_t valueEnd = static_cast<std::size_t>(static_cast<const char*>(close) - data_);
        const std::string_view raw(data_ + valueStart, valueEnd - valueStart);
        bool plain = true;
        for (char byte : raw)
            plain &= !Is(byte, kValueSpecial);
        if (!plain && std::memchr(raw.data(), '<', raw.size()) != nullptr) {
            Fail("\"<\" in the value of attribute \"" + std::string(attributeName) + "\"");
            return TagParse::Failed;
        }
        if (!plain && std::memchr(raw.data(), '&', raw.size()) != nullptr && !ReferencesValid(raw)) {
            Fail("invalid reference in the value of attribute \"" + std::string(attributeName) + "\"");
            return TagParse::Failed;
        }
        attributes_.push_back({attributeName, raw, plain});
        at = valueEnd + 1;
    }
    position_ = at;
    elementName_ = name;
    depth_ = static_cast<int>(openElements_.size());
    openElements_.emplace_back(name);
    rootSeen_ = true;
    pendingEnd_ = selfClosing;
    return TagParse::Done;
}

XmlPullReader::Event XmlPullReader::ParseEndTag()
{
    std::size_t at = position_ + 2;
    for (;;) {
        const void* close = std::memchr(data_ + at, '>', size_ - at);
        if (close)
            break;
        const std::size_t offset = at - position_;
        if (!Fill(size_ - position_ + 1))
            return error_.ok() ? Fail("unexpected end of file inside an end tag") : Event::Failed;
        at = position_ + offset;
    }
    position_ += 2;
    std::string_view name;
    if (!ReadName(name))
        return Fail("invalid end tag");
    while (position_ < size_ && IsSpace(data_[position_]))
        ++position_;
    if (position_ >= size_ || data_[position_] != '>')
        return Fail("invalid end tag");
    ++position_;
    if (openElements_.empty() || openElements_.back() != name)
        return Fail("end tag \"" + std::string(name) + "\" does not match the open element");
    depth_ = static_cast<int>(openElements_.size()) - 1;
    openElements_.pop_back();
    return Event::EndElement;
}

bool XmlPullReader::SkipMarkup()
{
    // position_ is at "<!" or "<?"; find where the construct ends.
    std::string_view terminator;
    bool documentType = false;
    if (!Ensure(4)) {
        Fail("unexpected end of file");
        return false;
    }
    const std::string_view head(data_ + position_, size_ - position_);
    if (head.substr(0, 2) == "<?") {
        terminator = "?>";
    } else if (head.substr(0, 4) == "<!--") {
        terminator = "-->";
    } else {
        if (!Ensure(9)) {
            Fail("unexpected end of file");
            return false;
        }
        const std::string_view longHead(data_ + position_, 9);
        if (longHead == "<![CDATA[") {
            if (openElements_.empty()) {
                Fail("character data outside the document element");
                return false;
            }
            terminator = "]]>";
        } else if (longHead == "<!DOCTYPE") {
            if (rootSeen_) {
                Fail("a document type after the document element");
                return false;
            }
            documentType = true;
        } else {
            Fail("unknown markup");
            return false;
        }
    }
    std::size_t at = position_ + 2;
    int brackets = 0;
    char quote = 0;
    for (;;) {
        if (documentType) {
            for (; at < size_; ++at) {
                const char c = data_[at];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    --brackets;
                } else if (c == '>' && brackets <= 0) {
                    position_ = at + 1;
                    return true;
                }
            }
        } else {
            const std::string_view rest(data_ + at, size_ - at);
            const auto end = rest.find(terminator);
            if (end != std::string_view::npos) {
                position_ = at + end + terminator.size();
                return true;
            }
            at = size_ > terminator.size() ? std::max(at, size_ - terminator.size()) : at;
        }
        const std::size_t offset = at - position_;
        if (!Fill(size_ - position_ + 1)) {
            if (error_.ok())
                Fail("unexpected end of file inside markup");
            return false;
        }
        at = position_ + offset;
    }
}

}  // namespace vellumark
