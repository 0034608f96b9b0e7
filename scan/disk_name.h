#pragma once

#include "system/mount_table.h"

#include <string>
#include <string_view>

namespace vellumark {

// The FileExt text: what follows the last of ".", "/" and ":" when that is a "."; else empty.
std::string_view ExtensionOf(std::string_view path);

// The label of the volume mounted at the path; empty when the path is no mount root or the
// volume has no label.
std::string VolumeLabelOf(std::string_view path, const VolumeInfo& volumes);

// A disk's or catalog's name: for a mount root its label, else the mount point's last
// component ("root" for "/"); for any other path its last component cut before its first ".".
std::string DiskNameFromPath(std::string_view path, const VolumeInfo& volumes);

// The name of a scan's root entry: the folder path, or LABEL(folder path) for a labelled mount root.
std::string ScanRootName(std::string_view folderPath, const VolumeInfo& volumes);

}  // namespace vellumark
