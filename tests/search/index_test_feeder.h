#pragma once

// TEMPORARY GLUE for the index tests and benchmark: feeds a SegmentBuilder from the current
// XmlPullReader. The catalog road's entry visitor (start-tag offsets and lazily decoded
// attributes per entry) replaces it; then this file goes.

#include "core/xml_pull_reader.h"
#include "search/index/segment_builder.h"
#include "services/progress.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace vellumark::testing {

inline Status FeedSegmentFromXml(const std::string& path, SegmentBuilder& builder, const Progress& progress)
{
    XmlPullReader reader;
    if (Status opened = reader.Open(path); !opened) {
        builder.Fail(opened.message());
        return Status::Ok();
    }
    // The reader tells where a start tag ends; it begins at the last "<" before that (no
    // "<" can stand inside a well-formed tag), found in a mapping of the file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0)
            ::close(fd);
        return Status::Failed("cannot map " + path);
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* mapping = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    ::close(fd);
    if (mapping == MAP_FAILED)
        return Status::Failed("cannot map " + path);
    const auto* bytes = static_cast<const char*>(mapping);
    const auto unmap = [&] {
        if (mapping)
            ::munmap(mapping, size);
    };

    constexpr std::array<std::string_view, 6> kNames = {"FileName", "FileExt", "Description", "FileSize", "FileTime", "FileType"};
    std::size_t entries = 0;
    for (;;) {
        const XmlPullReader::Event event = reader.Next();
        if (event == XmlPullReader::Event::Finished)
            break;
        if (event == XmlPullReader::Event::Failed) {
            builder.Fail(reader.Error().message());
            break;
        }
        if (event != XmlPullReader::Event::StartElement || reader.Depth() == 0)
            continue;
        if (++entries % 4096 == 0 && progress.Cancelled()) {
            unmap();
            return Status::Cancelled();
        }
        std::uint64_t start = reader.Offset() - 1;
        while (start > 0 && bytes[start] != '<')
            --start;
        std::array<std::optional<std::string_view>, 6> values;
        for (const XmlPullReader::Attribute& attribute : reader.Attributes())
            for (std::size_t i = 0; i < kNames.size(); ++i)
                if (attribute.name == kNames[i] && !values[i])
                    values[i] = reader.Value(attribute);
        EntryTexts texts;
        texts.fileName = values[0];
        texts.fileExt = values[1];
        texts.description = values[2];
        texts.fileSize = values[3];
        texts.fileTime = values[4];
        texts.fileType = values[5];
        builder.Add(start, texts);
    }
    unmap();
    return Status::Ok();
}

}  // namespace vellumark::testing
