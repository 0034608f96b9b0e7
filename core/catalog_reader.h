#pragma once

#include "core/column_keys.h"
#include "core/xml_pull_reader.h"
#include "services/status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vellumark {

// One entry element of a catalog file, as the reader stands on it. Its attributes are found by
// column key (the first of repeated names counts; names that are no key are passed over), each
// key when it is first asked for, so a search looks only at the names its conditions need. A
// value is decoded only when asked for. Valid until the visitor returns.
//
// Offsets. A catalog in UTF-8 (declared or not: every catalog this program writes) is read as
// its bytes are, and Offset() is where the entry's start tag begins in the file, exact to the
// byte: ReadEntryStartTag reads the entry again from there. A catalog in another encoding
// (ISO-8859-1, windows-1252, UTF-16) is decoded as it is read; its entries have no offset
// (kNoOffset), since the bytes at any offset of such a file are not the UTF-8 text the reader
// hands out. Whoever finds entries again by offset (the duplicates, reading their copies) finds
// such a catalog's entries by their place in document order instead, in one read of the file.
class CatalogEntry {
public:
    static constexpr std::uint64_t kNoOffset = XmlPullReader::kNoOffset;

    // 1 for a top-level entry (a child of the document element), 2 for its children, ...
    int Depth() const { return reader_->Depth(); }
    // Where the entry's start tag begins, in bytes from the start of the file; kNoOffset when
    // the file is in another encoding than UTF-8 (see above).
    std::uint64_t Offset() const { return reader_->ElementOffset(); }

    bool Has(int key) const { return Find(key) != nullptr; }
    // The value as the program holds it (entities resolved, the stored form decoded); empty
    // when the attribute is missing. Every value taken stays valid until the visitor returns.
    std::string_view Value(int key) const
    {
        const XmlPullReader::Attribute* attribute = Find(key);
        return attribute ? reader_->Value(*attribute) : std::string_view();
    }
    // The value in its stored form (valid UTF-8 whatever bytes it holds), for writers of other
    // XML formats.
    std::string_view StoredValue(int key) const
    {
        const XmlPullReader::Attribute* attribute = Find(key);
        return attribute ? reader_->StoredValue(*attribute) : std::string_view();
    }
    // Every key's value (as Value gives it) in one pass, for readers that take them all.
    // Returns which keys the entry has: bit k for key k.
    std::uint32_t AllValues(std::array<std::string_view, kColumnKeyCount>& values) const;

private:
    friend class CatalogReadLoop;
    explicit CatalogEntry(XmlPullReader& reader) : reader_(&reader) {}
    void Reset() { looked_ = 0; }
    // The first attribute of the key's name, looked for once per entry and kept.
    const XmlPullReader::Attribute* Find(int key) const
    {
        return (looked_ & (1u << key)) ? found_[key] : Look(key);
    }
    const XmlPullReader::Attribute* Look(int key) const;

    XmlPullReader* reader_;
    mutable std::array<const XmlPullReader::Attribute*, kColumnKeyCount> found_{};
    mutable std::uint32_t looked_ = 0;  // bit k: found_[k] is known
};

// Called for every entry element of a catalog, in document order, each before its descendants.
// Returning false stops the reading.
using CatalogEntryVisitor = std::function<bool(const CatalogEntry& entry)>;

// Streams a catalog file through the visitor: Ok when the whole file was read and is
// well-formed, Cancelled when the visitor stopped, Failed with a message naming the file and
// the fault otherwise (the visitor may have seen entries before the fault). The element names
// are not looked at: every element below the document element is an entry. With a copy, every
// byte of the file is handed to it as it is read.
Status ReadCatalogEntries(const std::string& path, const CatalogEntryVisitor& visit,
                          XmlPullReader::ByteCopy copy = {});

// The same over a catalog's text in memory.
Status ReadCatalogText(std::string_view text, const CatalogEntryVisitor& visit);

// Hands one entry's start tag, taken out of its catalog (the search index reads an entry at
// its recorded offset), to the visitor as an entry of its own; its Depth() and Offset() are 0.
// The tag is bytes of a UTF-8 catalog as they are: only such catalogs have offsets.
Status ReadEntryStartTag(std::string_view tag, const CatalogEntryVisitor& visit);

// Where a start tag read piece by piece ends: the first ">" outside a quoted value at or after
// `from`, or npos when the text ends first. `quote` is the quote left open by the text before
// `from` (0 for none), and is left as the text leaves it.
std::size_t StartTagEnd(std::string_view text, std::size_t from, char& quote);

}  // namespace vellumark
