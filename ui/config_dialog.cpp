#include "ui/config_dialog.h"

#include "config/config.h"
#include "ui/command_guard.h"
#include "ui/qt_prompts.h"
#include "ui/qt_text.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace vellumark {

TFMConfig::TFMConfig(QWidget* parent) : QDialog(parent), list_(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Config visible columns"));
    resize(217, 280);
    list_->setObjectName(QStringLiteral("CLBList"));
    list_->setFrameShape(QFrame::StyledPanel);
    list_->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        QtPrompts prompts(this);
        RunCommand(prompts, [this] { BitBtn1Click(); });
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Config visible columns:"), this));
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    FormShow();
}

void TFMConfig::FormShow()
{
    list_->clear();
    const TXMLNodesType nodes = ConfigInstance().GetConfig().nodes();
    for (std::size_t i = 0; i < nodes.Count(); ++i) {
        auto* line = new QListWidgetItem(ToQString(nodes.Node(i).Name()), list_);
        line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        line->setCheckState(nodes.Node(i).Visible() ? Qt::Checked : Qt::Unchecked);
        line->setSizeHint(QSize(0, 18));
    }
}

void TFMConfig::BitBtn1Click()
{
    TConfig& config = ConfigInstance();
    const TXMLNodesType nodes = config.GetConfig().nodes();
    for (std::size_t i = 0; i < nodes.Count() && static_cast<int>(i) < list_->count(); ++i)
        nodes.Node(i).SetVisible(list_->item(static_cast<int>(i))->checkState() == Qt::Checked);
    const Status saved = config.SaveConfig();
    if (!saved.ok())
        throw std::runtime_error(saved.message());
    accept();
}

}  // namespace vellumark
