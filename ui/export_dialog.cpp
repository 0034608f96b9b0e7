#include "ui/export_dialog.h"

#include "config/config.h"
#include "core/path_names.h"
#include "export/delimited_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "services/messages.h"
#include "ui/catalog_tree_frame.h"
#include "ui/dialog_layout.h"
#include "ui/command_guard.h"
#include "ui/qt_text.h"
#include "ui/task_runner.h"

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

FileDialogRequest SaveRequestOf(ExportFormatKind format, const std::string& catalogPath)
{
    FileDialogRequest request;
    switch (format) {
    case ExportFormatKind::Html:
        request = {kHtmlExtension, kHtmlFilter, {}};
        break;
    case ExportFormatKind::Text:
        request = {kTextExtension, kTextFilter, {}};
        break;
    case ExportFormatKind::Csv:
        request = {kCsvExtension, kCsvFilter, {}};
        break;
    case ExportFormatKind::Xml:
        request = {kXmlExtension, kXmlFilter, {}};
        break;
    case ExportFormatKind::Excel:
        request = {kExcelExtension, kExcelFilter, {}};
        break;
    }
    if (!catalogPath.empty())
        request.initialName = CatalogNameOfFile(catalogPath);
    return request;
}

// The writers' save dialog, answered with the file the user chose before the worker started;
// the overwrite question was answered then too. Every other question goes to the real prompts.
class ChosenFilePrompts final : public Prompts {
public:
    ChosenFilePrompts(Prompts& prompts, std::string path) : prompts_(prompts), path_(std::move(path)) {}

    std::string ChooseOpenFile(const FileDialogRequest& request) override { return prompts_.ChooseOpenFile(request); }
    std::string ChooseSaveFile(const FileDialogRequest&) override { return path_; }
    void ShowMessage(std::string_view caption, std::string_view text, MessageIcon icon) override
    {
        prompts_.ShowMessage(caption, text, icon);
    }
    bool AskYesNo(std::string_view caption, std::string_view text, MessageIcon icon) override
    {
        return text == messages::kOverwriteCatalog || prompts_.AskYesNo(caption, text, icon);
    }

private:
    Prompts& prompts_;
    std::string path_;
};

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

std::string AskExportFileFirst(Prompts& prompts, ExportFormatKind format, const std::string& catalogPath)
{
    return AskSaveFile(prompts, SaveRequestOf(format, catalogPath));
}

Status RunExportWithFile(ExportServices& services, const ExportJob& job, std::vector<std::string> columns,
                         const std::string& outputPath)
{
    ChosenFilePrompts prompts(services.prompts, outputPath);
    return services.runner.Run(messages::kExportToFile, false, [&](Progress& progress) {
        TFileInfo info(services.document, progress, prompts);
        info.ExportColumns() = std::move(columns);
        return RunExportJob(info, job);
    });
}

TFMExport::TFMExport(QWidget* parent, ExportServices services, std::string catalogPath)
    : QDialog(parent), services_(services), catalogPath_(std::move(catalogPath))
{
    BuildControls();
    FormShow();
}

void TFMExport::BuildControls()
{
    setWindowTitle(QStringLiteral("Catalog Export"));
    setObjectName(QStringLiteral("FMExport"));
    const QFontMetrics metrics(font());

    auto* source = new QGroupBox(this);
    rbScreen_ = new QRadioButton(QStringLiteral("Export From Current Screen"), source);
    rbScreen_->setObjectName(QStringLiteral("RBScreen"));
    rbCatalog_ = new QRadioButton(QStringLiteral("Export From Selected Catalog"), source);
    rbCatalog_->setObjectName(QStringLiteral("RBCatalog"));
    rbCatalog_->setChecked(true);
    frmCatTree_ = new TFrmCatTree(source);
    FitLibraryTree(*frmCatTree_, {170, 100, 80}, 14);
    auto* sourceLayout = new QVBoxLayout(source);
    sourceLayout->addWidget(rbScreen_);
    sourceLayout->addWidget(rbCatalog_);
    sourceLayout->addWidget(frmCatTree_, 1);

    clbList_ = new QListWidget(this);
    clbList_->setObjectName(QStringLiteral("CLBList"));
    clbList_->setMinimumWidth(metrics.averageCharWidth() * 20);

    auto* formats = new QGroupBox(this);
    const auto makeFormat = [formats](const char* caption, const char* name, QIcon icon) {
        auto* button = new QRadioButton(QString::fromLatin1(caption), formats);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(icon);
        return button;
    };
    rbHtml_ = makeFormat("HTML Format", "RBHTML", FormatIcon("text-html", u'H', QColor(228, 110, 40)));
    rbXml_ = makeFormat("XML Format", "RBXML", FormatIcon("text-xml", u'X', QColor(60, 110, 200)));
    rbExcel_ = makeFormat("Microsoft Excel Format", "RBExcel", FormatIcon("x-office-spreadsheet", u'E', QColor(30, 130, 70)));
    rbCvs_ = makeFormat("CSV Format", "RBCVS", FormatIcon("text-csv", u'C', QColor(20, 140, 150)));
    rbTxt_ = makeFormat("TEXT Format ", "RBTxt", FormatIcon("text-plain", u'T', QColor(110, 110, 110)));
    rbHtml_->setChecked(true);
    edSep_ = new QLineEdit(QStringLiteral(","), formats);
    edSep_->setObjectName(QStringLiteral("EdSep"));
    edSep_->setMaximumWidth(metrics.averageCharWidth() * 6);
    auto* formatLayout = new QGridLayout(formats);
    formatLayout->addWidget(rbHtml_, 0, 0);
    formatLayout->addWidget(rbXml_, 1, 0);
    formatLayout->addWidget(rbExcel_, 2, 0);
    formatLayout->addWidget(rbCvs_, 3, 0);
    formatLayout->addWidget(edSep_, 3, 1);
    formatLayout->addWidget(rbTxt_, 4, 0);

    btnOk_ = new QPushButton(QStringLiteral("&OK"), this);
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnOk_->setDefault(true);
    auto* btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("BtnCancel"));

    auto* right = new QVBoxLayout;
    right->addWidget(clbList_, 1);
    right->addWidget(formats);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(source, 1);
    layout->addLayout(right);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(rbScreen_, &QRadioButton::clicked, this, &TFMExport::RBCatalogClick);
    connect(rbCatalog_, &QRadioButton::clicked, this, &TFMExport::RBCatalogClick);
    connect(frmCatTree_->VTLib()->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFMExport::UpdateOk);
    connect(btnOk_, &QPushButton::clicked, this, [this] { RunCommand(services_.prompts, [this] { BtnOkClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFMExport::FormShow()
{
    clbList_->clear();
    const TXMLNodesType nodes = ConfigInstance().GetConfig().nodes();
    for (std::size_t i = 0; i < nodes.Count(); ++i) {
        auto* item = new QListWidgetItem(ToQString(nodes.Node(i).Name()), clbList_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(nodes.Node(i).DefaultExport() ? Qt::Checked : Qt::Unchecked);
    }
    if (const Status status = frmCatTree_->FillTree(ConfigInstance().GetLibraryPath(), false); !status)
        services_.prompts.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);

    if (!catalogPath_.empty()) {
        LibraryTreeModel* model = frmCatTree_->Model();
        for (CatalogTreeNode* node : model->Tree().PreOrder()) {
            if (node->record.Field(kFullPath) == catalogPath_) {
                for (QModelIndex up = model->IndexOf(node).parent(); up.isValid(); up = up.parent())
                    frmCatTree_->VTLib()->expand(up);
                frmCatTree_->VTLib()->selectionModel()->setCurrentIndex(
                    model->IndexOf(node), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                break;
            }
        }
    } else {
        rbScreen_->setChecked(true);
        RBCatalogClick();
    }
    UpdateOk();
}

void TFMExport::RBCatalogClick()
{
    frmCatTree_->setEnabled(rbCatalog_->isChecked());
    UpdateOk();
}

void TFMExport::UpdateOk()
{
    const CatalogTreeNode* node = frmCatTree_->FocusedNode();
    btnOk_->setEnabled(rbScreen_->isChecked() || (node && node->record.IsFile()));
}

QRadioButton* TFMExport::FormatButton(ExportFormatKind format) const
{
    switch (format) {
    case ExportFormatKind::Xml:
        return rbXml_;
    case ExportFormatKind::Excel:
        return rbExcel_;
    case ExportFormatKind::Csv:
        return rbCvs_;
    case ExportFormatKind::Text:
        return rbTxt_;
    case ExportFormatKind::Html:
        break;
    }
    return rbHtml_;
}

ExportFormatKind TFMExport::Format() const
{
    for (const ExportFormatKind format : {ExportFormatKind::Xml, ExportFormatKind::Excel, ExportFormatKind::Csv,
                                          ExportFormatKind::Text})
        if (FormatButton(format)->isChecked())
            return format;
    return ExportFormatKind::Html;
}

std::vector<std::string> TFMExport::CheckedColumns() const
{
    std::vector<std::string> columns;
    for (int row = 0; row < clbList_->count(); ++row)
        if (clbList_->item(row)->checkState() == Qt::Checked)
            columns.push_back(ToStdString(clbList_->item(row)->text()));
    return columns;
}

void TFMExport::BtnOkClick()
{
    // The ticks are stored first, also when no export follows.
    const TXMLNodesType nodes = ConfigInstance().GetConfig().nodes();
    for (std::size_t i = 0; i < nodes.Count() && i < static_cast<std::size_t>(clbList_->count()); ++i)
        nodes.Node(i).SetDefaultExport(clbList_->item(static_cast<int>(i))->checkState() == Qt::Checked);
    ReportStatus(services_.prompts, ConfigInstance().SaveConfig());

    if (rbCatalog_->isChecked()) {
        const CatalogTreeNode* node = frmCatTree_->FocusedNode();
        if (!node || !node->record.IsFile())
            return;
        catalogPath_ = std::string(node->record.Field(kFullPath));
    } else {
        // The source the user chose wins over a catalog the opener set.
        catalogPath_.clear();
    }
    accept();

    const ExportJob job{Format(), catalogPath_, ToStdString(edSep_->text()), services_.screen};
    const std::string outputPath = AskExportFileFirst(services_.prompts, job.format, catalogPath_);
    if (outputPath.empty())
        return;
    ReportStatus(services_.prompts, RunExportWithFile(services_, job, CheckedColumns(), outputPath));
}

}  // namespace vellumark
