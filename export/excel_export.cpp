#include "export/excel_export.h"

#include "core/path_names.h"
#include "core/stored_text.h"
#include "export/export_target.h"
#include "services/messages.h"
#include "services/progress.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vellumark {

namespace {

// Visits every element below the root in document order, each before its children.
template <typename Visit>
void ForEachEntryElement(const XmlDocument& document, Visit visit)
{
    if (!document.IsActive())
        return;
    std::vector<XmlElement> parents;
    XmlElement element = document.DocumentElement().FirstChild();
    while (element) {
        visit(element);
        if (XmlElement child = element.FirstChild()) {
            parents.push_back(element);
            element = child;
            continue;
        }
        element = element.NextSibling();
        while (!element && !parents.empty()) {
            element = parents.back().NextSibling();
            parents.pop_back();
        }
    }
}

std::uint64_t CountEntries(const XmlDocument& document)
{
    std::uint64_t count = 0;
    ForEachEntryElement(document, [&count](const XmlElement&) { ++count; });
    return count;
}

// Characters of a UTF-8 text (continuation bytes are not counted).
std::size_t CharacterCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Column width in Excel's character units for the longest text of a column: a character is a
// little wider than the unit on average, and the cell needs a margin on each side.
double ColumnWidth(std::size_t characters) { return std::min(255.0, static_cast<double>(characters) * 1.1 + 2.0); }

Status WriteFailure(const std::string& path, const char* reason)
{
    return Status::Failed("Cannot write \"" + path + "\": " + reason);
}

// Fills the worksheet; the first write the library refuses ends it.
lxw_error FillSheet(lxw_workbook* workbook, const XmlDocument& document, const std::vector<std::string>& columns,
                    const std::string& title)
{
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* titleFormat = workbook_add_format(workbook);
    format_set_bold(titleFormat);
    format_set_align(titleFormat, LXW_ALIGN_CENTER);
    format_set_align(titleFormat, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* cellFormat = workbook_add_format(workbook);
    format_set_border(cellFormat, LXW_BORDER_THIN);
    if (!sheet || !titleFormat || !cellFormat)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;

    const auto lastColumn = static_cast<lxw_col_t>(columns.size());
    const std::string storedTitle = EncodeStoredText(title);
    lxw_error error = lastColumn == 0
        ? worksheet_write_string(sheet, 0, 0, storedTitle.c_str(), titleFormat)
        : worksheet_merge_range(sheet, 0, 0, 0, lastColumn, storedTitle.c_str(), titleFormat);
    if (error != LXW_NO_ERROR)
        return error;

    std::vector<std::size_t> widest(columns.size() + 1, 0);
    auto put = [&](lxw_row_t row, lxw_col_t column, const char* text) {
        widest[column] = std::max(widest[column], CharacterCount(text));
        return worksheet_write_string(sheet, row, column, text, cellFormat);
    };

    std::vector<std::string> names;
    names.reserve(columns.size());
    if ((error = put(1, 0, "SerialNO")) != LXW_NO_ERROR)
        return error;
    for (lxw_col_t c = 0; c < lastColumn; ++c) {
        names.push_back(EncodeStoredText(columns[c]));
        if ((error = put(1, c + 1, names.back().c_str())) != LXW_NO_ERROR)
            return error;
    }

    // Values are taken in their stored form, which is valid UTF-8 of characters XML allows
    // whatever bytes a name holds; the workbook is XML too.
    lxw_row_t row = 2;
    std::uint64_t number = 0;
    ForEachEntryElement(document, [&](const XmlElement& element) {
        if (error != LXW_NO_ERROR)
            return;
        if ((error = put(row, 0, std::to_string(++number).c_str())) != LXW_NO_ERROR)
            return;
        const pugi::xml_node node = element.Native();
        for (lxw_col_t c = 0; c < lastColumn && error == LXW_NO_ERROR; ++c)
            error = put(row, c + 1, node.attribute(names[c].c_str()).value());
        ++row;
    });
    if (error != LXW_NO_ERROR)
        return error;

    for (lxw_col_t c = 0; c <= lastColumn; ++c)
        if ((error = worksheet_set_column(sheet, c, c, ColumnWidth(widest[c]), nullptr)) != LXW_NO_ERROR)
            return error;
    return LXW_NO_ERROR;
}

Status SyncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return WriteFailure(path, std::strerror(errno));
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    return synced ? Status::Ok() : WriteFailure(path, std::strerror(error));
}

// The library writes the file itself, so the whole-or-nothing rule is kept here: it writes to a
// temporary name in the target's folder, which replaces the target only when complete.
Status WriteWorkbook(const XmlDocument& document, const std::vector<std::string>& columns, const std::string& path)
{
    const std::string temp = TemporaryPathFor(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(temp.c_str(), &options);
    if (!workbook)
        return WriteFailure(path, lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));

    const lxw_error fillError = FillSheet(workbook, document, columns, CatalogNameOfFile(path));
    const lxw_error closeError = workbook_close(workbook);
    Status status;
    if (fillError != LXW_NO_ERROR)
        status = WriteFailure(path, lxw_strerror(fillError));
    else if (closeError != LXW_NO_ERROR)
        status = WriteFailure(path, lxw_strerror(closeError));
    else
        status = SyncFile(temp);
    if (status) {
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0)
            ::chmod(temp.c_str(), existing.st_mode & 07777);
        if (::rename(temp.c_str(), path.c_str()) != 0)
            status = Status::Failed("Cannot replace \"" + path + "\": " + std::strerror(errno));
    }
    if (!status)
        ::unlink(temp.c_str());
    return status;
}

}  // namespace

Status ExportExcelWithCapacity(TFileInfo& info, std::string_view suggestedName, std::uint64_t rowCapacity)
{
    const std::uint64_t rows = CountEntries(info.Document()) + 2;
    // The front end shows the failure once: a message box in the desktop program, stderr in
    // the command-line tool.
    if (rows > rowCapacity)
        return Status::Failed(messages::kExcelRowRange);
    const std::string path = AskExportFile(info, {kExcelExtension, kExcelFilter}, suggestedName);
    if (path.empty())
        return Status::Cancelled();
    WaitScope wait(info.GetProgress(), messages::kExportToFile);
    return WriteWorkbook(info.Document(), info.ExportColumns(), path);
}

Status ExportExcel(TFileInfo& info, std::string_view suggestedName)
{
    return ExportExcelWithCapacity(info, suggestedName, kXlsxRowCapacity);
}

}  // namespace vellumark
