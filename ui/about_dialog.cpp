#include "ui/about_dialog.h"

#include "services/links.h"
#include "ui/link_label.h"
#include "ui/shell_links.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

namespace vellumark {

TFMAbout::TFMAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vellumark"));
    QFont base = font();
    base.setPointSize(10);
    setFont(base);

    auto* label1 = new QLabel(QString::fromLatin1(links::kVersionText), this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1->font();
    bold.setBold(true);
    label1->setFont(bold);
    auto* label2 = new QLabel(QStringLiteral("Catalogs your CDs, DVDs, drives and folders."), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto* label5 = new LinkLabel(QString::fromLatin1(links::kWebSite), this);
    auto* label7 = new LinkLabel(QString::fromLatin1(links::kSupportMail), this);
    label5->setObjectName(QStringLiteral("Label5"));
    label7->setObjectName(QStringLiteral("Label7"));
    for (QLabel* link : {static_cast<QLabel*>(label5), static_cast<QLabel*>(label7)})
        link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    connect(label5, &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(label7, &LinkLabel::clicked, this, [] { OpenSupportMail(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label1, 0, 0, 1, 2);
    layout->addWidget(label2, 1, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Web: "), this), 2, 0);
    layout->addWidget(label5, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("Email: "), this), 3, 0);
    layout->addWidget(label7, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumSize(292, 152);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace vellumark
