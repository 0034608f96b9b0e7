#pragma once

// TEMPORARY GLUE for the index tests and benchmark: feeds a SegmentBuilder from the current
// XmlPullReader. The catalog road's entry visitor (start-tag offsets and lazily decoded
// attributes per entry) replaces it; then this file goes.

#include "core/xml_pull_reader.h"
#include "search/index/segment_builder.h"
#include "services/progress.h"

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
        if (++entries % 4096 == 0 && progress.Cancelled())
            return Status::Cancelled();
        // The reader's offset is where the start tag ends. Its length is read off the reader's
        // window, which the name and the values point into: "<", the name, the attributes,
        // blanks, then ">" or "/>".
        const std::string_view name = reader.ElementName();
        const char* end = name.data() + name.size();
        if (!reader.Attributes().empty()) {
            const std::string_view raw = reader.Attributes().back().raw;
            end = raw.data() + raw.size() + 1;
        }
        while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')
            ++end;
        end += *end == '/' ? 2 : 1;
        const std::uint64_t start = reader.Offset() - static_cast<std::uint64_t>(end - (name.data() - 1));

        EntryTexts texts;
        for (const XmlPullReader::Attribute& attribute : reader.Attributes()) {
            const std::string_view key = attribute.name;
            std::optional<std::string_view>* value = nullptr;
            if (key.size() == 8 && key.compare(0, 4, "File") == 0) {
                const std::string_view rest = key.substr(4);
                value = rest == "Name" ? &texts.fileName : rest == "Size" ? &texts.fileSize : rest == "Time" ? &texts.fileTime
                      : rest == "Type" ? &texts.fileType : nullptr;
            } else if (key == "FileExt") {
                value = &texts.fileExt;
            } else if (key == "Description") {
                value = &texts.description;
            }
            if (value && !*value)
                *value = reader.Value(attribute);
        }
        builder.Add(start, texts);
    }
    return Status::Ok();
}

}  // namespace vellumark::testing
