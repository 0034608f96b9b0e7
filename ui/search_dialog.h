#pragma once

#include "search/search_request.h"
#include "services/prompts.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;

namespace vellumark {

class LibraryTreeView;

// The search dialog: the scope (the library, a group or one catalog) and the three patterns
// with their two switches. It only checks the choice; the search is the caller's.
class SearchDialog final : public QDialog {
    Q_OBJECT

public:
    // The scope tree shows the library below its root folder.
    SearchDialog(QWidget* parent, Prompts& prompts, const std::string& libraryPath);

    // The search as the controls stand: the focused record's path and kind, the patterns as
    // typed.
    SearchRequest Request() const;

    void onOkClicked();

    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    QLineEdit* ExtensionEdit() const { return extensionEdit_; }
    QLineEdit* DescriptionEdit() const { return descriptionEdit_; }
    QCheckBox* CaseSensitiveBox() const { return caseSensitiveBox_; }
    QCheckBox* WholeValuesBox() const { return wholeValuesBox_; }

private:
    Prompts& prompts_;
    LibraryTreeView* libraryTree_;
    QLineEdit* nameEdit_;
    QLineEdit* extensionEdit_;
    QLineEdit* descriptionEdit_;
    QCheckBox* caseSensitiveBox_;
    QCheckBox* wholeValuesBox_;
};

}  // namespace vellumark
