#pragma once

#include "services/progress.h"
#include "services/prompts.h"

#include <iosfwd>
#include <string>

namespace vellumark::cli {

// The prompts of the command-line tool, answered from its options: the save dialog gets the
// --out file, the overwrite question is answered by --force, messages go to stderr.
class CliPrompts final : public Prompts {
public:
    explicit CliPrompts(std::ostream& err) : err_(err) {}

    std::string saveTarget;
    bool overwrite = false;

    std::string ChooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::string ChooseSaveFile(const FileDialogRequest&) override { return saveTarget; }
    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override;

private:
    std::ostream& err_;
};

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
