#include "scan/folder_scanner.h"

#include "core/size_rollup.h"
#include "scan/disk_name.h"
#include "services/messages.h"
#include "services/text_format.h"

#include <thread>

namespace vellumark {

ScanOutcome ScanFolder(CatalogTree& tree, const ScanRequest& request, const VolumeInfo& volumes, Progress& progress)
{
    tree.Clear();
    WaitScope wait(progress, messages::kLoadingInfo, true);

    const std::string rootName = ScanRootName(request.folderPath, volumes);
    const SharedText diskName(DiskNameFromPath(request.catalogFilePath, volumes));
    EntryRecord::Fields fields{};
    fields[kFileName] = rootName;
    fields[kFullPath] = rootName;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.Assign(fields, SharedText(), SharedText::Directory(), diskName);

    WalkOptions options;
    options.realPath = request.folderPath;
    options.displayPath = rootName;
    options.onlyFolders = request.onlyFolders;
    options.maskList = request.maskList;
    options.diskName = diskName;
    ScanOutcome outcome = WalkFolder(tree, root, options, progress);
    if (!outcome.status || request.onlyFolders)
        return outcome;
    if (!request.maskList.empty() && !PruneFolders(tree, root))
        return outcome;
    root->record.SetField(kFileSize, FormatWholeNumber(RollUpSizes(*root)));
    ComputePercentages(tree, std::thread::hardware_concurrency());
    return outcome;
}

std::string UnreadableEntriesText(std::size_t count)
{
    std::string text = messages::kScanUnreadableEntries;
    text.replace(text.find("%1"), 2, std::to_string(count));
    return text;
}

}  // namespace vellumark
