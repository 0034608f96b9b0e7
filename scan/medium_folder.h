#pragma once

#include "core/entry_record.h"
#include "system/mount_table.h"
#include "services/status.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The folder as the folder chooser hands it over: absolute and normalised, a mount root with a
// trailing "/", any other folder without. Relative paths are taken from the working folder.
std::string FolderAsChosen(std::string_view path, const VolumeInfo& volumes);

// A root named LABEL(PATH) records the label of the medium it was scanned from: PATH is a
// mount root ("/media/cd/", "/") or a Windows drive ("D:\").
struct LabelledRootName {
    std::string label;
    std::string path;
};
std::optional<LabelledRootName> ParseLabelledRootName(std::string_view rootName);

// Where a catalog's medium is now, from its root entry: for a root named LABEL(PATH) the mount
// root that carries that label now (PATH itself when several do and it is one of them); else
// the root's FullPath when it is an existing absolute folder. Invalid, asking for the folder to
// be given, when neither tells, and for a catalog without a root entry.
Status FindMediumFolder(const std::optional<EntryRecord>& root, const VolumeInfo& volumes, std::string& folder);

}  // namespace vellumark
