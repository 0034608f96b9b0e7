#include "ui/columns_dialog.h"

#include "config/config.h"
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

ColumnsDialog::ColumnsDialog(QWidget* parent) : QDialog(parent), list_(new QListWidget(this))
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
    LoadColumns();
}

void ColumnsDialog::LoadColumns()
{
    list_->clear();
    const ColumnSettings columns = ConfigInstance().Root().Columns();
    for (std::size_t i = 0; i < columns.Count(); ++i) {
        auto* line = new QListWidgetItem(ToQString(columns.Column(i).Name()), list_);
        line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        line->setCheckState(columns.Column(i).Visible() ? Qt::Checked : Qt::Unchecked);
        line->setSizeHint(QSize(0, 18));
    }
}

void ColumnsDialog::onOkClicked()
{
    Configuration& config = ConfigInstance();
    const ColumnSettings columns = config.Root().Columns();
    for (std::size_t i = 0; i < columns.Count() && static_cast<int>(i) < list_->count(); ++i)
        columns.Column(i).SetVisible(list_->item(static_cast<int>(i))->checkState() == Qt::Checked);
    const Status saved = config.SaveConfig();
    if (!saved.ok())
        throw std::runtime_error(saved.message());
    accept();
}

}  // namespace vellumark
