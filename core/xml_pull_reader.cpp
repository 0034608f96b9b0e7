#include "core/xml_pull_reader.h"

#include "core/stored_text.h"
#include "system/file_status.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vellumark {

namespace {

// A declaration longer than this is refused rather than looked for ever.
constexpr std::size_t kDeclarationLimit = 4096;
// Room for the longest character the decoder writes.
constexpr std::size_t kCharacterRoom = 4;

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

XmlPullReader::XmlPullReader(XmlReadSizes sizes) : sizes_(sizes)
{
    sizes_.window = std::max<std::size_t>(sizes_.window, 16);
    sizes_.input = std::max<std::size_t>(sizes_.input, 1);
}

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
    const std::optional<FileStatus> file = StatusOfOpenFile(fd_);
    if (!file || file->kind != FileKind::RegularFile)
        return error_ = Status::Failed("Cannot read \"" + path + "\": not a regular file");
    storage_.resize(sizes_.window);
    data_ = storage_.data();
    return StartInput();
}

void XmlPullReader::OpenText(std::string_view text)
{
    data_ = text.data();
    size_ = text.size();
    endOfInput_ = true;
    StartInput();
}

Status XmlPullReader::StartInput()
{
    using Family = EncodingSignature::Family;
    Ensure(4);  // a shorter input is all there is
    if (!error_.ok())
        return error_;
    const EncodingSignature signature = SignatureOf(std::string_view(data_ + position_, size_ - position_));
    if (signature.family == Family::Utf32)
        return Refuse("unsupported encoding UTF-32");
    if (signature.family == Family::Utf16Le || signature.family == Family::Utf16Be) {
        const auto encoding = signature.family == Family::Utf16Le ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
        if (Status status = StartDecoding(encoding, signature.markLength); !status)
            return status;
    } else {
        position_ += signature.markLength;
    }

    // The declaration is looked for in the first bytes only, the same bytes whatever the window.
    DeclaredEncoding declared;
    std::string_view head;
    for (;;) {
        head = std::string_view(data_ + position_, std::min(size_ - position_, kDeclarationLimit));
        // Input that failed is not complete: its fault is what the reader reports.
        declared = FindDeclaredEncoding(head, (endOfInput_ && inputError_.ok()) || head.size() == kDeclarationLimit);
        if (declared.outcome != DeclaredEncoding::Outcome::Incomplete)
            break;
        if (!Fill(size_ - position_ + 1)) {
            if (!error_.ok())
                return error_;
            declared = FindDeclaredEncoding(std::string_view(data_ + position_, size_ - position_), true);
            break;
        }
    }
    if (declared.outcome == DeclaredEncoding::Outcome::Malformed)
        return Refuse(head.size() == kDeclarationLimit && head.find("?>") == std::string_view::npos
                          ? "an XML declaration longer than " + std::to_string(kDeclarationLimit) + " bytes"
                          : "a malformed XML declaration");
    if (declared.outcome != DeclaredEncoding::Outcome::Found)
        return Status::Ok();

    const std::optional<DeclaredFamily> family = FamilyOfName(declared.name);
    const std::string name = EncodeStoredText(declared.name);
    if (!family)
        return Refuse("unsupported encoding " + name);
    switch (signature.family) {
    case Family::Utf16Le:
    case Family::Utf16Be: {
        const bool fits = *family == DeclaredFamily::Utf16
            || (*family == DeclaredFamily::Utf16Le && encoding_ == TextEncoding::Utf16Le)
            || (*family == DeclaredFamily::Utf16Be && encoding_ == TextEncoding::Utf16Be);
        return fits ? Status::Ok()
                    : Refuse("encoding " + name + " declared in a " + std::string(NameOf(encoding_)) + " file");
    }
    case Family::Utf8:
        return *family == DeclaredFamily::Utf8
            ? Status::Ok()
            : Refuse("encoding " + name + " declared in a file that starts with the UTF-8 byte-order mark");
    default:
        break;
    }
    switch (*family) {
    case DeclaredFamily::Utf8:
        return Status::Ok();
    case DeclaredFamily::Latin1:
        return StartDecoding(TextEncoding::Latin1, 0);
    case DeclaredFamily::Windows1252:
        return StartDecoding(TextEncoding::Windows1252, 0);
    default:
        return Refuse("encoding " + name + " declared in a file that is not UTF-16");
    }
}

Status XmlPullReader::StartDecoding(TextEncoding encoding, std::size_t markLength)
{
    decoder_ = std::make_unique<TextDecoder>(encoding);
    if (!decoder_->Ready())
        return Refuse("this system cannot decode " + std::string(NameOf(encoding)));
    encoding_ = encoding;
    // What was read so far is the first of the undecoded input; from here on the window holds
    // decoded text.
    const std::size_t start = position_ + markLength;
    rawOffset_ = consumed_ + start;
    decodedOffset_ = rawOffset_;
    rawSize_ = size_ - start;
    rawPosition_ = 0;
    rawEnd_ = endOfInput_;
    if (fd_ >= 0) {
        input_.assign(data_ + start, data_ + size_);
        raw_ = input_.data();
    } else {
        raw_ = data_ + start;
    }
    storage_.resize(sizes_.window);
    data_ = storage_.data();
    size_ = position_ = 0;
    consumed_ = 0;
    endOfInput_ = false;
    return Status::Ok();
}

std::string XmlPullReader::Where() const { return path_.empty() ? std::string("the XML text") : "\"" + path_ + "\""; }

Status XmlPullReader::Refuse(std::string what)
{
    if (error_.ok())
        error_ = Status::Failed("Cannot read " + Where() + ": " + what);
    return error_;
}

bool XmlPullReader::FailInput(std::string what)
{
    inputError_ = Status::Failed("Cannot read " + Where() + ": " + what);
    endOfInput_ = true;
    return false;
}

std::uint64_t XmlPullReader::Offset() const
{
    if (!decoder_)
        return consumed_ + position_;
    return decodedOffset_ + decoder_->EncodedLength(std::string_view(data_, position_));
}

bool XmlPullReader::Fill(std::size_t wanted)
{
    if (endOfInput_ || (fd_ < 0 && !decoder_)) {
        if (!inputError_.ok() && error_.ok())
            error_ = inputError_;
        return false;
    }
    // Keep everything from the read position on; the token being read starts there.
    if (position_ > 0) {
        if (decoder_)
            decodedOffset_ += decoder_->EncodedLength(std::string_view(data_, position_));
        std::memmove(storage_.data(), storage_.data() + position_, size_ - position_);
        consumed_ += position_;
        size_ -= position_;
        position_ = 0;
    }
    const std::size_t room = std::max(wanted, kCharacterRoom);
    if (storage_.size() - size_ < room || storage_.size() - size_ < storage_.size() / 4)
        storage_.resize(storage_.size() * 2);
    data_ = storage_.data();
    const std::size_t before = size_;
    if (decoder_) {
        while (size_ - before < wanted && DecodeMore()) {
        }
        if (size_ == before && !inputError_.ok() && error_.ok())
            error_ = inputError_;
        return size_ > before;
    }
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

bool XmlPullReader::DecodeMore()
{
    for (;;) {
        const TextDecoder::Step step = decoder_->Decode(std::string_view(raw_ + rawPosition_, rawSize_ - rawPosition_),
                                                        storage_.data() + size_, storage_.size() - size_);
        rawPosition_ += step.read;
        size_ += step.written;
        if (step.written > 0)
            return true;
        const std::string fault = "invalid " + std::string(NameOf(encoding_)) + " at offset ";
        if (step.invalid)
            return FailInput(fault + std::to_string(rawOffset_ + rawPosition_));
        if (storage_.size() - size_ < kCharacterRoom)
            return false;
        if (rawEnd_) {
            // What is left is a character the input ends inside.
            if (rawPosition_ < rawSize_)
                return FailInput(fault + std::to_string(rawOffset_ + rawPosition_));
            endOfInput_ = true;
            return false;
        }
        if (!ReadInput())
            return false;
    }
}

bool XmlPullReader::ReadInput()
{
    // The bytes not decoded yet (a character the last read cut off) move to the front.
    const std::size_t kept = rawSize_ - rawPosition_;
    std::memmove(input_.data(), input_.data() + rawPosition_, kept);
    rawOffset_ += rawPosition_;
    rawPosition_ = 0;
    rawSize_ = kept;
    if (input_.size() < kept + sizes_.input)
        input_.resize(kept + sizes_.input);
    raw_ = input_.data();
    for (;;) {
        const ssize_t got = ::read(fd_, input_.data() + kept, sizes_.input);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return FailInput(std::strerror(errno));
        }
        if (got == 0) {
            rawEnd_ = true;
            return true;
        }
        if (copy_)
            copy_(std::string_view(input_.data() + kept, static_cast<std::size_t>(got)));
        rawSize_ += static_cast<std::size_t>(got);
        return true;
    }
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
    if (error_.ok())
        error_ = Status::Failed("Cannot read " + Where() + ": " + what + " at offset " + std::to_string(Offset()));
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
        // The bytes up to the next one to resolve go over as one piece.
        std::size_t plain = i;
        while (plain < raw.size() && raw[plain] != '&' && raw[plain] != '\r' && raw[plain] != '\t' && raw[plain] != '\n')
            ++plain;
        out.append(raw.data() + i, plain - i);
        if (plain == raw.size())
            break;
        i = plain;
        const char c = raw[i];
        if (c == '&') {
            const std::size_t length = ResolveReference(raw.substr(i), &out);
            i += length ? length : 1;
        } else if (c == '\r') {
            out += ' ';
            i += (i + 1 < raw.size() && raw[i + 1] == '\n') ? 2 : 1;
        } else {
            out += ' ';  // a tab or a line feed
            ++i;
        }
    }
    return out;
}

// The values with something to resolve or decode; plain ones are their raw text (Value).
std::string_view XmlPullReader::ResolvedValue(const Attribute& attribute)
{
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
