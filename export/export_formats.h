#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

enum class ExportFormatKind { Html, Text, Csv, Xml, Excel };

// One export: what is written, how and where. The front end has chosen the output path before;
// the writers ask nothing.
struct ExportJob {
    ExportFormatKind format = ExportFormatKind::Html;
    // The catalog file to export; when empty, the screen is exported.
    std::string catalogPath;
    // The list on screen; nullptr exports an empty list.
    const CatalogTree* screen = nullptr;
    // Column keys in output order (the XML format writes every attribute whatever they are).
    std::vector<std::string> columns;
    // The CSV separator as typed; empty means ",".
    std::string csvSeparator;
    std::string outputPath;
    // False: a file at the output path is never replaced, not even one that appears while the
    // export runs; RunExport gives Exists then (decided by the final rename). True once the
    // user has agreed to replace it.
    bool replaceExisting = true;
    // HTML, text and CSV write each value's bytes as the file system gave them, without the
    // stored form and the formula apostrophe (the XML and xlsx formats can hold no raw bytes).
    bool raw = false;
};

// A format as the export dialog and the command-line tool offer it.
struct ExportFormat {
    ExportFormatKind kind;
    std::string_view name;       // as the command-line tool spells it
    std::string_view extension;  // the save dialog's default extension
    std::string_view filter;     // the save dialog's filter
    Status (*write)(const ExportJob& job, Progress& progress);
};

// The five formats: html, text, csv, xml, xlsx.
const std::array<ExportFormat, 5>& ExportFormats();
const ExportFormat& ExportFormatOf(ExportFormatKind kind);
// The format of that name, or nullptr.
const ExportFormat* FindExportFormat(std::string_view name);

// Writes the job's output whole, or leaves the path as it was and says why. A front end that
// has not asked about replacing runs it with replaceExisting false, and on Exists asks the
// overwrite question and runs it again with true.
Status RunExport(const ExportJob& job, Progress& progress);

}  // namespace vellumark
