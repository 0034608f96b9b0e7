#pragma once

#include "services/progress.h"
#include "services/prompts.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
bool PathExists(const std::string& path);
void MakeDirs(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& path);

// Answers the prompts from queues set up by the test and records every message shown.
class FakePrompts final : public Prompts {
public:
    std::deque<std::string> openChoices;  // an empty text is a cancelled dialog
    std::deque<std::string> saveChoices;
    std::deque<bool> yesNoAnswers;        // when empty, every question is answered No
    std::vector<std::string> messages;    // "caption: text" of every box shown
    std::vector<FileDialogRequest> requests;

    std::string ChooseOpenFile(const FileDialogRequest& request) override;
    std::string ChooseSaveFile(const FileDialogRequest& request) override;
    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override;
};

// Records what a long operation showed; can cancel itself after a number of messages.
class RecordingProgress final : public Progress {
public:
    std::vector<std::string> shownMessages;
    int shows = 0;
    int hides = 0;
    bool lastCancelVisible = false;
    int cancelAfterMessages = -1;

protected:
    void OnShow(bool cancelVisible) override;
    void OnHide() override;
    void OnMessage(std::string_view text) override;
};

}  // namespace vellumark::testing
