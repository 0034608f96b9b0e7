#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "core/path_names.h"
#include "library/library_names.h"
#include "library/library_ops.h"
#include "library/library_paths.h"
#include "library/library_store.h"
#include "system/file_status.h"
#include "system/mount_table.h"

#include <ostream>

namespace vellumark::cli {

namespace {

enum class ItemKind { Missing, Group, Catalog };

ItemKind KindOf(const std::string& path)
{
    const std::optional<FileKind> kind = KindOfPath(path, FollowLinks::No);
    if (!kind)
        return ItemKind::Missing;
    return *kind == FileKind::Directory ? ItemKind::Group : ItemKind::Catalog;
}

// An existing library item other than the library root; a symbolic link is the link itself.
Status ResolveExistingItem(CommandContext& context, const std::string& text, std::string& path, ItemKind& kind)
{
    auto [status, resolved] = ResolveLibraryItem(context.libraryRoot, text, LastLink::Itself);
    if (!status)
        return status;
    path = resolved;
    kind = KindOf(path);
    if (kind == ItemKind::Missing)
        return Status::Invalid("No library item " + text);
    if (path == context.libraryRoot)
        return Status::Invalid("The library root cannot be changed");
    return Status::Ok();
}

}  // namespace

int RunLibrary(CommandContext& context)
{
    CatalogTree tree;
    if (Status status = LoadLibraryTree(tree, context.libraryRoot, context.arguments.Has("--groups-only")); !status)
        return Report(context, status);
    WriteRecordTable(context.out, tree);
    return 0;
}

int RunGroupNew(CommandContext& context)
{
    const std::string& name = context.arguments.Positional()[0];
    if (Status status = CheckItemName(name); !status)
        return Report(context, status);
    return Report(context, CreateGroup(NewGroupPath(context.libraryRoot, name)));
}

int RunRename(CommandContext& context)
{
    std::string path;
    ItemKind kind = ItemKind::Missing;
    if (Status status = ResolveExistingItem(context, context.arguments.Positional()[0], path, kind); !status)
        return Report(context, status);
    const std::string& newName = context.arguments.Positional()[1];
    if (Status status = CheckItemName(newName); !status)
        return Report(context, status);
    // As in the library manager, a new name equal to the one the library shows changes nothing.
    const std::string_view fileName = BaseName(path);
    if (newName == (kind == ItemKind::Catalog ? NameBeforeFirstDot(fileName) : fileName))
        return 0;
    return Report(context, RenameLibraryItem(path, RenamedItemPath(path, newName, kind == ItemKind::Catalog)));
}

int RunMove(CommandContext& context)
{
    std::string path;
    ItemKind kind = ItemKind::Missing;
    if (Status status = ResolveExistingItem(context, context.arguments.Positional()[0], path, kind); !status)
        return Report(context, status);
    std::string group;
    if (Status status = ResolveItem(context, context.arguments.Positional()[1], group); !status)
        return Report(context, status);
    if (KindOf(group) != ItemKind::Group)
        return Report(context, Status::Invalid("No group " + context.arguments.Positional()[1]));
    return Report(context, MoveLibraryItem(path, group));
}

int RunDelete(CommandContext& context)
{
    std::string path;
    ItemKind kind = ItemKind::Missing;
    if (Status status = ResolveExistingItem(context, context.arguments.Positional()[0], path, kind); !status)
        return Report(context, status);
    if (kind == ItemKind::Catalog)
        return Report(context, DeleteCatalogFile(path));
    return Report(context, DeleteFolderTree(path, LinuxVolumeInfo()));
}

}  // namespace vellumark::cli
