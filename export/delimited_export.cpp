#include "export/delimited_export.h"

#include "core/column_keys.h"
#include "export/export_output.h"
#include "services/messages.h"
#include "services/progress.h"

#include <vector>

namespace vellumark {

namespace {

// One pass over the value: this runs for every field of a million-entry export.
bool NeedsQuotes(std::string_view value, std::string_view separator)
{
    const char lead = separator.empty() ? '"' : separator.front();
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"' || c == '\r' || c == '\n')
            return true;
        if (c == lead && value.substr(i).starts_with(separator))
            return true;
    }
    return false;
}

Status WriteDelimited(const CatalogTree& tree, const std::vector<std::string>& columns,
                      std::string_view separator, bool quote, const std::string& path, Progress& progress)
{
    WaitScope wait(progress, messages::kExportToFile);
    ExportOutput output(path);
    if (Status status = output.Open(); !status)
        return status;
    if (tree.Empty())
        return output.Commit();

    std::string& out = output.Text();
    std::vector<int> fields;
    fields.reserve(columns.size());
    for (const std::string& column : columns) {
        out += column;
        out += separator;
        fields.push_back(ColumnKeyIndex(column));
    }
    out += "\r\n";

    Status status;
    tree.ForEachPreOrder([&](const CatalogTreeNode& node) {
        if (!status)
            return;
        const EntryRecord::Fields values = node.record.AllFields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                out += separator;
            const std::string_view value = values[fields[i]];
            if (quote)
                AppendCsvValue(out, value, separator);
            else
                out += value;
        }
        out += "\r\n";
        status = output.Drain();
    });
    if (!status)
        return status;
    return output.Commit();
}

}  // namespace

void AppendCsvValue(std::string& out, std::string_view value, std::string_view separator)
{
    if (!NeedsQuotes(value, separator)) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

Status WriteText(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                 Progress& progress)
{
    return WriteDelimited(tree, columns, kTextSeparator, false, path, progress);
}

Status WriteCsv(const CatalogTree& tree, const std::vector<std::string>& columns, std::string_view separator,
                const std::string& path, Progress& progress)
{
    return WriteDelimited(tree, columns, separator, true, path, progress);
}

}  // namespace vellumark
