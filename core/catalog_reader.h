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
// column key (the first of repeated names counts; names that are no key are passed over); a
// value is decoded only when asked for. Valid until the visitor returns.
class CatalogEntry {
public:
    // 1 for a top-level entry (a child of the document element), 2 for its children, ...
    int Depth() const { return reader_->Depth(); }
    // Where the entry's start tag begins, in bytes from the start of the file.
    std::uint64_t Offset() const { return reader_->ElementOffset(); }

    bool Has(int key) const { return attributes_[key] != nullptr; }
    // The value as the program holds it (entities resolved, the stored form decoded); empty
    // when the attribute is missing. Every value taken stays valid until the visitor returns.
    std::string_view Value(int key) const { return Has(key) ? reader_->Value(*attributes_[key]) : std::string_view(); }
    // The value in its stored form (valid UTF-8 whatever bytes it holds), for writers of other
    // XML formats.
    std::string_view StoredValue(int key) const
    {
        return Has(key) ? reader_->StoredValue(*attributes_[key]) : std::string_view();
    }

private:
    friend class CatalogEntryReader;
    explicit CatalogEntry(XmlPullReader& reader) : reader_(&reader) {}
    void FindAttributes();

    XmlPullReader* reader_;
    std::array<const XmlPullReader::Attribute*, kColumnKeyCount> attributes_{};
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

}  // namespace vellumark
