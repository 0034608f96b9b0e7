#pragma once

#include "services/progress.h"

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

}  // namespace vellumark::cli
