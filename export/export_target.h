#pragma once

#include "core/catalog_tree.h"
#include "core/file_info.h"
#include "services/atomic_file.h"
#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

// The file kind a writer offers in the save dialog.
struct ExportFormat {
    const char* defaultExtension;
    const char* filter;
};

// The save dialog of every writer: the chosen path, or empty when the user chose nothing or
// declined to overwrite. An existing file is left in place; the writer replaces it whole.
std::string AskExportFile(TFileInfo& info, const ExportFormat& format, std::string_view suggestedName);

// The tree a tree writer writes: the given one, or, with none, the document read into `scratch`.
const CatalogTree& TreeToWrite(TFileInfo& info, const CatalogTree* given, CatalogTree& scratch);

// An atomic output file filled through a text buffer, so that writers can append small pieces
// without a call per piece. Nothing reaches the target unless Commit succeeds.
class ExportOutput {
public:
    explicit ExportOutput(std::string path) : file_(std::move(path)) {}

    Status Open() { return file_.Open(); }
    std::string& Text() { return text_; }
    // Hands the buffered text to the file once enough has gathered.
    Status Drain()
    {
        return text_.size() < kChunk ? Status::Ok() : Pass();
    }
    Status Commit()
    {
        if (Status status = Pass(); !status)
            return status;
        return file_.Commit();
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    Status Pass()
    {
        Status status = file_.Write(text_);
        text_.clear();
        return status;
    }

    AtomicFile file_;
    std::string text_;
};

}  // namespace vellumark
