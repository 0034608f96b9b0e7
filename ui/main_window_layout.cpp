// The main window's start-up and its layout kept in the configuration between runs.
#include "ui/main_window.h"

#include "config/config.h"
#include "library/library_store.h"
#include "services/messages.h"
#include "ui/catalog_tree_frame.h"
#include "ui/command_guard.h"
#include "ui/config_dialog.h"
#include "ui/detail_panel_model.h"
#include "ui/file_list_model.h"

#include <QHeaderView>
#include <QLayout>
#include <QSplitter>
#include <QTreeView>

#include <algorithm>
#include <numeric>

namespace vellumark {

namespace {

Qt::Alignment AlignmentOf(const std::string& align)
{
    if (align == "right")
        return Qt::AlignRight;
    if (align == "center")
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// Sizes for a splitter of two panes with the first (or second) one fixed.
QList<int> PaneSizes(const QSplitter& splitter, int fixed, bool fixedFirst)
{
    const int total = splitter.orientation() == Qt::Horizontal ? splitter.width() : splitter.height();
    const int rest = std::max(total - fixed - splitter.handleWidth(), 1);
    return fixedFirst ? QList<int>{fixed, rest} : QList<int>{rest, fixed};
}

}  // namespace

void TFMMain::InitMainWindow()
{
    TConfig& config = ConfigInstance();
    ReportStatus(*prompts_, CreateDefaultLibrary(config.GetLibraryPath()));
    ApplyWindowLayout();
    BuildListColumns();
    ReportStatus(*prompts_, FillLibraryTree());
    ShowDetails(nullptr);
    SetDetailsEditable(false);
}

void TFMMain::ApplyWindowLayout()
{
    const TXMLFrameType frame = ConfigInstance().GetConfig().frame();
    if (frame.max()) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        move(frame.left(), frame.top());
        resize(frame.width(), frame.height());
    }
    // The splitters must know their own size before the stored pane sizes are given to them.
    if (layout())
        layout()->activate();
    const TXMLPlLeftType plLeft = frame.plLeft();
    slLeft_->setSizes(PaneSizes(*slLeft_, plLeft.width(), true));
    QHeaderView* treeHeader = frmCatTree_->VTLib()->header();
    treeHeader->resizeSection(0, plLeft.col1());
    treeHeader->resizeSection(1, plLeft.col2());
    treeHeader->resizeSection(2, plLeft.col3());

    const TXMLPlHintType plHint = frame.plHint();
    slHint_->setSizes(PaneSizes(*slHint_, plHint.height(), false));
    vle_->header()->resizeSection(0, plHint.col1());
    vle_->header()->resizeSection(1, plHint.col2());
}

void TFMMain::BuildListColumns()
{
    const TXMLNodesType nodes = ConfigInstance().GetConfig().nodes();
    const int count = static_cast<int>(nodes.Count());
    std::vector<ListColumn> columns;
    std::vector<int> widths;
    for (int i = 0; i < count; ++i) {
        const TXMLNodeType node = nodes.Node(static_cast<std::size_t>(i));
        ListColumn column;
        column.name = node.Name();
        column.key = ColumnKeyIndex(column.name);
        column.readOnly = node.ReadOnly();
        column.alignment = AlignmentOf(node.Align());
        widths.push_back(node.Width());
        columns.push_back(std::move(column));
    }
    QHeaderView* header = vt_->header();
    header->setUpdatesEnabled(false);
    listModel_->SetColumns(std::move(columns));
    for (int i = 0; i < count; ++i)
        header->resizeSection(i, widths[static_cast<std::size_t>(i)]);
    header->setUpdatesEnabled(true);

    // Column i stays node i's column whatever its position; positions are given from the
    // leftmost on, so each move leaves the ones placed before it where they are.
    std::vector<int> byPosition(static_cast<std::size_t>(count));
    std::vector<int> positions;
    for (int i = 0; i < count; ++i) {
        const int position = nodes.Node(static_cast<std::size_t>(i)).Index();
        if (position < 0 || position >= count)
            throw ConfigError(messages::kColumnPositionRange);
        positions.push_back(position);
    }
    std::iota(byPosition.begin(), byPosition.end(), 0);
    std::stable_sort(byPosition.begin(), byPosition.end(), [&](int a, int b) {
        return positions[static_cast<std::size_t>(a)] < positions[static_cast<std::size_t>(b)];
    });
    for (int target = 0; target < count; ++target)
        header->moveSection(header->visualIndex(byPosition[static_cast<std::size_t>(target)]), target);
    for (int i = 0; i < count; ++i)
        header->setSectionHidden(i, !nodes.Node(static_cast<std::size_t>(i)).Visible());
}

void TFMMain::SaveWindowLayout()
{
    TConfig& config = ConfigInstance();
    TXMLFrameType frame = config.GetConfig().frame();
    frame.SetLeft(x());
    frame.SetTop(y());
    frame.SetHeight(height());
    frame.SetWidth(width());
    frame.SetMax(isMaximized());

    TXMLPlLeftType plLeft = frame.plLeft();
    plLeft.SetWidth(plLeft_->width());
    const QHeaderView* treeHeader = frmCatTree_->VTLib()->header();
    plLeft.SetCol1(treeHeader->sectionSize(0));
    plLeft.SetCol2(treeHeader->sectionSize(1));
    plLeft.SetCol3(treeHeader->sectionSize(2));

    TXMLPlHintType plHint = frame.plHint();
    plHint.SetHeight(plHint_->height());
    plHint.SetCol1(vle_->header()->sectionSize(0));
    plHint.SetCol2(vle_->header()->sectionSize(1));

    const TXMLNodesType nodes = config.GetConfig().nodes();
    const QHeaderView* header = vt_->header();
    for (int i = 0; i < header->count() && static_cast<std::size_t>(i) < nodes.Count(); ++i) {
        TXMLNodeType node = nodes.Node(static_cast<std::size_t>(i));
        // A hidden column reports no width; it keeps the one it had when it was shown.
        if (!header->isSectionHidden(i))
            node.SetWidth(header->sectionSize(i));
        node.SetVisible(!header->isSectionHidden(i));
        node.SetIndex(header->visualIndex(i));
    }
    ReportStatus(*prompts_, config.SaveConfig());
}

void TFMMain::ShowColumnsDialog()
{
    TFMConfig dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TXMLNodesType nodes = ConfigInstance().GetConfig().nodes();
    for (int i = 0; i < listModel_->columnCount() && static_cast<std::size_t>(i) < nodes.Count(); ++i)
        vt_->header()->setSectionHidden(i, !nodes.Node(static_cast<std::size_t>(i)).Visible());
}

}  // namespace vellumark
