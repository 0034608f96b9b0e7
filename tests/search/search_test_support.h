#pragma once

#include "search/catalog_search.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellumark::testing {

// A catalog file's text around the given entry elements.
inline std::string CatalogText(std::string_view entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\">"
         + std::string(entries) + "</fileinfo>";
}

// One self-closing file entry of the given name, extension and kind.
inline std::string FileEntry(std::string_view name, std::string_view extension = {}, std::string_view kind = "file")
{
    std::string text = "<file FileName=\"" + std::string(name) + "\" FullPath=\"/cd/" + std::string(name) + "\"";
    if (!extension.empty())
        text += " FileExt=\"" + std::string(extension) + "\"";
    return text + " FileType=\"" + std::string(kind) + "\"/>";
}

// "DiskName:FileName" of every top-level result, in order.
inline std::vector<std::string> ResultNames(const CatalogTree& results)
{
    std::vector<std::string> names;
    for (int row = 0; row < results.TopLevelCount(); ++row) {
        const EntryRecord& record = results.TopLevel(row)->record;
        names.push_back(std::string(record.Field(kDiskName)) + ":" + std::string(record.Field(kFileName)));
    }
    return names;
}

}  // namespace vellumark::testing
