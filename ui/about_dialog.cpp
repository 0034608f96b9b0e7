#include "ui/about_dialog.h"

#include "services/links.h"
#include "ui/link_label.h"
#include "ui/shell_links.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

namespace vellumark {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vellumark"));
    QFont base = font();
    base.setPointSize(10);
    setFont(base);

    auto* versionLabel = new QLabel(QString::fromLatin1(links::kVersionText), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    QFont bold = versionLabel->font();
    bold.setBold(true);
    versionLabel->setFont(bold);
    auto* aboutLabel = new QLabel(QStringLiteral("Catalogs your CDs, DVDs, drives and folders."), this);
    aboutLabel->setObjectName(QStringLiteral("aboutLabel"));
    auto* webLink = new LinkLabel(QString::fromLatin1(links::kWebSite), this);
    auto* mailLink = new LinkLabel(QString::fromLatin1(links::kSupportMail), this);
    webLink->setObjectName(QStringLiteral("webLink"));
    mailLink->setObjectName(QStringLiteral("mailLink"));
    for (QLabel* link : {static_cast<QLabel*>(webLink), static_cast<QLabel*>(mailLink)})
        link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    connect(webLink, &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(mailLink, &LinkLabel::clicked, this, [] { OpenSupportMail(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(versionLabel, 0, 0, 1, 2);
    layout->addWidget(aboutLabel, 1, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Web: "), this), 2, 0);
    layout->addWidget(webLink, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("Email: "), this), 3, 0);
    layout->addWidget(mailLink, 3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumSize(292, 152);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace vellumark
