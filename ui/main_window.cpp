#include "ui/main_window.h"

#include "ui/about_dialog.h"
#include "ui/catalog_tree_frame.h"
#include "ui/command_guard.h"
#include "ui/detail_panel_model.h"
#include "ui/file_list_delegate.h"
#include "ui/file_list_model.h"
#include "ui/link_label.h"
#include "ui/main_commands.h"
#include "ui/main_toolbar.h"
#include "ui/qt_prompts.h"
#include "ui/shell_links.h"
#include "ui/task_runner.h"
#include "ui/tree_style.h"
#include "ui/ui_colors.h"
#include "ui/wait_form.h"

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

TFMMain::TFMMain(Prompts* prompts, QWidget* parent) : QMainWindow(parent)
{
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    setObjectName(QStringLiteral("FMMain"));
    setWindowTitle(QStringLiteral("Vellumark 4.0"));
    resize(934, 490);
    BuildWidgets();
    waitForm_ = new TWaitForm(this);
    runner_ = new TaskRunner(*waitForm_, this);
    ConnectCommands();
}

TFMMain::~TFMMain() = default;

void TFMMain::BuildWidgets()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolbar_ = new MainToolbar(central);
    layout->addWidget(toolbar_);

    slLeft_ = new QSplitter(Qt::Horizontal, central);
    slLeft_->setObjectName(QStringLiteral("slleft"));
    plLeft_ = new QWidget(slLeft_);
    plLeft_->setObjectName(QStringLiteral("plLeft"));
    auto* leftLayout = new QVBoxLayout(plLeft_);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    slHint_ = new QSplitter(Qt::Vertical, plLeft_);
    slHint_->setObjectName(QStringLiteral("slHint"));
    leftLayout->addWidget(slHint_);

    frmCatTree_ = new TFrmCatTree(slHint_);
    frmCatTree_->setObjectName(QStringLiteral("FrmCatTree"));
    frmCatTree_->VTLib()->setToolTip(QStringLiteral("Catalogs"));
    plHint_ = new QWidget(slHint_);
    plHint_->setObjectName(QStringLiteral("plHint"));
    auto* hintLayout = new QVBoxLayout(plHint_);
    hintLayout->setContentsMargins(0, 0, 0, 0);
    vle_ = new QTreeView(plHint_);
    vle_->setObjectName(QStringLiteral("VLE"));
    vle_->setToolTip(QStringLiteral("File Detail"));
    detailModel_ = new DetailPanelModel(this);
    vle_->setModel(detailModel_);
    ApplyTreeStyle(*vle_);
    vle_->setRootIsDecorated(false);
    vle_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    vle_->header()->resizeSection(0, 170);
    vle_->header()->resizeSection(1, 103);
    hintLayout->addWidget(vle_);

    vt_ = new QTreeView(slLeft_);
    vt_->setObjectName(QStringLiteral("VT"));
    vt_->setToolTip(QStringLiteral("Items"));
    listModel_ = new FileListModel(this);
    vt_->setModel(listModel_);
    ApplyTreeStyle(*vt_);
    vt_->setItemDelegate(new FileListDelegate(vt_));
    vt_->setRootIsDecorated(true);
    vt_->setExpandsOnDoubleClick(true);
    vt_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    vt_->header()->setSortIndicatorShown(true);
    vt_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    vt_->header()->viewport()->installEventFilter(this);

    for (QSplitter* splitter : {slLeft_, slHint_}) {
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
    slLeft_->setStretchFactor(0, 0);
    slLeft_->setStretchFactor(1, 1);
    slHint_->setStretchFactor(0, 1);
    slHint_->setStretchFactor(1, 0);
    for (QWidget* pane : {static_cast<QWidget*>(plLeft_), static_cast<QWidget*>(vt_)})
        pane->setMinimumWidth(80);
    for (QWidget* pane : {static_cast<QWidget*>(frmCatTree_), plHint_})
        pane->setMinimumHeight(80);
    layout->addWidget(slLeft_, 1);
    setCentralWidget(central);

    statusPanel_ = new QLabel(this);
    statusPanel_->setObjectName(QStringLiteral("SBPanel"));
    statusPanel_->setMinimumWidth(700);
    statusBar()->setObjectName(QStringLiteral("SB"));
    statusBar()->addWidget(statusPanel_);
    statusBar()->setSizeGripEnabled(true);
}

void TFMMain::Guard(const std::function<void()>& command) { RunCommand(*prompts_, command); }

void TFMMain::ConnectCommands()
{
    connect(toolbar_->SpeedDemoButton(), &QToolButton::clicked, this, [this] { RunNewCatalogCommand(*this); });
    connect(toolbar_->VisibilityDemoButton(), &QToolButton::clicked, this, [this] { RunLibraryCommand(*this); });
    connect(toolbar_->AlignDemoButton(), &QToolButton::clicked, this, [this] { RunSearchCommand(*this); });
    connect(toolbar_->SpeedButton1(), &QToolButton::clicked, this, [this] { RunExportCommand(*this); });
    connect(toolbar_->QuitButton(), &QToolButton::clicked, this, &QWidget::close);
    connect(toolbar_->ColumnsAction(), &QAction::triggered, this, [this] { Guard([this] { ShowColumnsDialog(); }); });
    connect(toolbar_->HelpAction(), &QAction::triggered, this, [] { OpenHelp(); });
    connect(toolbar_->AboutAction(), &QAction::triggered, this, [this] {
        TFMAbout about(this);
        about.exec();
    });
    connect(toolbar_->WebAction(), &QAction::triggered, this, [] { OpenWebSite(); });
    connect(toolbar_->Label1(), &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(toolbar_->Label2(), &LinkLabel::clicked, this, [] { OpenWebSite(); });
    connect(toolbar_->Label3(), &LinkLabel::clicked, this, [] { OpenSupportMail(); });

    connect(frmCatTree_, &TFrmCatTree::NodeClicked, this, [this] { Guard([this] { FrmCatTreeVTLibClick(); }); });
    connect(vt_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guard([this, column] { VTHeaderClick(column); }); });
    connect(vt_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { Guard([this, current] { VTChange(current); }); });
    listModel_->SetEditHandler([this](CatalogTreeNode& node, int key, const std::string& text) {
        Guard([&] {
            SetEntryField(&node, key, text);
            ShowDetails(&node.record);
        });
    });
    detailModel_->SetEditHandler([this](const QString& key, const QString& text) {
        Guard([&] { SetEntryField(FocusedListNode(), ColumnKeyIndex(key.toStdString()), text.toStdString()); });
    });
}

void TFMMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!initialized_) {
        initialized_ = true;
        Guard([this] { InitMainWindow(); });
    }
}

void TFMMain::closeEvent(QCloseEvent* event)
{
    Guard([this] { SaveWindowLayout(); });
    event->accept();
}

bool TFMMain::eventFilter(QObject* watched, QEvent* event)
{
    // The right button on the list's header chooses the columns; it never sorts.
    if (watched == vt_->header()->viewport() && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        Guard([this] { ShowColumnsDialog(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QString TFMMain::StatusText() const { return statusPanel_->text(); }

}  // namespace vellumark
