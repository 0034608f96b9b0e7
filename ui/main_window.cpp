#include "ui/main_window.h"

#include "ui/about_dialog.h"
#include "ui/catalog_session.h"
#include "ui/library_tree_view.h"
#include "ui/command_guard.h"
#include "ui/detail_panel_model.h"
#include "ui/file_list_delegate.h"
#include "ui/file_list_model.h"
#include "ui/history_commands.h"
#include "ui/link_label.h"
#include "ui/main_commands.h"
#include "ui/main_toolbar.h"
#include "ui/qt_prompts.h"
#include "ui/shell_links.h"
#include "ui/size_map_window.h"
#include "ui/task_runner.h"
#include "ui/tree_style.h"
#include "ui/ui_colors.h"
#include "config/config.h"
#include "ui/wait_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

MainWindow::MainWindow(Prompts* prompts, QWidget* parent) : QMainWindow(parent)
{
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Vellumark 4.0"));
    resize(934, 490);
    waitWindow_ = new WaitWindow(this);
    runner_ = new TaskRunner(*waitWindow_, this);
    session_ = new CatalogSession(*runner_, *prompts_, this);
    listModel_ = session_->Model();
    history_ = new HistoryCommands(*this);
    BuildWidgets();
    BuildListMenu();
    ConnectCommands();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWidgets()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolbar_ = new MainToolbar(central);
    layout->addWidget(toolbar_);

    mainSplitter_ = new QSplitter(Qt::Horizontal, central);
    mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));
    leftPane_ = new QWidget(mainSplitter_);
    leftPane_->setObjectName(QStringLiteral("leftPane"));
    auto* leftLayout = new QVBoxLayout(leftPane_);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftSplitter_ = new QSplitter(Qt::Vertical, leftPane_);
    leftSplitter_->setObjectName(QStringLiteral("leftSplitter"));
    leftLayout->addWidget(leftSplitter_);

    libraryTree_ = new LibraryTreeView(leftSplitter_);
    libraryTree_->setObjectName(QStringLiteral("libraryTreeView"));
    libraryTree_->View()->setToolTip(QStringLiteral("Catalogs"));
    detailPane_ = new QWidget(leftSplitter_);
    detailPane_->setObjectName(QStringLiteral("detailPane"));
    auto* hintLayout = new QVBoxLayout(detailPane_);
    hintLayout->setContentsMargins(0, 0, 0, 0);
    detailPanel_ = new QTreeView(detailPane_);
    detailPanel_->setObjectName(QStringLiteral("detailPanel"));
    detailPanel_->setToolTip(QStringLiteral("File Detail"));
    detailModel_ = new DetailPanelModel(this);
    detailPanel_->setModel(detailModel_);
    ApplyTreeStyle(*detailPanel_);
    detailPanel_->setRootIsDecorated(false);
    detailPanel_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    detailPanel_->header()->resizeSection(0, 170);
    detailPanel_->header()->resizeSection(1, 103);
    hintLayout->addWidget(detailPanel_);

    fileList_ = new QTreeView(mainSplitter_);
    fileList_->setObjectName(QStringLiteral("fileList"));
    fileList_->setToolTip(QStringLiteral("Items"));
    fileList_->setModel(listModel_);
    ApplyTreeStyle(*fileList_);
    fileList_->setItemDelegate(new FileListDelegate(fileList_));
    fileList_->setRootIsDecorated(true);
    fileList_->setExpandsOnDoubleClick(true);
    fileList_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    fileList_->header()->setSortIndicatorShown(true);
    fileList_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    fileList_->header()->viewport()->installEventFilter(this);

    for (QSplitter* splitter : {mainSplitter_, leftSplitter_}) {
        splitter->setHandleWidth(6);
        splitter->setChildrenCollapsible(false);
        splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background-color: rgb(%1, %2, %3); "
                                               "border: 1px outset rgb(200, 190, 210); }")
                                    .arg(colors::SplitterBar().red())
                                    .arg(colors::SplitterBar().green())
                                    .arg(colors::SplitterBar().blue()));
    }
    // Only the list and the library tree take up a change of the window's size, so the stored
    // panel sizes come back as they were.
    mainSplitter_->setStretchFactor(0, 0);
    mainSplitter_->setStretchFactor(1, 1);
    leftSplitter_->setStretchFactor(0, 1);
    leftSplitter_->setStretchFactor(1, 0);
    for (QWidget* pane : {static_cast<QWidget*>(leftPane_), static_cast<QWidget*>(fileList_)})
        pane->setMinimumWidth(80);
    for (QWidget* pane : {static_cast<QWidget*>(libraryTree_), detailPane_})
        pane->setMinimumHeight(80);
    layout->addWidget(mainSplitter_, 1);
    setCentralWidget(central);

    statusPanel_ = new QLabel(this);
    statusPanel_->setObjectName(QStringLiteral("statusPanel"));
    statusPanel_->setMinimumWidth(700);
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addWidget(statusPanel_);
    statusBar()->setSizeGripEnabled(true);
}

void MainWindow::BuildListMenu()
{
    listMenu_ = new QMenu(fileList_);
    listMenu_->setObjectName(QStringLiteral("listMenu"));
    sizeMapAction_ = listMenu_->addAction(QStringLiteral("Show size map"));
    openInCatalogAction_ = listMenu_->addAction(QStringLiteral("Open in catalog"));
    openInCatalogAction_->setVisible(false);
    connect(listMenu_, &QMenu::aboutToShow, this,
            [this] { openInCatalogAction_->setVisible(history_->CanOpenInCatalog(FocusedListNode())); });
    connect(openInCatalogAction_, &QAction::triggered, this, [this] { Guard([this] { history_->OpenInCatalog(FocusedListNode()); }); });
    fileList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(fileList_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { listMenu_->popup(fileList_->viewport()->mapToGlobal(position)); });
    connect(sizeMapAction_, &QAction::triggered, this, [this] { Guard([this] { ShowListSizeMap(); }); });
}

SizeMapWindow* MainWindow::ShowListSizeMap()
{
    SizeMapWindow* map = ShowSizeMap(this, *listModel_, FocusedListNode());
    connect(map, &SizeMapWindow::IndexClicked, fileList_, [this](const QModelIndex& index) { fileList_->setCurrentIndex(index); });
    connect(fileList_->selectionModel(), &QItemSelectionModel::currentChanged, map, &SizeMapWindow::OutlineIndex);
    return map;
}

void MainWindow::Guard(const std::function<void()>& command) { RunCommand(*prompts_, command); }

void MainWindow::ConnectCommands()
{
    connect(toolbar_->NewCatalogButton(), &QToolButton::clicked, this, [this] { RunNewCatalogCommand(*this); });
    connect(toolbar_->LibraryButton(), &QToolButton::clicked, this, [this] { RunLibraryCommand(*this); });
    connect(toolbar_->SearchButton(), &QToolButton::clicked, this, [this] { RunSearchCommand(*this); });
    connect(toolbar_->ExportButton(), &QToolButton::clicked, this, [this] { RunExportCommand(*this); });
    connect(toolbar_->QuitButton(), &QToolButton::clicked, this, &QWidget::close);
    connect(toolbar_->ColumnsAction(), &QAction::triggered, this, [this] { Guard([this] { ShowColumnsDialog(); }); });
    connect(toolbar_->HelpAction(), &QAction::triggered, this, [] { OpenHelp(); });
    connect(toolbar_->AboutAction(), &QAction::triggered, this, [this] {
        AboutDialog about(this);
        about.exec();
    });
    connect(toolbar_->WebAction(), &QAction::triggered, this, [] { OpenWebSite(); });
    connect(toolbar_->TitleLink(), &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(toolbar_->WebLink(), &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(toolbar_->MailLink(), &LinkLabel::clicked, this, [] { OpenSupportMail(); });

    history_->Offer(*libraryTree_, nullptr,
                    [this] { ReportStatus(*prompts_, FillLibraryTree(ConfigInstance().GetLibraryPath())); });
    connect(libraryTree_, &LibraryTreeView::NodeClicked, this, [this] { Guard([this] { onLibraryNodeClicked(); }); });
    connect(fileList_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guard([this, column] { onListHeaderClicked(column); }); });
    connect(fileList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { Guard([this, current] { onListFocusChanged(current); }); });
    session_->SetCatalogShownHandler([this] { ExpandCatalogRoot(); });
    session_->SetListEditHandler([this](CatalogTreeNode& node) { ShowDetails(&node.record); });
    detailModel_->SetEditHandler([this](const QString& key, const QString& text) {
        Guard([&] {
            if (CatalogTreeNode* node = FocusedListNode())
                session_->EditEntry(*node, ColumnKeyIndex(key.toStdString()), text.toStdString());
        });
    });
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!initialized_) {
        initialized_ = true;
        Guard([this] { InitMainWindow(); });
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Guard([this] { SaveWindowLayout(); });
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The right button on the list's header chooses the columns; it never sorts.
    if (watched == fileList_->header()->viewport() && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        Guard([this] { ShowColumnsDialog(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QString MainWindow::StatusText() const { return statusPanel_->text(); }

}  // namespace vellumark
