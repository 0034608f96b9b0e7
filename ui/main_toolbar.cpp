#include "ui/main_toolbar.h"

#include "services/links.h"
#include "ui/link_label.h"
#include "ui/ui_colors.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vellumark {

namespace {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

}  // namespace

MainToolbar::MainToolbar(QWidget* parent) : QScrollArea(parent), strip_(new QWidget(this))
{
    setObjectName(QStringLiteral("toolbar"));
    setFixedHeight(70 + horizontalScrollBar()->sizeHint().height());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    QPalette palette = strip_->palette();
    palette.setColor(QPalette::Window, colors::TreeBackground());
    // The captions of the command buttons, on the fixed light strip.
    palette.setColor(QPalette::WindowText, colors::TextOnLight());
    palette.setColor(QPalette::ButtonText, colors::TextOnLight());
    strip_->setPalette(palette);
    strip_->setAutoFillBackground(true);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    strip_->setFixedHeight(70);

    auto* layout = new QHBoxLayout(strip_);
    layout->setContentsMargins(0, 2, 8, 2);
    layout->setSpacing(0);
    layout->addSpacing(10);

    titleLink_ = new LinkLabel(QStringLiteral("CD DVD Collection          Catalog Organizer"), strip_);
    titleLink_->setObjectName(QStringLiteral("titleLink"));
    titleLink_->setWordWrap(true);
    titleLink_->setFixedWidth(160);
    titleLink_->setStyleSheet(QStringLiteral("color: blue; font-weight: bold; font-size: 13px;"));
    layout->addWidget(titleLink_);
    layout->addSpacing(5);

    newCatalog_ = AddButton(QStringLiteral("newCatalogButton"), QStringLiteral("&New catalog"),
                            QStringLiteral("Create a new catalog"), ThemeIcon("document-new", QStyle::SP_FileDialogNewFolder));
    library_ = AddButton(QStringLiteral("libraryButton"), QStringLiteral("&Catalog library"),
                         QStringLiteral("The library of catalogs"), ThemeIcon("system-file-manager", QStyle::SP_DirHomeIcon));
    search_ = AddButton(QStringLiteral("searchButton"), QStringLiteral("&Search"),
                        QStringLiteral("Search a file in the library"), ThemeIcon("system-search", QStyle::SP_FileDialogContentsView));
    export_ = AddButton(QStringLiteral("exportButton"), QStringLiteral("&Export"), QStringLiteral("Export to a file "),
                        ThemeIcon("document-save-as", QStyle::SP_DialogSaveButton));
    options_ = AddButton(QStringLiteral("optionsButton"), QStringLiteral("&Options"), QString(),
                         ThemeIcon("preferences-system", QStyle::SP_FileDialogDetailedView));
    quit_ = AddButton(QStringLiteral("quitButton"), QStringLiteral("E&xit"), QStringLiteral("Exit"),
                      ThemeIcon("application-exit", QStyle::SP_DialogCloseButton));
    for (QToolButton* button : {newCatalog_, library_, search_, export_, options_, quit_})
        layout->addWidget(button);

    layout->addSpacing(18);
    auto* links = new QVBoxLayout;
    webLink_ = new LinkLabel(QString::fromLatin1(links::kWebSite), strip_);
    mailLink_ = new LinkLabel(QString::fromLatin1(links::kSupportMail), strip_);
    webLink_->setObjectName(QStringLiteral("webLink"));
    mailLink_->setObjectName(QStringLiteral("mailLink"));
    for (LinkLabel* label : {webLink_, mailLink_}) {
        label->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
        links->addWidget(label);
    }
    layout->addLayout(links);
    layout->addStretch(1);
    setWidget(strip_);

    optionsMenu_ = new QMenu(this);
    optionsMenu_->setObjectName(QStringLiteral("optionsMenu"));
    optionsMenu_->setToolTipsVisible(true);
    columnsAction_ = optionsMenu_->addAction(QStringLiteral("Config Visible Columns"));
    optionsMenu_->addSeparator();
    helpAction_ = optionsMenu_->addAction(QStringLiteral("Help"));
    helpAction_->setToolTip(QStringLiteral("Help of Vellumark"));
    optionsMenu_->addSeparator();
    aboutAction_ = optionsMenu_->addAction(QStringLiteral("About Vellumark"));
    aboutAction_->setToolTip(QStringLiteral("About of the software"));
    webAction_ = optionsMenu_->addAction(QStringLiteral("Vellumark on the Web"));
    connect(options_, &QToolButton::clicked, this, &MainToolbar::onOptionsClicked);
}

QToolButton* MainToolbar::AddButton(const QString& name, const QString& caption, const QString& hint, const QIcon& icon)
{
    auto* button = new QToolButton(strip_);
    button->setObjectName(name);
    button->setText(caption);  // the "&" letter becomes the Alt accelerator
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedHeight(65);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    // At least the design's 90 pixels, wider when the caption needs it in this font; the strip
    // scrolls rather than shorten a caption ("Catal...brary" in a narrow window).
    button->setMinimumWidth(std::max(90, button->sizeHint().width()));
    return button;
}

QPoint MainToolbar::PopupPosition() const
{
    return options_->mapToGlobal(QPoint(options_->width() / 2, options_->height() + 6));
}

void MainToolbar::onOptionsClicked() { optionsMenu_->popup(PopupPosition()); }

}  // namespace vellumark
