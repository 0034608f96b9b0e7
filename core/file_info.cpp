#include "core/file_info.h"

#include "core/catalog_file.h"
#include "core/path_names.h"
#include "services/messages.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace vellumark {

namespace {

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

TFileInfo::TFileInfo(XmlDocument& document, Progress& progress, Prompts& prompts)
    : document_(document), progress_(progress), prompts_(prompts)
{
}

std::string TFileInfo::AskCatalogToOpen() { return AskOpenFile(prompts_, {kXmlExtension, kXmlFilter, ""}); }

std::string TFileInfo::AskCatalogToSave() { return AskSaveFile(prompts_, {kXmlExtension, kXmlFilter, ""}); }

void TFileInfo::ResetDocument() { document_.SetContent(kNewCatalogDocument); }

XmlElement TFileInfo::RootElement()
{
    if (!document_.IsActive())
        ResetDocument();
    return document_.DocumentElement();
}

void TFileInfo::GatherFromTree(const CatalogTree& tree)
{
    WaitScope wait(progress_, messages::kGatheringInfo);
    XmlElement root = RootElement();
    root.RemoveAllChildren();
    std::vector<XmlElement> open{root};
    tree.Walk(
        [&](const CatalogTreeNode& node) {
            XmlElement element = open.back().AppendElement("file");
            for (int key = 0; key < kColumnKeyCount; ++key) {
                const std::string_view value = node.record.Field(key);
                if (!value.empty())
                    element.SetAttribute(kColumnKeys[key], value);
            }
            open.push_back(element);
        },
        [&](const CatalogTreeNode&) { open.pop_back(); });
}

Status TFileInfo::LoadFile(std::string path)
{
    WaitScope wait(progress_, messages::kLoadingInfo);
    if (path.empty())
        path = AskCatalogToOpen();
    if (path.empty())
        return Status::Cancelled();
    catalogPath_ = path;
    return document_.ParseFile(path);
}

void TFileInfo::LoadIntoTree(CatalogTree& tree)
{
    WaitScope wait(progress_, messages::kLoadingInfo);
    const SharedText diskName(CatalogNameOfFile(catalogPath_));
    TextPool pool;
    CatalogTree built;
    if (document_.IsActive()) {
        struct Pending {
            XmlElement element;
            CatalogTreeNode* parent;
        };
        std::vector<Pending> pending;
        const XmlElement root = document_.DocumentElement();
        // Children are pushed in reverse so that they are taken in document order.
        const auto pushChildren = [&pending](const XmlElement& element, CatalogTreeNode* parent) {
            const std::size_t first = pending.size();
            for (XmlElement child = element.FirstChild(); child; child = child.NextSibling())
                pending.push_back({child, parent});
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
        };
        pushChildren(root, nullptr);
        while (!pending.empty()) {
            const Pending current = pending.back();
            pending.pop_back();
            CatalogTreeNode* node = built.Append(current.parent);
            // Values are copied out of the document first: the record is packed once from them.
            std::array<std::string, kColumnKeyCount> values;
            EntryRecord::Fields fields{};
            std::array<bool, kColumnKeyCount> present{};
            for (int key = 0; key < kColumnKeyCount; ++key) {
                present[key] = current.element.HasAttribute(kColumnKeys[key]);
                if (present[key])
                    fields[key] = values[key] = current.element.Attribute(kColumnKeys[key]);
            }
            const bool topLevel = current.parent == nullptr;
            if (topLevel && !present[kFileType])
                fields[kFileType] = kKindDirectory;
            if (topLevel && fields[kFullPath].empty())
                fields[kFullPath] = fields[kFileName];
            node->record.Assign(fields, pool.Get(fields[kFileExt]), pool.Get(fields[kFileType]), diskName);
            pushChildren(current.element, node);
        }
    }
    tree = std::move(built);
}

Status TFileInfo::SaveFile(std::string path)
{
    if (path.empty())
        path = AskCatalogToSave();
    if (path.empty())
        return Status::Cancelled();
    return document_.SaveFile(path);
}

Status TFileInfo::AppendToFile(const std::string& path)
{
    if (!FileExists(path))
        return Status::Ok();
    XmlDocument existing;
    if (Status status = existing.ParseFile(path); !status)
        return status;
    XmlElement target = existing.DocumentElement();
    for (XmlElement entry = RootElement().FirstChild(); entry; entry = entry.NextSibling())
        target.AppendCopy(entry);
    return existing.SaveFile(path);
}

Status TFileInfo::SaveOrAppend(const std::string& path)
{
    return FileExists(path) ? AppendToFile(path) : SaveFile(path);
}

Status TFileInfo::LoadCatalog(std::string path, CatalogTree& tree)
{
    if (path.empty())
        path = AskCatalogToOpen();
    if (path.empty())
        return Status::Cancelled();
    catalogPath_ = path;
    return ReadCatalogFile(path, tree, progress_);
}

Status TFileInfo::SaveCatalog(const CatalogTree& tree, std::string path)
{
    if (path.empty())
        path = AskCatalogToSave();
    if (path.empty())
        return Status::Cancelled();
    return WriteCatalogFile(tree, path, progress_);
}

}  // namespace vellumark
