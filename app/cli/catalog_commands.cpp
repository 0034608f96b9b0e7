#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "core/catalog_edit.h"
#include "core/catalog_file.h"
#include "library/library_names.h"
#include "library/library_paths.h"
#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "scan/medium_folder.h"
#include "services/atomic_file.h"
#include "system/file_lock.h"
#include "system/file_status.h"
#include "system/mount_table.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace vellumark::cli {

namespace {

bool IsRegularFile(const std::string& path) { return KindOfPath(path, FollowLinks::Yes) == FileKind::RegularFile; }

}  // namespace

Status ResolveItem(CommandContext& context, const std::string& text, std::string& path)
{
    auto [status, resolved] = ResolveLibraryItem(context.libraryRoot, text);
    if (status)
        path = resolved;
    return status;
}

Status ResolveScope(CommandContext& context, const std::string& libraryRoot, std::string& path, bool& isGroup)
{
    path = libraryRoot;
    if (context.arguments.Has("--scope")) {
        if (Status status = ResolveItem(context, context.arguments.Value("--scope"), path); !status)
            return status;
    }
    const std::optional<FileKind> kind = KindOfPath(path, FollowLinks::Yes);
    if (!kind)
        return Status::Invalid("No library item " + context.arguments.Value("--scope"));
    isGroup = *kind == FileKind::Directory;
    return Status::Ok();
}

Status ResolveCatalog(CommandContext& context, const std::string& text, std::string& path)
{
    if (Status status = ResolveItem(context, text, path); status && IsRegularFile(path))
        return status;
    if (IsRegularFile(text)) {
        path = std::filesystem::absolute(text).lexically_normal().string();
        return Status::Ok();
    }
    return Status::Invalid("No catalog " + text);
}

int RunScan(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    if (!arguments.Has("--name"))
        return Report(context, Status::Invalid("scan needs --name NAME"));
    const std::string name = arguments.Value("--name");
    if (Status status = CheckItemName(name); !status)
        return Report(context, status);

    const LinuxVolumeInfo volumes;
    const std::string folder = FolderAsChosen(arguments.Positional()[0], volumes);
    if (!IsFolder(folder))
        return Report(context, Status::Invalid("No folder " + arguments.Positional()[0]));

    std::string group = context.libraryRoot;
    if (arguments.Has("--group")) {
        if (Status status = ResolveItem(context, arguments.Value("--group"), group); !status)
            return Report(context, status);
        if (!IsFolder(group))
            return Report(context, Status::Invalid("No group " + arguments.Value("--group")));
    }
    const std::string catalogPath = NewCatalogPath(group, name);
    const bool replace = arguments.Has("--force");
    const Status taken = Status::Exists("The catalog " + catalogPath + " exists; give --force to replace it");
    // Looked at first so that no scan is wasted; the rename at the end decides.
    if (ExistsWithoutFollowing(catalogPath) && !replace)
        return Report(context, taken);

    std::vector<std::string> maskItems;
    for (const std::string& mask : arguments.Values("--mask"))
        AddMaskItem(maskItems, mask);

    CatalogTree tree;
    const ScanRequest request{folder, catalogPath, arguments.Has("--only-folders"), BuildMaskList(maskItems)};
    const ScanOutcome scanned = ScanFolder(tree, request, volumes, context.progress);
    if (!scanned.status)
        return Report(context, scanned.status);
    std::optional<NoReplaceScope> keepExisting;
    FileLock replacing;
    if (!replace)
        keepExisting.emplace();
    else
        replacing = FileLock::OnPath(catalogPath);  // an edit of the old catalog in flight lands first
    if (Status status = WriteCatalogFile(std::move(tree), catalogPath, context.progress); !status)
        return Report(context, status.code() == Status::Code::Exists ? taken : status);
    context.out << catalogPath << '\n';
    if (!scanned.unreadable.empty())
        context.err << "vellumark-cli: " << UnreadableEntriesText(scanned.unreadable.size()) << '\n';
    return 0;
}

int RunShow(CommandContext& context)
{
    std::string path;
    if (Status status = ResolveCatalog(context, context.arguments.Positional()[0], path); !status)
        return Report(context, status);
    CatalogTree tree;
    if (Status status = ReadCatalogFile(path, tree, context.progress); !status)
        return Report(context, status);
    WriteRecordTable(context.out, tree);
    return 0;
}

int RunEdit(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    if (!arguments.Has("--entry") || arguments.Has("--name") == arguments.Has("--description"))
        return Report(context, Status::Invalid("edit needs --entry FULLPATH and one of --name NEW, --description TEXT"));
    // Only show and export read a catalog from anywhere: an edit writes, and stays in the library.
    std::string path;
    if (Status status = ResolveItem(context, arguments.Positional()[0], path); !status)
        return Report(context, status);
    if (!IsRegularFile(path))
        return Report(context, Status::Invalid("No catalog " + arguments.Positional()[0]));
    EntryEdit edit;
    edit.entryPath = arguments.Value("--entry");
    edit.key = arguments.Has("--name") ? kFileName : kDescription;
    edit.text = arguments.Value(arguments.Has("--name") ? "--name" : "--description");
    return Report(context, EditCatalogFile(path, {&edit, 1}, context.progress));
}

}  // namespace vellumark::cli
