#pragma once

#include "core/catalog_tree.h"
#include "export/export_formats.h"
#include "services/prompts.h"
#include "ui/column_description.h"

#include <QDialog>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QRadioButton;
class QPushButton;

namespace vellumark {

class TaskRunner;
class LibraryTreeView;

// What an export works with: the questions, the worker behind the wait window, the list on
// screen and where the column ticks are kept.
struct ExportServices {
    Prompts& prompts;
    TaskRunner& runner;
    const CatalogTree* screen = nullptr;
    ColumnFlagsStore storeTicks;
};

// The export dialog: the source (the list on screen or a catalog of the library), the columns
// and the format. On OK it hands the column ticks to the store, asks for the output file (with
// the overwrite question) and runs the export on a worker.
class ExportDialog final : public QDialog {
    Q_OBJECT

public:
    // The library tree and the columns come from the settings. With a catalog path the dialog
    // opens on that catalog; with none, on the screen.
    ExportDialog(QWidget* parent, ExportServices services, const DialogSettings& settings, std::string catalogPath = {});

    void onSourceChanged();
    void onOkClicked();

    ExportFormatKind Format() const;
    std::vector<std::string> CheckedColumns() const;
    const std::string& CatalogPath() const { return catalogPath_; }

    QRadioButton* ScreenSourceButton() const { return screenSourceButton_; }
    QRadioButton* CatalogSourceButton() const { return catalogSourceButton_; }
    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QListWidget* ColumnList() const { return columnList_; }
    QRadioButton* FormatButton(ExportFormatKind format) const;
    QLineEdit* SeparatorEdit() const { return separatorEdit_; }
    QPushButton* OkButton() const { return okButton_; }

private:
    void BuildControls();
    void FormShow(const DialogSettings& settings);
    void UpdateOk();

    ExportServices services_;
    std::string catalogPath_;

    QRadioButton* screenSourceButton_;
    QRadioButton* catalogSourceButton_;
    LibraryTreeView* libraryTree_;
    QListWidget* columnList_;
    QRadioButton* htmlButton_;
    QRadioButton* xmlButton_;
    QRadioButton* excelButton_;
    QRadioButton* csvButton_;
    QRadioButton* textButton_;
    QLineEdit* separatorEdit_;
    QPushButton* okButton_;
};

}  // namespace vellumark
