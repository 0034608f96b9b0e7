#include "core/text_decoder.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace vellumark {

namespace {

bool StartsWith(std::string_view text, std::string_view bytes) { return text.substr(0, bytes.size()) == bytes; }

bool IsDeclarationSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDeclarationNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
        || c == '-' || c == ':';
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    return true;
}

bool IsUndefinedInWindows1252(unsigned char byte)
{
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

iconv_t Converter(void* converter) { return static_cast<iconv_t>(converter); }

}  // namespace

std::string_view NameOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Latin1:
        return "ISO-8859-1";
    case TextEncoding::Windows1252:
        return "windows-1252";
    case TextEncoding::Utf16Le:
        return "UTF-16LE";
    case TextEncoding::Utf16Be:
        return "UTF-16BE";
    }
    return "UTF-8";
}

EncodingSignature SignatureOf(std::string_view head)
{
    using Family = EncodingSignature::Family;
    if (StartsWith(head, "\xEF\xBB\xBF"))
        return {Family::Utf8, 3};
    if (StartsWith(head, std::string_view("\xFF\xFE\0\0", 4)) || StartsWith(head, std::string_view("\0\0\xFE\xFF", 4))
        || StartsWith(head, std::string_view("<\0\0\0", 4)) || StartsWith(head, std::string_view("\0\0\0<", 4)))
        return {Family::Utf32, 0};
    if (StartsWith(head, "\xFF\xFE"))
        return {Family::Utf16Le, 2};
    if (StartsWith(head, "\xFE\xFF"))
        return {Family::Utf16Be, 2};
    if (StartsWith(head, std::string_view("<\0?\0", 4)))
        return {Family::Utf16Le, 0};
    if (StartsWith(head, std::string_view("\0<\0?", 4)))
        return {Family::Utf16Be, 0};
    return {Family::Ascii, 0};
}

DeclaredEncoding FindDeclaredEncoding(std::string_view text, bool complete)
{
    using Outcome = DeclaredEncoding::Outcome;
    constexpr std::string_view kStart = "<?xml";
    if (text.size() <= kStart.size())
        return {!complete && StartsWith(kStart, text) ? Outcome::Incomplete : Outcome::None, {}};
    // A declaration the whole text does not finish (a quote left open) says nothing sure about
    // the encoding; text yet to come may finish it.
    const Outcome cut = complete ? Outcome::Malformed : Outcome::Incomplete;
    if (!StartsWith(text, kStart) || !IsDeclarationSpace(text[kStart.size()]))
        return {};
    DeclaredEncoding declared;
    std::size_t at = kStart.size();
    const auto skipSpaces = [&] {
        while (at < text.size() && IsDeclarationSpace(text[at]))
            ++at;
    };
    for (;;) {
        skipSpaces();
        if (at + 1 >= text.size())
            return {cut, {}};
        if (text[at] == '?' && text[at + 1] == '>')
            return declared;
        const std::size_t nameStart = at;
        while (at < text.size() && IsDeclarationNameChar(text[at]))
            ++at;
        const std::string_view name = text.substr(nameStart, at - nameStart);
        skipSpaces();
        if (at >= text.size())
            return {cut, {}};
        if (name.empty() || text[at] != '=')
            return {Outcome::Malformed, {}};
        ++at;
        skipSpaces();
        if (at >= text.size())
            return {cut, {}};
        const char quote = text[at];
        if (quote != '"' && quote != '\'')
            return {Outcome::Malformed, {}};
        const std::size_t close = text.find(quote, at + 1);
        if (close == std::string_view::npos)
            return {cut, {}};
        if (name == "encoding") {
            declared.outcome = Outcome::Found;
            declared.name = std::string(text.substr(at + 1, close - at - 1));
        }
        at = close + 1;
    }
}

std::optional<DeclaredFamily> FamilyOfName(std::string_view name)
{
    struct Alias {
        std::string_view name;
        DeclaredFamily family;
    };
    static constexpr std::array<Alias, 19> kAliases = {{
        {"UTF-8", DeclaredFamily::Utf8},
        {"UTF8", DeclaredFamily::Utf8},
        {"ISO-8859-1", DeclaredFamily::Latin1},
        {"ISO_8859-1", DeclaredFamily::Latin1},
        {"ISO8859-1", DeclaredFamily::Latin1},
        {"ISO_8859-1:1987", DeclaredFamily::Latin1},
        {"ISO-IR-100", DeclaredFamily::Latin1},
        {"LATIN1", DeclaredFamily::Latin1},
        {"L1", DeclaredFamily::Latin1},
        {"IBM819", DeclaredFamily::Latin1},
        {"CP819", DeclaredFamily::Latin1},
        {"CSISOLATIN1", DeclaredFamily::Latin1},
        {"WINDOWS-1252", DeclaredFamily::Windows1252},
        {"CP1252", DeclaredFamily::Windows1252},
        {"CSWINDOWS1252", DeclaredFamily::Windows1252},
        {"UTF-16", DeclaredFamily::Utf16},
        {"UTF16", DeclaredFamily::Utf16},
        {"UTF-16LE", DeclaredFamily::Utf16Le},
        {"UTF-16BE", DeclaredFamily::Utf16Be},
    }};
    for (const Alias& alias : kAliases)
        if (SameName(name, alias.name))
            return alias.family;
    return std::nullopt;
}

TextDecoder::TextDecoder(TextEncoding from) : from_(from)
{
    const char* source = from == TextEncoding::Latin1        ? "ISO-8859-1"
                       : from == TextEncoding::Windows1252 ? "WINDOWS-1252"
                       : from == TextEncoding::Utf16Le     ? "UTF-16LE"
                       : from == TextEncoding::Utf16Be     ? "UTF-16BE"
                                                           : "UTF-8";
    converter_ = iconv_open("UTF-8", source);
}

TextDecoder::~TextDecoder()
{
    if (Ready())
        iconv_close(Converter(converter_));
}

bool TextDecoder::Ready() const { return Converter(converter_) != reinterpret_cast<iconv_t>(-1); }

TextDecoder::Step TextDecoder::Decode(std::string_view input, char* out, std::size_t room)
{
    // iconv takes a pointer to non-const input but never writes through it.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outAt = out;
    std::size_t outLeft = room;
    Step step;
    while (inLeft > 0) {
        if (iconv(Converter(converter_), &in, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1))
            break;
        const auto byte = static_cast<unsigned char>(*in);
        if (errno == EILSEQ && from_ == TextEncoding::Windows1252 && IsUndefinedInWindows1252(byte)) {
            if (outLeft < 2)
                break;
            *outAt++ = '\xC2';
            *outAt++ = static_cast<char>(byte);
            outLeft -= 2;
            ++in;
            --inLeft;
            continue;
        }
        // E2BIG: no room for the next character; EINVAL: the input ends inside one.
        step.invalid = errno == EILSEQ;
        break;
    }
    step.read = input.size() - inLeft;
    step.written = room - outLeft;
    return step;
}

std::uint64_t TextDecoder::EncodedLength(std::string_view utf8) const
{
    std::uint64_t characters = 0;
    std::uint64_t beyondBasicPlane = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        characters += (byte & 0xC0) != 0x80;
        beyondBasicPlane += byte >= 0xF0;
    }
    switch (from_) {
    case TextEncoding::Utf8:
        return utf8.size();
    case TextEncoding::Latin1:
    case TextEncoding::Windows1252:
        return characters;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return 2 * characters + 2 * beyondBasicPlane;
    }
    return utf8.size();
}

}  // namespace vellumark
