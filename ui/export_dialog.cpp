#include "ui/export_dialog.h"

#include "core/path_names.h"
#include "services/messages.h"
#include "ui/library_tree_view.h"
#include "ui/dialog_layout.h"
#include "ui/command_guard.h"
#include "ui/qt_text.h"
#include "ui/task_runner.h"
#include "ui/user_file_write.h"

#include <QPainter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

namespace {

// The theme's icon of the file kind; without an icon theme, a coloured badge with the kind's
// letter, so that the five formats still look different.
QIcon FormatIcon(const char* themeName, QChar letter, QColor colour)
{
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull())
        return themed;
    QPixmap badge(32, 32);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker(140));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge.rect(), Qt::AlignCenter, QString(letter));
    painter.end();
    return QIcon(badge);
}

}  // namespace

ExportDialog::ExportDialog(QWidget* parent, ExportServices services, const DialogSettings& settings, std::string catalogPath)
    : QDialog(parent), services_(std::move(services)), catalogPath_(std::move(catalogPath))
{
    BuildControls();
    FormShow(settings);
}

void ExportDialog::BuildControls()
{
    setWindowTitle(QStringLiteral("Catalog Export"));
    setObjectName(QStringLiteral("exportDialog"));
    const QFontMetrics metrics(font());

    auto* source = new QGroupBox(this);
    screenSourceButton_ = new QRadioButton(QStringLiteral("Export From Current Screen"), source);
    screenSourceButton_->setObjectName(QStringLiteral("screenSourceButton"));
    catalogSourceButton_ = new QRadioButton(QStringLiteral("Export From Selected Catalog"), source);
    catalogSourceButton_->setObjectName(QStringLiteral("catalogSourceButton"));
    catalogSourceButton_->setChecked(true);
    libraryTree_ = new LibraryTreeView(source);
    FitLibraryTree(*libraryTree_, {170, 100, 80}, 14);
    auto* sourceLayout = new QVBoxLayout(source);
    sourceLayout->addWidget(screenSourceButton_);
    sourceLayout->addWidget(catalogSourceButton_);
    sourceLayout->addWidget(libraryTree_, 1);

    columnList_ = new QListWidget(this);
    columnList_->setObjectName(QStringLiteral("columnList"));
    columnList_->setMinimumWidth(metrics.averageCharWidth() * 20);

    auto* formats = new QGroupBox(this);
    const auto makeFormat = [formats](const char* caption, const char* name, QIcon icon) {
        auto* button = new QRadioButton(QString::fromLatin1(caption), formats);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(icon);
        return button;
    };
    htmlButton_ = makeFormat("HTML Format", "RBHTML", FormatIcon("text-html", u'H', QColor(228, 110, 40)));
    xmlButton_ = makeFormat("XML Format", "RBXML", FormatIcon("text-xml", u'X', QColor(60, 110, 200)));
    excelButton_ = makeFormat("Microsoft Excel Format", "RBExcel", FormatIcon("x-office-spreadsheet", u'E', QColor(30, 130, 70)));
    csvButton_ = makeFormat("CSV Format", "RBCVS", FormatIcon("text-csv", u'C', QColor(20, 140, 150)));
    textButton_ = makeFormat("TEXT Format ", "RBTxt", FormatIcon("text-plain", u'T', QColor(110, 110, 110)));
    htmlButton_->setChecked(true);
    separatorEdit_ = new QLineEdit(QStringLiteral(","), formats);
    separatorEdit_->setObjectName(QStringLiteral("separatorEdit"));
    separatorEdit_->setMaximumWidth(metrics.averageCharWidth() * 6);
    auto* formatLayout = new QGridLayout(formats);
    formatLayout->addWidget(htmlButton_, 0, 0);
    formatLayout->addWidget(xmlButton_, 1, 0);
    formatLayout->addWidget(excelButton_, 2, 0);
    formatLayout->addWidget(csvButton_, 3, 0);
    formatLayout->addWidget(separatorEdit_, 3, 1);
    formatLayout->addWidget(textButton_, 4, 0);

    okButton_ = new QPushButton(QStringLiteral("&OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* right = new QVBoxLayout;
    right->addWidget(columnList_, 1);
    right->addWidget(formats);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(source, 1);
    layout->addLayout(right);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(screenSourceButton_, &QRadioButton::clicked, this, &ExportDialog::onSourceChanged);
    connect(catalogSourceButton_, &QRadioButton::clicked, this, &ExportDialog::onSourceChanged);
    connect(libraryTree_->View()->selectionModel(), &QItemSelectionModel::currentChanged, this, &ExportDialog::UpdateOk);
    connect(okButton_, &QPushButton::clicked, this, [this] { RunCommand(services_.prompts, [this] { onOkClicked(); }); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ExportDialog::FormShow(const DialogSettings& settings)
{
    columnList_->clear();
    for (const ColumnDescription& column : settings.columns) {
        auto* item = new QListWidgetItem(ToQString(column.name), columnList_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(column.defaultExport ? Qt::Checked : Qt::Unchecked);
    }
    if (const Status status = libraryTree_->FillTree(settings.libraryPath, false); !status)
        services_.prompts.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);

    if (!catalogPath_.empty()) {
        LibraryTreeModel* model = libraryTree_->Model();
        for (CatalogTreeNode* node : model->Tree().PreOrder()) {
            if (node->record.Field(kFullPath) == catalogPath_) {
                for (QModelIndex up = model->IndexOf(node).parent(); up.isValid(); up = up.parent())
                    libraryTree_->View()->expand(up);
                libraryTree_->View()->selectionModel()->setCurrentIndex(
                    model->IndexOf(node), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                break;
            }
        }
    } else {
        screenSourceButton_->setChecked(true);
        onSourceChanged();
    }
    UpdateOk();
}

void ExportDialog::onSourceChanged()
{
    libraryTree_->setEnabled(catalogSourceButton_->isChecked());
    UpdateOk();
}

void ExportDialog::UpdateOk()
{
    const CatalogTreeNode* node = libraryTree_->FocusedNode();
    okButton_->setEnabled(screenSourceButton_->isChecked() || (node && node->record.IsFile()));
}

QRadioButton* ExportDialog::FormatButton(ExportFormatKind format) const
{
    switch (format) {
    case ExportFormatKind::Xml:
        return xmlButton_;
    case ExportFormatKind::Excel:
        return excelButton_;
    case ExportFormatKind::Csv:
        return csvButton_;
    case ExportFormatKind::Text:
        return textButton_;
    case ExportFormatKind::Html:
        break;
    }
    return htmlButton_;
}

ExportFormatKind ExportDialog::Format() const
{
    for (const ExportFormatKind format : {ExportFormatKind::Xml, ExportFormatKind::Excel, ExportFormatKind::Csv,
                                          ExportFormatKind::Text})
        if (FormatButton(format)->isChecked())
            return format;
    return ExportFormatKind::Html;
}

std::vector<std::string> ExportDialog::CheckedColumns() const
{
    std::vector<std::string> columns;
    for (int row = 0; row < columnList_->count(); ++row)
        if (columnList_->item(row)->checkState() == Qt::Checked)
            columns.push_back(ToStdString(columnList_->item(row)->text()));
    return columns;
}

void ExportDialog::onOkClicked()
{
    // The ticks are stored first, also when no export follows.
    std::vector<bool> ticked;
    for (int row = 0; row < columnList_->count(); ++row)
        ticked.push_back(columnList_->item(row)->checkState() == Qt::Checked);
    ReportStatus(services_.prompts, services_.storeTicks(ticked));

    if (catalogSourceButton_->isChecked()) {
        const CatalogTreeNode* node = libraryTree_->FocusedNode();
        if (!node || !node->record.IsFile())
            return;
        catalogPath_ = std::string(node->record.Field(kFullPath));
    } else {
        // The source the user chose wins over a catalog the opener set.
        catalogPath_.clear();
    }
    accept();

    // The output file is asked here, on the GUI thread, before the worker starts.
    const ExportFormat& format = ExportFormatOf(Format());
    const std::string suggestedName = catalogPath_.empty() ? std::string() : CatalogNameOfFile(catalogPath_);
    const SaveTarget target =
        AskSaveFile(services_.prompts, {std::string(format.extension), std::string(format.filter), suggestedName});
    if (target.path.empty())
        return;
    ExportJob job{format.kind, catalogPath_, services_.screen, CheckedColumns(), ToStdString(separatorEdit_->text()),
                  target.path};
    ReportStatus(services_.prompts,
                 WriteUserFile(services_.runner, services_.prompts, messages::kExportToFile, target.replaceAgreed,
                               [&job](Progress& progress, bool replace) {
                                   job.replaceExisting = replace;
                                   return RunExport(job, progress);
                               }));
}

}  // namespace vellumark
