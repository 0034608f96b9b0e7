#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumark {

// The encodings a catalog file may be written in. The program writes UTF-8; the others come
// from other programs and are decoded into UTF-8 as they are read.
enum class TextEncoding { Utf8, Latin1, Windows1252, Utf16Le, Utf16Be };

// The name messages give the encoding ("ISO-8859-1", "UTF-16LE", ...).
std::string_view NameOf(TextEncoding encoding);

// What the first bytes of a file say, as the XML recommendation's appendix F reads them: a
// byte-order mark, or the first characters "<?" of UTF-16 text without one. Anything else is
// an encoding that writes "<?xml" in ASCII, told by its declaration.
struct EncodingSignature {
    enum class Family { Ascii, Utf8, Utf16Le, Utf16Be, Utf32 } family = Family::Ascii;
    std::size_t markLength = 0;  // bytes of the byte-order mark
};
EncodingSignature SignatureOf(std::string_view head);

// The encoding named in the XML declaration that starts the text ("<?xml" ... encoding="X"
// ... "?>").
struct DeclaredEncoding {
    enum class Outcome { None, Found, Malformed, Incomplete } outcome = Outcome::None;
    std::string name;  // as written, when found
};
// `complete` says that the text is all there is; a declaration that does not end within the
// text is then Malformed, otherwise Incomplete (more text may tell).
DeclaredEncoding FindDeclaredEncoding(std::string_view text, bool complete);

// How a declared name (compared without regard to case) fits a file. UTF-16 names either byte
// order; its fit to the file is told by the signature.
enum class DeclaredFamily { Utf8, Latin1, Windows1252, Utf16, Utf16Le, Utf16Be };
std::optional<DeclaredFamily> FamilyOfName(std::string_view name);

// Decodes text in one of the other encodings into UTF-8, a piece at a time, with glibc's
// iconv. windows-1252 leaves five bytes undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D); they become
// the C1 control characters of the same number (U+0081, ...), as web browsers read them, so
// that no byte of such a file is lost or refused.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding from);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // False when the system cannot convert from the encoding.
    bool Ready() const;

    struct Step {
        std::size_t read = 0;     // bytes of the input decoded
        std::size_t written = 0;  // bytes of UTF-8 written
        bool invalid = false;     // the input holds no character of the encoding at `read`
    };
    // Decodes whole characters until the input or the room runs out, or an invalid sequence
    // comes. A character cut off by the end of the input is left unread.
    Step Decode(std::string_view input, char* out, std::size_t room);

    // How many bytes of the encoding the UTF-8 text (decoded by this decoder) took.
    std::uint64_t EncodedLength(std::string_view utf8) const;

private:
    TextEncoding from_;
    void* converter_;  // iconv_t
};

}  // namespace vellumark
