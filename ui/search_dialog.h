#pragma once

#include "search/search_request.h"
#include "services/prompts.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;
class QWidget;

namespace vellumark {

class LibraryTreeView;

// The search dialog: the scope (the library, a group or one catalog) and the three patterns
// with their two switches. Below them a section that starts closed holds the further
// conditions (size, time, kind) and the switch to regular expressions; closed, the dialog
// works as if they were not there. It only checks the choice; the search is the caller's.
class SearchDialog final : public QDialog {
    Q_OBJECT

public:
    // The scope tree shows the library below its root folder.
    SearchDialog(QWidget* parent, Prompts& prompts, const std::string& libraryPath);

    // The search as the controls stand: the focused record's path and kind, the patterns as
    // typed, the further conditions that are given and valid.
    SearchRequest Request() const;

    void onOkClicked();

    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    QLineEdit* ExtensionEdit() const { return extensionEdit_; }
    QLineEdit* DescriptionEdit() const { return descriptionEdit_; }
    QCheckBox* CaseSensitiveBox() const { return caseSensitiveBox_; }
    QCheckBox* WholeValuesBox() const { return wholeValuesBox_; }
    QToolButton* MoreConditionsButton() const { return moreConditionsButton_; }
    QWidget* MoreConditions() const { return moreConditions_; }
    QLineEdit* MinSizeEdit() const { return minSizeEdit_; }
    QLineEdit* MaxSizeEdit() const { return maxSizeEdit_; }
    QLineEdit* TimeFromEdit() const { return timeFromEdit_; }
    QLineEdit* TimeBeforeEdit() const { return timeBeforeEdit_; }
    QComboBox* KindBox() const { return kindBox_; }
    QCheckBox* RegularExpressionsBox() const { return regularExpressionsBox_; }

private:
    QWidget* MakeMoreConditions();
    // The further conditions into the request; Invalid with why for a bound that is no bound.
    Status ReadMoreConditions(SearchRequest& request) const;

    Prompts& prompts_;
    LibraryTreeView* libraryTree_;
    QLineEdit* nameEdit_;
    QLineEdit* extensionEdit_;
    QLineEdit* descriptionEdit_;
    QCheckBox* caseSensitiveBox_;
    QCheckBox* wholeValuesBox_;
    QToolButton* moreConditionsButton_;
    QWidget* moreConditions_;
    QLineEdit* minSizeEdit_;
    QLineEdit* maxSizeEdit_;
    QLineEdit* timeFromEdit_;
    QLineEdit* timeBeforeEdit_;
    QComboBox* kindBox_;
    QCheckBox* regularExpressionsBox_;
    std::string libraryPath_;
};

}  // namespace vellumark
