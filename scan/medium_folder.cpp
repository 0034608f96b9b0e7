#include "scan/medium_folder.h"

#include "system/file_status.h"

#include <algorithm>
#include <filesystem>

namespace vellumark {

namespace {

bool IsDriveRoot(std::string_view path)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

const char* kGiveFolder = "; give the folder to scan with --from FOLDER";

}  // namespace

std::string FolderAsChosen(std::string_view path, const VolumeInfo& volumes)
{
    std::string chosen = std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
    while (chosen.size() > 1 && chosen.back() == '/')
        chosen.pop_back();
    if (volumes.IsMountRoot(chosen) && chosen != "/")
        chosen += '/';
    return chosen;
}

std::optional<LabelledRootName> ParseLabelledRootName(std::string_view rootName)
{
    // The label may hold "(" itself, so the path starts at the first "(" that a path follows;
    // a scan puts this form on mount roots only, so the path ends with a separator.
    if (rootName.size() < 4 || rootName.back() != ')')
        return std::nullopt;
    const std::string_view inner = rootName.substr(0, rootName.size() - 1);
    for (std::size_t open = inner.find('('); open != std::string_view::npos; open = inner.find('(', open + 1)) {
        const std::string_view path = inner.substr(open + 1);
        if (open == 0 || path.empty() || (path.back() != '/' && path.back() != '\\'))
            continue;
        if (path.front() == '/' || IsDriveRoot(path))
            return LabelledRootName{std::string(inner.substr(0, open)), std::string(path)};
    }
    return std::nullopt;
}

Status FindMediumFolder(const std::optional<EntryRecord>& root, const VolumeInfo& volumes, std::string& folder)
{
    if (!root)
        return Status::Invalid(std::string("The catalog has no entries") + kGiveFolder);
    const std::string_view rootName = root->Field(kFileName);
    const auto labelled = ParseLabelledRootName(rootName);
    if (labelled) {
        std::vector<std::string> carriers;
        for (const std::string& mountRoot : volumes.MountRoots())
            if (volumes.LabelOf(mountRoot) == labelled->label)
                carriers.push_back(FolderAsChosen(mountRoot, volumes));
        const auto recorded = std::find(carriers.begin(), carriers.end(), FolderAsChosen(labelled->path, volumes));
        if (carriers.size() == 1 || (carriers.size() > 1 && recorded != carriers.end())) {
            folder = carriers.size() == 1 ? carriers.front() : *recorded;
            return Status::Ok();
        }
        if (carriers.size() > 1)
            return Status::Invalid("Several mounted volumes carry the label " + labelled->label + kGiveFolder);
    }
    const std::string fullPath(root->Field(kFullPath));
    if (!fullPath.empty() && fullPath.front() == '/' && IsFolder(fullPath)) {
        folder = FolderAsChosen(fullPath, volumes);
        return Status::Ok();
    }
    if (labelled)
        return Status::Invalid("No mounted volume carries the label " + labelled->label + kGiveFolder);
    return Status::Invalid("Cannot tell where the medium of " + std::string(rootName) + " is now" + kGiveFolder);
}

}  // namespace vellumark
