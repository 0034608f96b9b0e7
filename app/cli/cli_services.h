#pragma once

#include "services/progress.h"

#include <cstdio>
#include <iosfwd>
#include <string>

namespace vellumark::cli {

// Progress on stderr, one line rewritten in place, only when stderr is a terminal.
class TerminalProgress final : public Progress {
public:
    TerminalProgress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}

protected:
    void OnMessage(std::string_view text) override;
    void OnHide() override;

private:
    std::ostream& err_;
    bool enabled_;
    bool lineShown_ = false;
};

// The workbook library prints its own "[ERROR]" lines on stderr before it returns the error the
// command reports; while one of these lives, what C code prints on stderr goes nowhere, so a
// failure is the one line of the command's own. The command's own stream is not touched.
class LibraryStderrSilenced {
public:
    LibraryStderrSilenced();
    ~LibraryStderrSilenced();
    LibraryStderrSilenced(const LibraryStderrSilenced&) = delete;
    LibraryStderrSilenced& operator=(const LibraryStderrSilenced&) = delete;

private:
    std::FILE* saved_;
    std::FILE* sink_;
};

}  // namespace vellumark::cli
