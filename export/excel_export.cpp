#include "export/excel_export.h"

#include "core/catalog_reader.h"
#include "core/column_keys.h"
#include "core/path_names.h"
#include "core/stored_text.h"
#include "services/atomic_file.h"
#include "services/messages.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <functional>
#include <string_view>

namespace vellumark {

namespace {

// Characters of a UTF-8 text (continuation bytes are not counted).
std::size_t CharacterCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// A workbook reads "_xHHHH_" in a text as the character HHHH; a value that holds such a text
// literally has its underscore written as "_x005F_", so that it reads back as it was.
const std::string& KeepLiteralEscapes(const std::string& text, std::string& buffer)
{
    const auto escapeAt = [&text](std::size_t at) {
        return at + 6 < text.size() && text[at + 1] == 'x' && IsHexDigit(text[at + 2]) && IsHexDigit(text[at + 3])
            && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]) && text[at + 6] == '_';
    };
    std::size_t at = text.find("_x");
    while (at != std::string::npos && !escapeAt(at))
        at = text.find("_x", at + 1);
    if (at == std::string::npos)
        return text;
    buffer.assign(text, 0, at);
    for (; at < text.size(); ++at) {
        if (text[at] == '_' && escapeAt(at))
            buffer += "_x005F";
        buffer += text[at];
    }
    return buffer;
}

// Column width in Excel's character units for the longest text of a column: a character is a
// little wider than the unit on average, and the cell needs a margin on each side.
double ColumnWidth(std::size_t characters) { return std::min(255.0, static_cast<double>(characters) * 1.1 + 2.0); }

Status WriteFailure(const std::string& path, const char* reason)
{
    return Status::Failed("Cannot write \"" + path + "\": " + reason);
}

// The key each column reads, or -1 for a name that is no key (its cells stay empty).
std::vector<int> ColumnKeysOf(const std::vector<std::string>& columns)
{
    std::vector<int> keys;
    keys.reserve(columns.size());
    for (const std::string& column : columns)
        keys.push_back(FindColumnKey(column));
    return keys;
}

const std::string kSerialNumberColumn = "SerialNO";

// Fills one worksheet row by row; the first write the library refuses ends it.
class SheetWriter {
public:
    SheetWriter(lxw_workbook* workbook, const std::vector<std::string>& columns) : workbook_(workbook), columns_(columns)
    {
    }

    lxw_error Begin(const std::string& title);
    // One entry: its number, then the stored values of the columns in `cells`.
    lxw_error AddRow(const std::vector<std::string>& cells);
    lxw_error Finish();

private:
    // The text is in the stored form: valid UTF-8 of characters a workbook holds.
    lxw_error Put(lxw_row_t row, lxw_col_t column, const std::string& text)
    {
        widest_[column] = std::max(widest_[column], CharacterCount(text));
        return worksheet_write_string(sheet_, row, column, KeepLiteralEscapes(text, escaped_).c_str(), cellFormat_);
    }

    lxw_workbook* workbook_;
    const std::vector<std::string>& columns_;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* cellFormat_ = nullptr;
    std::vector<std::size_t> widest_;
    std::string escaped_;
    lxw_row_t row_ = 2;
    std::uint64_t number_ = 0;
};

lxw_error SheetWriter::Begin(const std::string& title)
{
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    lxw_format* titleFormat = workbook_add_format(workbook_);
    cellFormat_ = workbook_add_format(workbook_);
    if (!sheet_ || !titleFormat || !cellFormat_)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    format_set_bold(titleFormat);
    format_set_align(titleFormat, LXW_ALIGN_CENTER);
    format_set_align(titleFormat, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(cellFormat_, LXW_BORDER_THIN);

    const auto lastColumn = static_cast<lxw_col_t>(columns_.size());
    const std::string encodedTitle = EncodeStoredText(title);
    const std::string& storedTitle = KeepLiteralEscapes(encodedTitle, escaped_);
    lxw_error error = lastColumn == 0
        ? worksheet_write_string(sheet_, 0, 0, storedTitle.c_str(), titleFormat)
        : worksheet_merge_range(sheet_, 0, 0, 0, lastColumn, storedTitle.c_str(), titleFormat);
    if (error != LXW_NO_ERROR)
        return error;

    widest_.assign(columns_.size() + 1, 0);
    if ((error = Put(1, 0, kSerialNumberColumn)) != LXW_NO_ERROR)
        return error;
    for (lxw_col_t c = 0; c < lastColumn; ++c)
        if ((error = Put(1, c + 1, EncodeStoredText(columns_[c]))) != LXW_NO_ERROR)
            return error;
    return LXW_NO_ERROR;
}

lxw_error SheetWriter::AddRow(const std::vector<std::string>& cells)
{
    lxw_error error = Put(row_, 0, std::to_string(++number_));
    for (lxw_col_t c = 0; c < cells.size() && error == LXW_NO_ERROR; ++c)
        error = Put(row_, c + 1, cells[c]);
    ++row_;
    return error;
}

lxw_error SheetWriter::Finish()
{
    for (lxw_col_t c = 0; c < widest_.size(); ++c)
        if (const lxw_error error = worksheet_set_column(sheet_, c, c, ColumnWidth(widest_[c]), nullptr);
            error != LXW_NO_ERROR)
            return error;
    return LXW_NO_ERROR;
}

// Hands each entry's cells to the sheet: its rows, in order, until the sheet refuses one.
using RowSource = std::function<Status(const std::function<bool(const std::vector<std::string>&)>& addRow)>;

// The library writes the file itself, into the temporary file of an AtomicFile, so the
// whole-or-nothing rule of every other export holds for the workbook as well.
Status WriteRows(const std::vector<std::string>& columns, const std::string& path, const RowSource& rows)
{
    AtomicFile file(path);
    if (Status status = file.Open(); !status)
        return status;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(file.TemporaryPath().c_str(), &options);
    if (!workbook)
        return WriteFailure(path, lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));

    SheetWriter sheet(workbook, columns);
    lxw_error fillError = sheet.Begin(CatalogNameOfFile(path));
    Status read;
    if (fillError == LXW_NO_ERROR)
        read = rows([&](const std::vector<std::string>& cells) {
            fillError = sheet.AddRow(cells);
            return fillError == LXW_NO_ERROR;
        });
    if (fillError == LXW_NO_ERROR)
        fillError = sheet.Finish();
    const lxw_error closeError = workbook_close(workbook);
    if (fillError != LXW_NO_ERROR)
        return WriteFailure(path, lxw_strerror(fillError));
    if (!read)
        return read;
    if (closeError != LXW_NO_ERROR)
        return WriteFailure(path, lxw_strerror(closeError));
    return file.Commit();
}

Status CheckRowCount(std::uint64_t entries, std::uint64_t rowCapacity)
{
    // The title row and the header row come first.
    return entries + 2 > rowCapacity ? Status::Failed(messages::kExcelRowRange) : Status::Ok();
}

}  // namespace

Status WriteWorkbook(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                     Progress& progress, std::uint64_t rowCapacity)
{
    if (Status status = CheckRowCount(tree.NodeCount(), rowCapacity); !status)
        return status;
    WaitScope wait(progress, messages::kExportToFile);
    const std::vector<int> keys = ColumnKeysOf(columns);
    return WriteRows(columns, path, [&](const auto& addRow) {
        std::vector<std::string> cells(keys.size());
        bool going = true;
        tree.ForEachPreOrder([&](const CatalogTreeNode& node) {
            if (!going)
                return;
            for (std::size_t c = 0; c < keys.size(); ++c) {
                cells[c].clear();
                if (keys[c] >= 0)
                    AppendStoredText(cells[c], node.record.Field(keys[c]));
            }
            going = addRow(cells);
        });
        return Status::Ok();
    });
}

Status WriteCatalogWorkbook(const std::string& catalogPath, const std::vector<std::string>& columns,
                            const std::string& path, Progress& progress, std::uint64_t rowCapacity)
{
    std::uint64_t entries = 0;
    if (Status counted = ReadCatalogEntries(catalogPath, [&entries](const CatalogEntry&) { return ++entries, true; });
        !counted)
        return counted;
    if (Status status = CheckRowCount(entries, rowCapacity); !status)
        return status;
    WaitScope wait(progress, messages::kExportToFile);
    const std::vector<int> keys = ColumnKeysOf(columns);
    return WriteRows(columns, path, [&](const auto& addRow) {
        std::vector<std::string> cells(keys.size());
        const Status read = ReadCatalogEntries(catalogPath, [&](const CatalogEntry& entry) {
            for (std::size_t c = 0; c < keys.size(); ++c) {
                cells[c].clear();
                // Another program's catalog may hold bytes the stored form escapes as they are.
                if (keys[c] >= 0)
                    AppendCompletedStoredText(cells[c], entry.StoredValue(keys[c]));
            }
            return addRow(cells);
        });
        // A stop asked for by the sheet is its own failure; the reader's faults are the file's.
        return read.code() == Status::Code::Cancelled ? Status::Ok() : read;
    });
}

}  // namespace vellumark
