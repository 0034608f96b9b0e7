#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "core/xml_pull_reader.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"
#include "fuzz/entries/own_decoding.h"
#include "services/progress.h"

#include <sys/stat.h>

namespace vellumark::fuzz {

namespace {

// The events, names, depths, offsets and values two readers hand out, up to the end of either.
// Offsets are compared unless one reader's input has other offsets than the other's.
struct Lockstep {
    XmlPullReader::Event last = XmlPullReader::Event::Finished;  // the first reader's last event
    XmlPullReader::Event otherLast = XmlPullReader::Event::Finished;
    std::size_t events = 0;
    std::string fault;
};

Lockstep RunLockstep(XmlPullReader& a, XmlPullReader& b, bool sameOffsets)
{
    Lockstep run;
    for (;; ++run.events) {
        run.last = a.Next();
        run.otherLast = b.Next();
        const std::string at = " at event " + std::to_string(run.events);
        const bool ended = run.last == XmlPullReader::Event::Finished || run.last == XmlPullReader::Event::Failed;
        const bool otherEnded =
            run.otherLast == XmlPullReader::Event::Finished || run.otherLast == XmlPullReader::Event::Failed;
        if (ended || otherEnded) {
            if (run.last != run.otherLast)
                run.fault = "the readers end differently" + at;
            return run;
        }
        if (run.last != run.otherLast || a.Depth() != b.Depth()) {
            run.fault = "the readers disagree on the event or its depth" + at;
            return run;
        }
        if (run.last != XmlPullReader::Event::StartElement)
            continue;
        if (a.ElementName() != b.ElementName() || a.Attributes().size() != b.Attributes().size()
            || (sameOffsets && a.ElementOffset() != b.ElementOffset())) {
            run.fault = "the readers disagree on an element" + at;
            return run;
        }
        for (std::size_t i = 0; i < a.Attributes().size(); ++i) {
            const XmlPullReader::Attribute& first = a.Attributes()[i];
            const XmlPullReader::Attribute& second = b.Attributes()[i];
            if (first.name != second.name || std::string(a.Value(first)) != b.Value(second)
                || std::string(a.StoredValue(first)) != b.StoredValue(second)) {
                run.fault = "the readers disagree on an attribute" + at;
                return run;
            }
        }
    }
}

// The reader over memory and over the file must hand out the same events and values; the
// file reader works through a window, the memory reader sees everything at once. A file reader
// with a window and reads of a few bytes (cut inside tokens and characters) must say exactly
// what the one with the usual window says, its fault included.
std::string CompareReaders(std::string_view text, const std::string& path)
{
    XmlPullReader memory;
    memory.OpenText(text);
    XmlPullReader file;
    if (Status status = file.Open(path); !status && memory.Error().ok())
        return "the reader cannot open the file: " + status.message();
    if (memory.Encoding() != file.Encoding())
        return "memory and file readers disagree on the encoding";
    if (const Lockstep run = RunLockstep(memory, file, true); !run.fault.empty())
        return "memory and file readers: " + run.fault;

    XmlPullReader usual;
    XmlPullReader small({16 + text.size() % 37, 1 + text.size() % 7});
    usual.Open(path);
    small.Open(path);
    if (const Lockstep run = RunLockstep(usual, small, true); !run.fault.empty())
        return "readers with other windows: " + run.fault;
    if (usual.Error().message() != small.Error().message())
        return "readers with other windows fail differently: " + usual.Error().message() + " / "
             + small.Error().message();
    return {};
}

// The number after the last " at offset " of a reader's message, and the text before it.
bool SplitOffset(const std::string& message, std::string& before, std::uint64_t& offset)
{
    const std::string marker = " at offset ";
    const auto at = message.rfind(marker);
    if (at == std::string::npos)
        return false;
    before = message.substr(0, at);
    offset = std::stoull(message.substr(at + marker.size()));
    return true;
}

// A decoded input must read as the same text decoded by the target's own decoder and read as
// UTF-8: the same events and values, a fault at the same event, reported at the place in the
// input that the UTF-8 text's fault offset stands for. Where the own decoder finds bytes that
// are no character, the reader reads everything before them the same way, and fails.
std::string CompareWithOwnDecoding(std::string_view bytes)
{
    XmlPullReader decoded;
    decoded.OpenText(bytes);
    const TextEncoding encoding = decoded.Encoding();
    if (encoding == TextEncoding::Utf8 || !decoded.Error().ok())
        return {};
    const bool wide = encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
    const std::size_t mark = wide && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) ? 2 : 0;
    const OwnDecoding own = DecodeOwn(bytes.substr(mark), encoding);
    std::string text = own.text;
    if (!DeclareUtf8InPlace(text))
        return {};
    XmlPullReader reference;
    reference.OpenText(text);
    if (reference.Encoding() != TextEncoding::Utf8 || !reference.Error().ok())
        return {};

    const Lockstep run = RunLockstep(decoded, reference, false);
    if (!run.fault.empty() && (own.complete || run.last != XmlPullReader::Event::Failed))
        return "decoded by the reader and by the target: " + run.fault;
    if (!own.complete) {
        if (run.last != XmlPullReader::Event::Failed)
            return "the reader accepts input the target cannot decode";
        const std::string fault = "invalid " + std::string(NameOf(encoding)) + " at offset "
                                + std::to_string(mark + own.stoppedAt);
        if (run.otherLast == XmlPullReader::Event::Finished && !decoded.Error().message().ends_with(fault))
            return "the reader's fault is not the bytes the target cannot decode: " + decoded.Error().message();
        return {};
    }
    if (run.last != XmlPullReader::Event::Failed)
        return {};
    std::string before, otherBefore;
    std::uint64_t offset = 0, otherOffset = 0;
    if (!SplitOffset(decoded.Error().message(), before, offset)
        || !SplitOffset(reference.Error().message(), otherBefore, otherOffset))
        return decoded.Error().message() == reference.Error().message()
            ? std::string()
            : "the readers fail differently: " + decoded.Error().message() + " / " + reference.Error().message();
    const std::uint64_t expected = mark + OwnEncodedLength(std::string_view(text).substr(0, otherOffset), encoding);
    if (before != otherBefore || offset != expected)
        return "the decoded reader's fault is " + decoded.Error().message() + ", the UTF-8 text's "
             + reference.Error().message() + " (offset " + std::to_string(expected) + " in the input)";
    return {};
}

// What the entry visitor hands out must be what the loader built from it: the same entries in
// the same nesting, each starting where its offset says (decoded input has no offsets).
std::string CompareVisitorWithTree(std::string_view text, const CatalogTree& tree)
{
    XmlPullReader probe;
    probe.OpenText(text);
    const bool decoded = probe.Encoding() != TextEncoding::Utf8;
    const std::vector<CatalogTreeNode*> nodes = tree.PreOrder();
    std::size_t index = 0;
    std::uint64_t lastOffset = 0;
    std::string fault;
    const Status status = ReadCatalogText(text, [&](const CatalogEntry& entry) {
        if (index >= nodes.size())
            fault = "the visitor sees more entries than the tree holds";
        else if (entry.Depth() != nodes[index]->Level() + 1)
            fault = "entry " + std::to_string(index) + " has depth " + std::to_string(entry.Depth())
                  + " but sits at level " + std::to_string(nodes[index]->Level()) + " of the tree";
        else if (entry.Value(kFileName) != nodes[index]->record.Field(kFileName)
                 || entry.Value(kDescription) != nodes[index]->record.Field(kDescription))
            fault = "entry " + std::to_string(index) + " has other values than the tree";
        else if (decoded ? entry.Offset() != CatalogEntry::kNoOffset
                         : entry.Offset() >= text.size() || text[entry.Offset()] != '<'
                               || (index > 0 && entry.Offset() <= lastOffset))
            fault = "entry " + std::to_string(index) + " has a wrong offset";
        lastOffset = entry.Offset();
        ++index;
        return fault.empty();
    });
    if (!fault.empty())
        return fault;
    if (!status)
        return "the visitor fails on a text the loader read: " + status.message();
    if (index != nodes.size())
        return "the visitor sees fewer entries than the tree holds";
    return {};
}

}  // namespace

std::string CatalogLoad(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A name with two dots: the disk name is cut at the first.
    const std::string path = ScratchFolder() + "/Fuzz.Disc.xml";
    PutFile(path, text);

    if (std::string fault = CompareReaders(text, path); !fault.empty())
        return fault;
    if (std::string fault = CompareWithOwnDecoding(text); !fault.empty())
        return fault;

    NullProgress progress;
    CatalogTree streamed;
    streamed.Append(nullptr);  // a failed load must leave this entry alone
    const Status streamedStatus = ReadCatalogFile(path, streamed, progress);
    if (!streamedStatus && (streamed.NodeCount() != 1 || !streamed.First()->record.IsEmpty(kFileName) ||
                            streamedStatus.message().empty()))
        return "a failed load changed the tree or gave no message";

    // The XML export copies the bytes the reader reads: all of them, whenever the loader
    // accepts the file.
    std::string copied;
    const Status visited = ReadCatalogEntries(
        path, [](const CatalogEntry&) { return true; }, [&copied](std::string_view bytes) { copied += bytes; });
    if (visited.ok() != streamedStatus.ok())
        return "the entry visitor and the loader disagree on whether the file is a catalog";
    if (visited && copied != text)
        return "the reader's copy is not the file's bytes";

    if (!streamedStatus)
        return {};
    if (std::string fault = CompareVisitorWithTree(text, streamed); !fault.empty())
        return fault;

    // What was read must be written and read back exactly, under the same catalog name.
    const std::string copyFolder = ScratchFolder() + "/copy";
    ::mkdir(copyFolder.c_str(), 0700);
    const std::string copy = copyFolder + "/Fuzz.Disc.xml";
    if (Status status = WriteCatalogFile(streamed, copy, progress); !status)
        return "writing the loaded catalog failed: " + status.message();
    const std::string streamedDump = DumpTree(streamed);
    CatalogTree reread;
    if (Status status = ReadCatalogFile(copy, reread, progress); !status)
        return "the written catalog does not read back: " + status.message();
    if (DumpTree(reread) != streamedDump)
        return "the written catalog reads back different:" + FirstDifference(streamedDump, DumpTree(reread));

    // Writing what was read back gives the same file again.
    const std::string again = copyFolder + "/Again.xml";
    if (Status status = WriteCatalogFile(reread, again, progress); !status)
        return "writing the catalog again failed: " + status.message();
    if (ReadWhole(again) != ReadWhole(copy))
        return "a catalog written, read and written again changed";
    return {};
}

}  // namespace vellumark::fuzz
