#include "ui/columns_dialog.h"

#include "ui/command_guard.h"
#include "ui/dialog_layout.h"
#include "ui/qt_prompts.h"
#include "ui/qt_text.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace vellumark {

ColumnsDialog::ColumnsDialog(QWidget* parent, const std::vector<ColumnDescription>& columns, ColumnFlagsStore storeVisible)
    : QDialog(parent), list_(new QListWidget(this)), storeVisible_(std::move(storeVisible))
{
    setWindowTitle(QStringLiteral("Config visible columns"));
    // The design's 217 by 280, wider when the caption needs it in the desktop's font.
    resize(std::max(217, TitleBarWidth(windowTitle())), 280);
    list_->setObjectName(QStringLiteral("columnList"));
    list_->setFrameShape(QFrame::StyledPanel);
    list_->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        QtPrompts prompts(this);
        RunCommand(prompts, [this] { onOkClicked(); });
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Config visible columns:"), this));
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    LoadColumns(columns);
}

void ColumnsDialog::LoadColumns(const std::vector<ColumnDescription>& columns)
{
    list_->clear();
    for (const ColumnDescription& column : columns) {
        auto* line = new QListWidgetItem(ToQString(column.name), list_);
        line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        line->setCheckState(column.visible ? Qt::Checked : Qt::Unchecked);
        line->setSizeHint(QSize(0, 18));
    }
}

void ColumnsDialog::onOkClicked()
{
    std::vector<bool> visible;
    for (int row = 0; row < list_->count(); ++row)
        visible.push_back(list_->item(row)->checkState() == Qt::Checked);
    const Status saved = storeVisible_(visible);
    if (!saved.ok())
        throw std::runtime_error(saved.message());
    accept();
}

}  // namespace vellumark
