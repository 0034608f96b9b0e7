#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"
#include "system/file_status.h"

#include <functional>
#include <optional>
#include <string>

namespace vellumark {

// A catalog as read, with the identity of the file its content came from, so that a writer can
// tell later whether the file changed meanwhile.
struct CatalogSnapshot {
    CatalogTree tree;
    std::optional<FileStatus> identity;
};

Status ReadCatalogSnapshot(const std::string& path, CatalogSnapshot& snapshot, Progress& progress);

// Reads the catalog on a second thread while the work runs on the calling thread, and returns
// when both are done: the work's failure first, then the read's. The read shows no progress;
// the work reports to whatever progress it was given.
Status ReadCatalogBeside(const std::string& path, CatalogSnapshot& snapshot, const std::function<Status()>& work);

// The first top-level entry of a catalog file with the loader's rules, without reading the
// rest of the file: it tells where a catalog came from before the whole file is read. Leaves
// the entry empty when the catalog has none.
Status ReadFirstCatalogEntry(const std::string& path, std::optional<EntryRecord>& entry);

}  // namespace vellumark
