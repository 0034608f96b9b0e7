#pragma once

namespace vellumark {

// How the HTML, text and CSV exports write values.
enum class ValueForm {
    // Every reader takes the file: bytes that are no UTF-8, control characters other than tab,
    // line feed and carriage return, U+FFFE and U+FFFF are written in the catalog's stored form
    // ("\x{HH}", core/stored_text.h), and a CSV value a spreadsheet would run as a formula gets
    // a leading apostrophe.
    Readable,
    // Each value's bytes as the file system gave them.
    Raw,
};

}  // namespace vellumark
