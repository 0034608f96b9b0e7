#include "ui/search_dialog.h"

#include "config/config.h"
#include "core/column_keys.h"
#include "services/messages.h"
#include "ui/catalog_tree_frame.h"
#include "ui/dialog_layout.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

TFMSearch::TFMSearch(QWidget* parent, Prompts& prompts) : QDialog(parent), prompts_(prompts)
{
    setWindowTitle(QStringLiteral("File Search"));
    setObjectName(QStringLiteral("FMSearch"));

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frmCatTree_ = new TFrmCatTree(panel);
    frmCatTree_->VTLib()->setToolTip(QStringLiteral("Select to search"));
    FitLibraryTree(*frmCatTree_, {170, 100, 80}, 14);

    const auto makeEdit = [panel](const char* name) {
        auto* edit = new QLineEdit(panel);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    edFileName_ = makeEdit("EdFileName");
    edExt_ = makeEdit("EdExt");
    edDes_ = makeEdit("EdDes");
    auto* label1 = new QLabel(QStringLiteral("FileName : "), panel);
    auto* label2 = new QLabel(QStringLiteral("FileExt : "), panel);
    auto* label4 = new QLabel(QStringLiteral("Description: "), panel);
    label1->setBuddy(edFileName_);
    label2->setBuddy(edExt_);
    label4->setBuddy(edDes_);
    checkBox1_ = new QCheckBox(QStringLiteral("Case censitive"), panel);
    checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
    checkBox2_ = new QCheckBox(QStringLiteral("Whole words"), panel);
    checkBox2_->setObjectName(QStringLiteral("CheckBox2"));
    auto* memo1 = new QLabel(QStringLiteral("Select a group or catalog on the left to \ndefine the scope of search"), panel);
    memo1->setObjectName(QStringLiteral("Memo1"));
    memo1->setAlignment(Qt::AlignCenter);
    memo1->setFrameShape(QFrame::StyledPanel);
    memo1->setAutoFillBackground(true);
    memo1->setFocusPolicy(Qt::TabFocus);
    QPalette notePalette = memo1->palette();
    notePalette.setColor(QPalette::Window, colors::EditableCell());
    memo1->setPalette(notePalette);

    auto* fields = new QGridLayout;
    fields->addWidget(label1, 0, 0);
    fields->addWidget(edFileName_, 0, 1);
    fields->addWidget(label2, 1, 0);
    fields->addWidget(edExt_, 1, 1);
    fields->addWidget(label4, 2, 0);
    fields->addWidget(edDes_, 2, 1);
    fields->addWidget(checkBox1_, 3, 1);
    fields->addWidget(checkBox2_, 4, 1);
    fields->setRowStretch(5, 1);
    fields->addWidget(memo1, 6, 0, 1, 2);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(frmCatTree_, 1);
    panelLayout->addLayout(fields);

    auto* bitBtn1 = new QPushButton(QStringLiteral("&OK"), this);
    bitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1->setDefault(true);
    auto* bitBtn2 = new QPushButton(QStringLiteral("&Cancel"), this);
    bitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bitBtn1);
    buttons->addWidget(bitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(frmCatTree_->VTLib(), edFileName_);
    setTabOrder(edFileName_, edExt_);
    setTabOrder(edExt_, edDes_);
    setTabOrder(edDes_, checkBox1_);
    setTabOrder(checkBox1_, checkBox2_);
    setTabOrder(checkBox2_, memo1);
    setTabOrder(memo1, bitBtn1);
    setTabOrder(bitBtn1, bitBtn2);

    connect(bitBtn1, &QPushButton::clicked, this, &TFMSearch::BitBtn1Click);
    connect(bitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    frmCatTree_->FillTree(ConfigInstance().GetLibraryPath(), false);
}

SearchRequest TFMSearch::Request() const
{
    SearchRequest request;
    if (const CatalogTreeNode* scope = frmCatTree_->FocusedNode()) {
        request.scopePath = std::string(scope->record.Field(kFullPath));
        request.scopeIsGroup = scope->record.IsDirectory();
    }
    request.namePattern = ToStdString(edFileName_->text());
    request.extensionPattern = ToStdString(edExt_->text());
    request.descriptionPattern = ToStdString(edDes_->text());
    request.caseSensitive = checkBox1_->isChecked();
    request.wholeValues = checkBox2_->isChecked();
    return request;
}

void TFMSearch::BitBtn1Click()
{
    if (const Status status = CheckSearchCondition(Request()); !status) {
        prompts_.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);
        return;
    }
    accept();
}

}  // namespace vellumark
