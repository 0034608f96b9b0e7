#include "core/catalog_snapshot.h"

#include "core/catalog_file.h"
#include "core/path_names.h"
#include "core/xml_pull_reader.h"

#include <exception>
#include <thread>

namespace vellumark {

Status ReadCatalogSnapshot(const std::string& path, CatalogSnapshot& snapshot, Progress& progress)
{
    // The identity is taken before the read, so the content is never older than the identity
    // says. When the file changed during the read, the read is repeated; if it keeps changing,
    // the identity taken first stays and a writer will read the file again before it writes.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        const std::optional<FileStatus> before = StatusOfPath(path, FollowLinks::Yes);
        if (Status status = ReadCatalogFile(path, snapshot.tree, progress); !status)
            return status;
        snapshot.identity = before;
        if (attempt == kAttempts || StatusOfPath(path, FollowLinks::Yes) == before)
            return Status::Ok();
    }
}

Status ReadCatalogBeside(const std::string& path, CatalogSnapshot& snapshot, const std::function<Status()>& work)
{
    Status readStatus;
    {
        std::jthread reader([&] {
            try {
                NullProgress quiet;
                readStatus = ReadCatalogSnapshot(path, snapshot, quiet);
            } catch (const std::exception& failure) {
                readStatus = Status::Failed(failure.what());
            }
        });
        Status workStatus = work();
        reader.join();
        if (!workStatus)
            return workStatus;
    }
    return readStatus;
}

Status ReadFirstCatalogEntry(const std::string& path, std::optional<EntryRecord>& entry)
{
    entry.reset();
    XmlPullReader reader;
    if (Status status = reader.Open(path); !status)
        return status;
    for (;;) {
        const XmlPullReader::Event event = reader.Next();
        if (event == XmlPullReader::Event::Failed)
            return reader.Error();
        if (event == XmlPullReader::Event::Finished || (event == XmlPullReader::Event::EndElement && reader.Depth() == 0))
            return Status::Ok();
        if (event != XmlPullReader::Event::StartElement || reader.Depth() != 1)
            continue;

        EntryRecord record;
        record.SetField(kFileType, kKindDirectory);
        for (int key = 0; key < kColumnKeyCount; ++key)
            if (const XmlPullReader::Attribute* attribute = reader.FindAttribute(kColumnKeys[key]))
                record.SetField(key, reader.Value(*attribute));
        if (record.IsEmpty(kFullPath))
            record.SetField(kFullPath, record.Field(kFileName));
        record.SetField(kDiskName, CatalogNameOfFile(path));
        entry = std::move(record);
        return Status::Ok();
    }
}

}  // namespace vellumark
