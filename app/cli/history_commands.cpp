#include "app/cli/commands.h"
#include "app/cli/record_table.h"
#include "core/catalog_compare.h"
#include "core/catalog_file.h"
#include "core/catalog_snapshot.h"
#include "scan/catalog_update.h"
#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "scan/medium_folder.h"
#include "system/file_status.h"
#include "system/mount_table.h"

#include <filesystem>
#include <ostream>

namespace vellumark::cli {

namespace {

std::string MaskListOf(const Arguments& arguments)
{
    std::vector<std::string> maskItems;
    for (const std::string& mask : arguments.Values("--mask"))
        AddMaskItem(maskItems, mask);
    return BuildMaskList(maskItems);
}

// "+ PATH", "- PATH" and "~ PATH" lines, written in large pieces (a comparison of two
// unrelated catalogs has a line per entry).
void WriteDifferences(std::ostream& out, const std::vector<EntryDifference>& differences)
{
    std::string lines;
    for (const EntryDifference& difference : differences) {
        lines += ChangeMark(difference.change);
        lines += ' ';
        lines += EscapeField(difference.relativePath);
        lines += '\n';
        if (lines.size() >= (1 << 16)) {
            out << lines;
            lines.clear();
        }
    }
    out << lines;
}

void WriteUpdateCounts(std::ostream& out, const UpdateCounts& counts)
{
    out << "added " << counts.added << ", removed " << counts.removed << ", changed " << counts.changed
        << ", unchanged " << counts.unchanged << ", unreadable " << counts.unreadable << ", descriptions kept "
        << counts.descriptionsKept << '\n';
}

void WriteLostDescriptions(std::ostream& err, const std::vector<LostDescription>& lost)
{
    if (lost.empty())
        return;
    err << "Descriptions of entries not found again (a moved or renamed entry counts as removed and added):\n";
    for (const LostDescription& entry : lost)
        err << EscapeField(entry.relativePath) << '\t' << EscapeField(entry.description) << '\n';
}

Status WrongMediumRefusal(const CatalogUpdate& update, const std::string& folder)
{
    const UpdatePlan& plan = update.Plan();
    const std::size_t oldEntries = update.CatalogRead().NodeCount() - 1;
    std::string message = "Only " + std::to_string(plan.counts.unchanged + plan.counts.changed) + " of "
                          + std::to_string(oldEntries) + " entries were found again in " + folder;
    if (!plan.lostDescriptions.empty())
        message += " and " + std::to_string(plan.lostDescriptions.size()) + " description(s) would be lost";
    return Status::Exists(message + ": is it the right medium? Give --force to update anyway");
}

// Where to scan: --from, else what the catalog's root tells.
Status MediumFolderOf(const Arguments& arguments, const std::string& catalogPath, const VolumeInfo& volumes,
                      std::string& folder)
{
    if (arguments.Has("--from")) {
        folder = FolderAsChosen(arguments.Value("--from"), volumes);
    } else {
        std::optional<EntryRecord> root;
        if (Status status = ReadFirstCatalogEntry(catalogPath, root); !status)
            return status;
        if (Status status = FindMediumFolder(root, volumes, folder); !status)
            return status;
    }
    if (!IsFolder(folder))
        return Status::Invalid("No folder " + folder);
    return Status::Ok();
}

}  // namespace

int RunUpdate(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    const std::string& catalogText = arguments.Positional()[0];
    std::string catalogPath;
    if (Status status = ResolveItem(context, catalogText, catalogPath); !status)
        return Report(context, status);
    if (!std::filesystem::is_regular_file(catalogPath))
        return Report(context, Status::Invalid("No catalog " + catalogText));

    const LinuxVolumeInfo volumes;
    std::string folder;
    if (Status status = MediumFolderOf(arguments, catalogPath, volumes, folder); !status)
        return Report(context, status);

    CatalogUpdate update({catalogPath, folder, MaskListOf(arguments), arguments.Has("--only-folders")});
    if (Status status = update.Prepare(volumes, context.progress); !status)
        return Report(context, status);

    const bool force = arguments.Has("--force");
    if (arguments.Has("--dry-run")) {
        const UpdatePlan& plan = update.Plan();
        WriteDifferences(context.out, plan.differences);
        WriteUpdateCounts(context.out, plan.counts);
        WriteLostDescriptions(context.err, plan.lostDescriptions);
        return plan.wrongMedium && !force ? Report(context, WrongMediumRefusal(update, folder)) : 0;
    }

    UpdateOutcome outcome = UpdateOutcome::Written;
    if (Status status = update.Commit(force, context.progress, outcome); !status)
        return Report(context, status);
    WriteUpdateCounts(context.out, update.Plan().counts);
    WriteLostDescriptions(context.err, update.Plan().lostDescriptions);
    if (outcome == UpdateOutcome::RefusedWrongMedium)
        return Report(context, WrongMediumRefusal(update, folder));
    return 0;
}

int RunCompare(CommandContext& context)
{
    const Arguments& arguments = context.arguments;
    const std::vector<std::string>& positional = arguments.Positional();
    const bool scanFolder = arguments.Has("--folder");
    if (scanFolder == (positional.size() == 2))
        return Report(context, Status::Invalid("compare needs either NEW or --folder DIR"));
    if (!scanFolder && (arguments.Has("--mask") || arguments.Has("--only-folders")))
        return Report(context, Status::Invalid("--mask and --only-folders go with --folder DIR"));

    std::string oldPath;
    if (Status status = ResolveCatalog(context, positional[0], oldPath); !status)
        return Report(context, status);
    CatalogSnapshot oldCatalog;
    CatalogTree newCatalog;
    Status status;
    std::string newName;
    if (scanFolder) {
        const LinuxVolumeInfo volumes;
        const std::string folder = FolderAsChosen(arguments.Value("--folder"), volumes);
        if (!IsFolder(folder))
            return Report(context, Status::Invalid("No folder " + arguments.Value("--folder")));
        newName = folder;
        const ScanRequest request{folder, oldPath, arguments.Has("--only-folders"), MaskListOf(arguments)};
        ScanOutcome scanned;
        status = ReadCatalogBeside(oldPath, oldCatalog, [&] {
            scanned = ScanFolder(newCatalog, request, volumes, context.progress);
            return scanned.status;
        });
        if (status && !scanned.unreadable.empty())
            context.err << "vellumark-cli: " << UnreadableEntriesText(scanned.unreadable.size()) << '\n';
    } else {
        std::string newPath;
        if (Status resolved = ResolveCatalog(context, positional[1], newPath); !resolved)
            return Report(context, resolved);
        newName = positional[1];
        status = ReadCatalogBeside(oldPath, oldCatalog,
                                   [&] { return ReadCatalogFile(newPath, newCatalog, context.progress); });
    }
    if (!status)
        return Report(context, status);
    if (Status comparable = CheckComparable(oldCatalog.tree, positional[0]); !comparable)
        return Report(context, comparable);
    if (Status comparable = CheckComparable(newCatalog, newName); !comparable)
        return Report(context, comparable);

    const std::vector<EntryDifference> differences =
        CompareCatalogs(oldCatalog.tree, newCatalog, arguments.Has("--ignore-time"));
    WriteDifferences(context.out, differences);
    const CompareCounts counts = CountDifferences(differences);
    context.err << "added " << counts.added << ", removed " << counts.removed << ", changed " << counts.changed << '\n';
    return 0;
}

}  // namespace vellumark::cli
