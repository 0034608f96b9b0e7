#include "fuzz/entries/own_decoding.h"

#include <array>

namespace vellumark::fuzz {

namespace {

// windows-1252 from 0x80 to 0x9F; the undefined bytes keep their own number.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t point)
{
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

OwnDecoding DecodeOwn(std::string_view bytes, TextEncoding encoding)
{
    OwnDecoding decoded;
    if (encoding == TextEncoding::Utf8) {
        decoded.text = std::string(bytes);
        decoded.stoppedAt = bytes.size();
        return decoded;
    }
    if (encoding == TextEncoding::Latin1 || encoding == TextEncoding::Windows1252) {
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            const bool high = encoding == TextEncoding::Windows1252 && byte >= 0x80 && byte < 0xA0;
            AppendUtf8(decoded.text, high ? kWindows1252High[byte - 0x80] : byte);
        }
        decoded.stoppedAt = bytes.size();
        return decoded;
    }
    const bool big = encoding == TextEncoding::Utf16Be;
    const auto unitAt = [&](std::size_t at) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[at]), second = static_cast<unsigned char>(bytes[at + 1]);
        return big ? (first << 8 | second) : (second << 8 | first);
    };
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (at + 2 > bytes.size())
            break;
        const char32_t unit = unitAt(at);
        if (unit >= 0xDC00 && unit < 0xE000)
            break;
        if (unit >= 0xD800 && unit < 0xDC00) {
            if (at + 4 > bytes.size())
                break;
            const char32_t low = unitAt(at + 2);
            if (low < 0xDC00 || low >= 0xE000)
                break;
            AppendUtf8(decoded.text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            at += 4;
            continue;
        }
        AppendUtf8(decoded.text, unit);
        at += 2;
    }
    decoded.complete = at == bytes.size();
    decoded.stoppedAt = at;
    return decoded;
}

std::uint64_t OwnEncodedLength(std::string_view utf8, TextEncoding encoding)
{
    std::uint64_t length = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte & 0xC0) == 0x80)
            continue;
        switch (encoding) {
        case TextEncoding::Utf8:
            length += byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
            break;
        case TextEncoding::Latin1:
        case TextEncoding::Windows1252:
            length += 1;
            break;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            length += byte >= 0xF0 ? 4 : 2;
            break;
        }
    }
    return length;
}

bool DeclareUtf8InPlace(std::string& text)
{
    if (!text.starts_with("<?xml") || text.size() < 6 || !IsSpace(text[5]))
        return true;
    std::size_t at = 5;
    for (;;) {
        while (at < text.size() && IsSpace(text[at]))
            ++at;
        if (at + 1 >= text.size() || (text[at] == '?' && text[at + 1] == '>'))
            return true;
        const std::size_t nameStart = at;
        while (at < text.size() && text[at] != '=' && !IsSpace(text[at]))
            ++at;
        const std::string name = text.substr(nameStart, at - nameStart);
        while (at < text.size() && IsSpace(text[at]))
            ++at;
        if (at >= text.size() || text[at] != '=')
            return true;
        ++at;
        while (at < text.size() && IsSpace(text[at]))
            ++at;
        if (at >= text.size() || (text[at] != '"' && text[at] != '\''))
            return true;
        const std::size_t close = text.find(text[at], at + 1);
        if (close == std::string::npos)
            return true;
        if (name == "encoding") {
            const std::size_t length = close - at - 1;
            std::size_t characters = 0;
            for (std::size_t i = at + 1; i < close; ++i)
                characters += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
            if (characters < 4)
                return false;
            // The blanks go after the closing quote, where the declaration allows them.
            text.replace(at + 1, length + 1, "UTF8" + std::string(1, text[at]) + std::string(characters - 4, ' '));
            return true;
        }
        at = close + 1;
    }
}

}  // namespace vellumark::fuzz
