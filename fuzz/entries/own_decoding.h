#pragma once

#include "core/text_decoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellumark::fuzz {

// The targets' own decoding of the encodings a catalog may be in, written apart from the
// reader's (which rests on iconv) to check it against: windows-1252's five undefined bytes
// become U+0081 ... as the reader's rule says, UTF-16 takes surrogate pairs and refuses a lone
// surrogate or a cut-off unit.
struct OwnDecoding {
    std::string text;           // UTF-8
    bool complete = true;       // false: the input holds no character of the encoding at `stoppedAt`
    std::size_t stoppedAt = 0;  // bytes of the input decoded into `text`
};
// The bytes after any byte-order mark.
OwnDecoding DecodeOwn(std::string_view bytes, TextEncoding encoding);

// Bytes of the encoding that the UTF-8 text (decoded by DecodeOwn) took.
std::uint64_t OwnEncodedLength(std::string_view utf8, TextEncoding encoding);

// The text with the encoding its XML declaration names replaced by "UTF8" and blanks after the
// closing quote, so that every character keeps its place. False when the name has fewer
// characters than "UTF8"; a text without such a declaration is left as it is.
bool DeclareUtf8InPlace(std::string& text);

}  // namespace vellumark::fuzz
