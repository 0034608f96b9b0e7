#include "export/delimited_export.h"

#include "core/column_keys.h"
#include "core/stored_text.h"
#include "export/export_output.h"
#include "services/messages.h"
#include "services/progress.h"

#include <vector>

namespace vellumark {

namespace {

// What a CSV value needs before it is written.
struct CsvNeeds {
    bool quotes = false;
    bool storedForm = false;
};

// One pass over the value: this runs for every field of a million-entry export. Whether the
// stored form changes the value is asked once, from the first byte that may need it on.
CsvNeeds InspectCsvValue(std::string_view value, std::string_view separator, bool lookForStoredForm)
{
    const char lead = separator.empty() ? '"' : separator.front();
    CsvNeeds needs;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"' || c == '\r' || c == '\n' || (c == lead && value.substr(i).starts_with(separator)))
            needs.quotes = true;
        if (lookForStoredForm && MayNeedStoredForm(static_cast<unsigned char>(c))) {
            needs.storedForm = NeedsStoredEncoding(value.substr(i));
            lookForStoredForm = false;
        }
        if (needs.quotes && !lookForStoredForm)
            break;
    }
    return needs;
}

// What a spreadsheet runs as a formula when a cell starts with it.
bool StartsFormula(std::string_view value)
{
    if (value.empty())
        return false;
    const char c = value.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

void AppendQuoted(std::string& out, std::string_view value, bool quotes)
{
    if (!quotes) {
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

// The value in the form asked for, after the apostrophe that neutralises a formula; the
// quotes are decided on what is written.
void AppendCsvField(std::string& out, std::string_view value, std::string_view separator, ValueForm form,
                    std::string& scratch)
{
    const bool readable = form == ValueForm::Readable;
    CsvNeeds needs = InspectCsvValue(value, separator, readable);
    const bool formula = readable && StartsFormula(value);
    if (needs.storedForm || formula) {
        scratch.clear();
        if (formula)
            scratch += '\'';
        if (needs.storedForm)
            AppendStoredText(scratch, value);
        else
            scratch += value;
        value = scratch;
        needs = InspectCsvValue(value, separator, false);
    }
    AppendQuoted(out, value, needs.quotes);
}

void AppendTextValue(std::string& out, std::string_view value, ValueForm form)
{
    if (form == ValueForm::Readable && NeedsStoredEncoding(value))
        AppendStoredText(out, value);
    else
        out += value;
}

Status WriteDelimited(const CatalogTree& tree, const std::vector<std::string>& columns,
                      std::string_view separator, bool quote, const std::string& path, Progress& progress,
                      ValueForm form)
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
        AppendTextValue(out, column, form);
        out += separator;
        fields.push_back(ColumnKeyIndex(column));
    }
    out += "\r\n";

    Status status;
    std::string scratch;
    tree.ForEachPreOrder([&](const CatalogTreeNode& node) {
        if (!status)
            return;
        const EntryRecord::Fields values = node.record.AllFields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                out += separator;
            const std::string_view value = values[fields[i]];
            if (quote)
                AppendCsvField(out, value, separator, form, scratch);
            else
                AppendTextValue(out, value, form);
        }
        out += "\r\n";
        status = output.Drain();
    });
    if (!status)
        return status;
    return output.Commit();
}

}  // namespace

Status WriteText(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                 Progress& progress, ValueForm form)
{
    return WriteDelimited(tree, columns, kTextSeparator, false, path, progress, form);
}

Status WriteCsv(const CatalogTree& tree, const std::vector<std::string>& columns, std::string_view separator,
                const std::string& path, Progress& progress, ValueForm form)
{
    return WriteDelimited(tree, columns, separator, true, path, progress, form);
}

}  // namespace vellumark
