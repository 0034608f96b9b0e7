#include "core/stored_text.h"

namespace vellumark {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the character at the start of the text when it is valid UTF-8 of a character
// XML 1.0 allows; 0 when its first byte must be escaped.
std::size_t AllowedCharacterLength(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return size >= 2 && IsContinuation(bytes[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (size < 3 || !IsContinuation(bytes[1]) || !IsContinuation(bytes[2]))
            return 0;
        if (lead == 0xE0 && bytes[1] < 0xA0)
            return 0;  // overlong
        if (lead == 0xED && bytes[1] > 0x9F)
            return 0;  // surrogate
        if (lead == 0xEF && bytes[1] == 0xBF && (bytes[2] == 0xBE || bytes[2] == 0xBF))
            return 0;  // U+FFFE, U+FFFF
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (size < 4 || !IsContinuation(bytes[1]) || !IsContinuation(bytes[2]) || !IsContinuation(bytes[3]))
            return 0;
        if (lead == 0xF0 && bytes[1] < 0x90)
            return 0;  // overlong
        if (lead == 0xF4 && bytes[1] > 0x8F)
            return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

bool StartsEscapeIntroducer(std::string_view text) { return text.size() >= 3 && text[0] == '\\' && text[1] == 'x' && text[2] == '{'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendEscapedByte(std::string& out, unsigned char byte)
{
    out += "\\x{";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
    out += '}';
}

}  // namespace

bool NeedsStoredEncoding(std::string_view raw)
{
    for (std::size_t i = 0; i < raw.size();) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        if (byte >= 0x20 && byte < 0x80 && byte != '\\') {
            ++i;
            continue;
        }
        if (byte == '\\') {
            if (StartsEscapeIntroducer(raw.substr(i)))
                return true;
            ++i;
            continue;
        }
        const std::size_t length = AllowedCharacterLength(raw.substr(i));
        if (length == 0)
            return true;
        i += length;
    }
    return false;
}

std::size_t AppendStoredPiece(std::string& out, std::string_view raw)
{
    if (raw[0] == '\\' && StartsEscapeIntroducer(raw)) {
        AppendEscapedByte(out, '\\');
        return 1;
    }
    const std::size_t length = AllowedCharacterLength(raw);
    if (length == 0) {
        AppendEscapedByte(out, static_cast<unsigned char>(raw[0]));
        return 1;
    }
    out.append(raw.data(), length);
    return length;
}

void AppendStoredText(std::string& out, std::string_view raw)
{
    for (std::size_t i = 0; i < raw.size();)
        i += AppendStoredPiece(out, raw.substr(i));
}

void AppendCompletedStoredText(std::string& out, std::string_view stored)
{
    for (std::size_t i = 0; i < stored.size();) {
        const std::size_t length = AllowedCharacterLength(stored.substr(i));
        if (length == 0) {
            AppendEscapedByte(out, static_cast<unsigned char>(stored[i]));
            ++i;
        } else {
            out.append(stored.data() + i, length);
            i += length;
        }
    }
}

std::string EncodeStoredText(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size() + 8);
    AppendStoredText(out, raw);
    return out;
}

bool NeedsStoredDecoding(std::string_view stored) { return stored.find("\\x{") != std::string_view::npos; }

std::string DecodeStoredText(std::string_view stored)
{
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size();) {
        if (stored[i] == '\\' && i + 5 < stored.size() && StartsEscapeIntroducer(stored.substr(i))
            && stored[i + 5] == '}') {
            const int high = HexValue(stored[i + 3]);
            const int low = HexValue(stored[i + 4]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 6;
                continue;
            }
        }
        out += stored[i++];
    }
    return out;
}

}  // namespace vellumark
