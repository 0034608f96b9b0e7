#pragma once

#include "ui/new_catalog_dialog.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace vellumark {

// "Update catalog...": where the medium is now (found by its label, or chosen), the extensions
// to catalog (the masks a catalog was made with are not recorded) and the folders-only choice.
class UpdateCatalogDialog final : public QDialog {
    Q_OBJECT

public:
    // The note, when not empty, tells why the folder offered may not be the medium's.
    UpdateCatalogDialog(QWidget* parent, const std::string& catalogName, const std::string& folder, bool onlyFolders,
                        const QString& note, FolderChooser chooser);

    std::string FolderPath() const;
    // The typed extensions as mask items ("mp3 .avi" gives "*.mp3", "*.avi").
    std::vector<std::string> MaskItems() const;
    bool OnlyFolders() const;

    void onChooseFolderClicked();

    QLineEdit* FolderEdit() const { return folderEdit_; }
    QLineEdit* ExtensionsEdit() const { return extensionsEdit_; }
    QCheckBox* OnlyFoldersBox() const { return onlyFoldersBox_; }

private:
    FolderChooser chooser_;
    QLineEdit* folderEdit_;
    QLineEdit* extensionsEdit_;
    QCheckBox* onlyFoldersBox_;
};

}  // namespace vellumark
