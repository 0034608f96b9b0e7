#pragma once

#include <string>
#include <string_view>

namespace vellumark {

enum class MessageIcon { Warning, Question, Information };

// A file dialog's request: default extension (".xml"), filter ("XML File|*.XML") and the
// file name it opens with.
struct FileDialogRequest {
    std::string defaultExtension;
    std::string filter;
    std::string initialName;
};

// The questions the program asks the user. The GUI answers them with dialogs and message
// boxes, the command-line tool from its options, the tests with fakes.
class Prompts {
public:
    virtual ~Prompts() = default;

    // The platform's file dialogs: the chosen absolute path, or empty when cancelled.
    virtual std::string ChooseOpenFile(const FileDialogRequest& request) = 0;
    virtual std::string ChooseSaveFile(const FileDialogRequest& request) = 0;

    virtual void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    virtual bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
};

// The open prompt: a chosen file that does not exist is reported and counts as no choice.
std::string AskOpenFile(Prompts& prompts, const FileDialogRequest& request);

// Where the user chose to save: the path (empty when nothing was chosen), and whether a file
// was there and the user agreed to replace it. Without that agreement the writer keeps any file
// it finds at the path when it puts its own in place (a file may appear there meanwhile).
struct SaveTarget {
    std::string path;
    bool replaceAgreed = false;
};

// The save prompt: an existing file is replaced only after the overwrite question is answered
// Yes. The old file is left in place; the writer replaces it atomically once the new one is
// complete, so a failed export never costs the old file.
SaveTarget AskSaveFile(Prompts& prompts, const FileDialogRequest& request);

}  // namespace vellumark
