#pragma once

#include "core/catalog_tree.h"
#include "core/xml_document.h"
#include "export/export_job.h"
#include "services/prompts.h"

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

// What an export works with: the questions, the worker behind the wait window, the main
// window's one document and the list on screen.
struct ExportServices {
    Prompts& prompts;
    TaskRunner& runner;
    XmlDocument& document;
    const CatalogTree* screen = nullptr;
};

// The export dialog: the source (the list on screen or a catalog of the library), the columns
// and the format. On OK it stores the column ticks in the configuration and runs the export.
class ExportDialog final : public QDialog {
    Q_OBJECT

public:
    // With a catalog path the dialog opens on that catalog; with none, on the screen.
    ExportDialog(QWidget* parent, ExportServices services, std::string catalogPath = {});

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
    void FormShow();
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

// The output file of an export, asked on the GUI thread before the worker starts: the format's
// save dialog with the overwrite question. Empty when the user chose none.
std::string AskExportFileFirst(Prompts& prompts, ExportFormatKind format, const std::string& catalogPath);

// Runs the job on a worker behind the wait window with the export columns, its save dialog
// answered with the file already chosen. Questions the writers still ask go to the prompts.
Status RunExportWithFile(ExportServices& services, const ExportJob& job, std::vector<std::string> columns,
                         const std::string& outputPath);

}  // namespace vellumark
