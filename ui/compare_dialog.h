#pragma once

#include "ui/new_catalog_dialog.h"

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vellumark {

// "Compare with...": the other side of a comparison, another catalog of the library or a
// folder as it is now.
class CompareDialog final : public QDialog {
    Q_OBJECT

public:
    // The catalogs offered, as (shown name, file path), the compared one left out by the caller.
    CompareDialog(QWidget* parent, const std::string& catalogName, std::vector<std::pair<QString, std::string>> catalogs,
                  FolderChooser chooser);

    bool WithFolder() const;
    // The catalog chosen, or empty when none is.
    std::string OtherCatalogPath() const;
    std::string FolderPath() const;
    bool IgnoreTimes() const;

    void onChooseFolderClicked();

    QRadioButton* CatalogButton() const { return catalogButton_; }
    QRadioButton* FolderButton() const { return folderButton_; }
    QComboBox* CatalogBox() const { return catalogBox_; }
    QLineEdit* FolderEdit() const { return folderEdit_; }
    QCheckBox* IgnoreTimesBox() const { return ignoreTimesBox_; }

private:
    void ChoiceChanged();

    std::vector<std::pair<QString, std::string>> catalogs_;
    FolderChooser chooser_;
    QRadioButton* catalogButton_;
    QRadioButton* folderButton_;
    QComboBox* catalogBox_;
    QLineEdit* folderEdit_;
    QPushButton* browseButton_;
    QCheckBox* ignoreTimesBox_;
};

}  // namespace vellumark
