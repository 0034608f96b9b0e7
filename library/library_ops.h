#pragma once

#include "services/status.h"
#include "system/mount_table.h"

#include <string>

namespace vellumark {

// Operations on library items. Each looks at its outcome, changes nothing when it fails and
// says why; none ever overwrites an existing item.

// Exists when a file or folder of that path is there already.
Status CreateGroup(const std::string& path);
// Exists when the new path is taken; nothing happens when both paths are equal.
Status RenameLibraryItem(const std::string& fromPath, const std::string& toPath);
// Moves a catalog or group into the target group, keeping its name. Exists on a name clash;
// Invalid when the target is no group or is the item itself or lies inside it.
Status MoveLibraryItem(const std::string& sourcePath, const std::string& targetGroupPath);
// Deletes the folder with everything below it, read-only entries included, at any depth and
// also when its own path is longer than the system accepts. A symbolic link is removed itself,
// never followed; a mount root is emptied but never removed, and the folders above it stay (the
// failure then names the mount roots kept). The first other failure stops the deletion with the
// system's text; what was deleted before stays deleted.
//
// Renaming, moving or deleting a catalog takes the lock an edit of it holds (FileLock::OnPath):
// an edit in flight lands first and the item is changed after it; an edit that was waiting
// finds its catalog gone (the edit is refused), so no catalog is ever written back at its old
// path. Groups are changed without a lock: an edit in flight in a group renamed, moved or
// deleted meanwhile lands where its catalog is now or fails with a message (AtomicFile works in
// the folder it opened), and never writes a second catalog.
Status DeleteFolderTree(const std::string& path, const VolumeInfo& volumes);
Status DeleteCatalogFile(const std::string& path);

}  // namespace vellumark
