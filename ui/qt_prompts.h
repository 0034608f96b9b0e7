#pragma once

#include "services/prompts.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace vellumark {

// The prompts answered with Qt's file dialogs and message boxes. Safe to call from a worker
// thread: the question is carried to the GUI thread and the worker waits for the answer.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}

    std::string ChooseOpenFile(const FileDialogRequest& request) override;
    std::string ChooseSaveFile(const FileDialogRequest& request) override;
    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override;

    // "HTML File|*.htm" (pairs joined by "|") as a Qt name filter: "HTML File (*.htm)".
    static QString NameFilters(std::string_view filter);

private:
    std::string ChooseFile(const FileDialogRequest& request, bool save);

    QPointer<QWidget> owner_;
};

}  // namespace vellumark
