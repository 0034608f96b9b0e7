#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vellumark {

// The layout of a segment file, one per catalog. All integers little-endian.
//
//   offset  size
//        0     8  magic "VMKSEGMT"
//        8     4  format version
//       12     4  header bytes (88 + 24 * section count)
//       16     8  file bytes (the whole file: a shorter file is truncated)
//       24    40  the catalog's identity: device, inode, size, modified ns, changed ns
//       64     8  indexed at (ns since the epoch)
//       72     4  entry count
//       76     4  section count
//       80  24*n  per section: offset, length, checksum of its bytes
//   80+24n     8  checksum of everything before it
//
// then the sections, in the order of SegmentSection. Readers check the header checksum and
// every length before they trust anything; the section checksums are checked by
// SegmentReader::VerifyContent.
inline constexpr std::string_view kSegmentMagic = "VMKSEGMT";
inline constexpr std::uint32_t kSegmentFormatVersion = 3;

enum SegmentSection : int {
    kKeySection,          // the catalog's key in the library (its path below the library root)
    kFailureSection,      // why the catalog is no readable catalog; empty when it is one
    kNameSection,         // per entry: FileName (text column)
    kExtensionSection,    // FileExt
    kDescriptionSection,  // Description
    kTypeSection,         // FileType
    kSizeSection,         // FileSize codes (varint column)
    kTimeSection,         // FileTime codes
    kTrigramSection,      // the trigram table: per trigram 16 bytes, ascending by trigram
    kPostingSection,      // the posting lists the table points into
    kRecordSection,       // the texts a result shows beyond the columns above (record column)
    kPercentSection,      // SizePercentage
    kSegmentSectionCount,
};

inline constexpr std::size_t kSectionRecordBytes = 24;
inline constexpr std::size_t kSectionTableOffset = 80;
inline constexpr std::size_t kSegmentHeaderBytes = kSectionTableOffset + kSectionRecordBytes * kSegmentSectionCount + 8;

// A trigram table record: trigram (24 bits) | encoding << 24, count, offset and length in the
// posting section.
inline constexpr std::size_t kTrigramRecordBytes = 16;

}  // namespace vellumark
