#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "core/xml_pull_reader.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"
#include "services/progress.h"

#include <sys/stat.h>

namespace vellumark::fuzz {

namespace {

// The reader over memory and over the file must hand out the same events and values; the
// file reader works through a window, the memory reader sees everything at once.
std::string CompareReaders(std::string_view text, const std::string& path)
{
    XmlPullReader memory;
    memory.OpenText(text);
    XmlPullReader file;
    if (Status status = file.Open(path); !status)
        return "the reader cannot open the file: " + status.message();
    for (std::size_t events = 0;; ++events) {
        const XmlPullReader::Event a = memory.Next();
        const XmlPullReader::Event b = file.Next();
        if (a != b)
            return "memory and file readers disagree at event " + std::to_string(events);
        if (a == XmlPullReader::Event::Finished || a == XmlPullReader::Event::Failed)
            return {};
        if (memory.Depth() != file.Depth())
            return "memory and file readers disagree on the depth at event " + std::to_string(events);
        if (a != XmlPullReader::Event::StartElement)
            continue;
        if (memory.ElementName() != file.ElementName() || memory.Attributes().size() != file.Attributes().size()
            || memory.ElementOffset() != file.ElementOffset())
            return "memory and file readers disagree on an element at event " + std::to_string(events);
        for (std::size_t i = 0; i < memory.Attributes().size(); ++i) {
            const std::string valueA(memory.Value(memory.Attributes()[i]));
            const std::string valueB(file.Value(file.Attributes()[i]));
            if (valueA != valueB)
                return "memory and file readers disagree on a value at event " + std::to_string(events);
        }
    }
}

// What the entry visitor hands out must be what the loader built from it: the same entries in
// the same nesting, each starting where its offset says.
std::string CompareVisitorWithTree(std::string_view text, const CatalogTree& tree)
{
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
        else if (entry.Offset() >= text.size() || text[entry.Offset()] != '<' || (index > 0 && entry.Offset() <= lastOffset))
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
