#include "export/xml_export.h"

#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "services/atomic_file.h"
#include "services/messages.h"

namespace vellumark {

Status CopyCatalogFile(const std::string& catalogPath, const std::string& path, Progress& progress)
{
    WaitScope wait(progress, messages::kExportToFile);
    AtomicFile file(path);
    if (Status status = file.Open(); !status)
        return status;
    // A failed write is kept by the file and reported at Commit; the reading goes on meanwhile.
    const Status read = ReadCatalogEntries(
        catalogPath, [](const CatalogEntry&) { return true; }, [&file](std::string_view bytes) { file.Write(bytes); });
    if (!read)
        return read;
    return file.Commit();
}

Status WriteCatalogExport(const CatalogTree& tree, const std::string& path, Progress& progress)
{
    WaitScope wait(progress, messages::kExportToFile);
    return WriteCatalogFile(tree, path, progress);
}

}  // namespace vellumark
