#include "core/catalog_file.h"
#include "core/file_info.h"
#include "core/xml_pull_reader.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_support.h"
#include "services/progress.h"

#include <sys/stat.h>

namespace vellumark::fuzz {

namespace {

// Prompts that never answer: every road here is given its path.
class NoPrompts final : public Prompts {
public:
    std::string ChooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::string ChooseSaveFile(const FileDialogRequest&) override { return {}; }
    void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
    bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return false; }
};

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
        if (memory.ElementName() != file.ElementName() || memory.Attributes().size() != file.Attributes().size())
            return "memory and file readers disagree on an element at event " + std::to_string(events);
        for (std::size_t i = 0; i < memory.Attributes().size(); ++i) {
            const std::string valueA(memory.Value(memory.Attributes()[i]));
            const std::string valueB(file.Value(file.Attributes()[i]));
            if (valueA != valueB)
                return "memory and file readers disagree on a value at event " + std::to_string(events);
        }
    }
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

    NoPrompts prompts;
    XmlDocument document;
    TFileInfo info(document, progress, prompts);
    CatalogTree loaded;
    const Status documentStatus = info.LoadFile(path);
    if (documentStatus)
        info.LoadIntoTree(loaded);
    else if (documentStatus.message().empty())
        return "a failed document load gave no message";

    // The two roads may differ on what they accept, but never on what a catalog holds.
    const std::string streamedDump = DumpTree(streamed);
    if (streamedStatus && documentStatus && DumpTree(loaded) != streamedDump)
        return "streamed and document loads differ:" + FirstDifference(streamedDump, DumpTree(loaded));

    if (!streamedStatus)
        return {};
    // What was read must be written and read back exactly, under the same catalog name.
    const std::string copyFolder = ScratchFolder() + "/copy";
    ::mkdir(copyFolder.c_str(), 0700);
    const std::string copy = copyFolder + "/Fuzz.Disc.xml";
    if (Status status = WriteCatalogFile(streamed, copy, progress); !status)
        return "writing the loaded catalog failed: " + status.message();
    CatalogTree reread;
    if (Status status = ReadCatalogFile(copy, reread, progress); !status)
        return "the written catalog does not read back: " + status.message();
    if (DumpTree(reread) != streamedDump)
        return "the written catalog reads back different:" + FirstDifference(streamedDump, DumpTree(reread));

    // The document road writes the same bytes as the streamed writer.
    TFileInfo writer(document, progress, prompts);
    writer.ResetDocument();
    writer.GatherFromTree(streamed);
    const std::string viaDocument = copyFolder + "/Document.xml";
    if (Status status = writer.SaveFile(viaDocument); !status)
        return "saving through the document failed: " + status.message();
    if (ReadWhole(viaDocument) != ReadWhole(copy))
        return "the streamed writer and the document give different files";
    return {};
}

}  // namespace vellumark::fuzz
