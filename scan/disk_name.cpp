#include "scan/disk_name.h"

#include "core/path_names.h"

namespace vellumark {

std::string_view ExtensionOf(std::string_view path)
{
    const auto last = path.find_last_of("./:");
    if (last == std::string_view::npos || path[last] != '.')
        return {};
    return path.substr(last + 1);
}

std::string VolumeLabelOf(std::string_view path, const VolumeInfo& volumes)
{
    return volumes.IsMountRoot(path) ? volumes.LabelOf(path) : std::string();
}

std::string DiskNameFromPath(std::string_view path, const VolumeInfo& volumes)
{
    if (volumes.IsMountRoot(path)) {
        std::string label = volumes.LabelOf(path);
        if (!label.empty())
            return label;
        const std::string_view mountPoint = WithoutTrailingSlashes(path);
        return mountPoint == "/" ? std::string("root") : std::string(BaseName(mountPoint));
    }
    return std::string(NameBeforeFirstDot(BaseName(path)));
}

std::string ScanRootName(std::string_view folderPath, const VolumeInfo& volumes)
{
    const std::string label = VolumeLabelOf(folderPath, volumes);
    if (label.empty())
        return std::string(folderPath);
    return label + "(" + std::string(folderPath) + ")";
}

}  // namespace vellumark
