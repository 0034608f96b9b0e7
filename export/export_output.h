#pragma once

#include "services/atomic_file.h"
#include "services/status.h"

#include <string>

namespace vellumark {

// An atomic output file filled through a text buffer, so that writers can append small pieces
// without a call per piece. Nothing reaches the target unless Commit succeeds.
class ExportOutput {
public:
    explicit ExportOutput(std::string path) : file_(std::move(path)) {}

    Status Open() { return file_.Open(); }
    std::string& Text() { return text_; }
    // Hands the buffered text to the file once enough has gathered.
    Status Drain() { return text_.size() < kChunk ? Status::Ok() : Pass(); }
    Status Commit()
    {
        if (Status status = Pass(); !status)
            return status;
        return file_.Commit();
    }

private:
    // As large as the file's own buffer, so that the pieces go to the file without a copy.
    static constexpr std::size_t kChunk = 1 << 20;
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
