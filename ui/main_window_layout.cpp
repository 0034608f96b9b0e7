// The main window's start-up and its layout kept in the configuration between runs.
#include "ui/main_window.h"

#include "config/config.h"
#include "library/library_store.h"
#include "services/messages.h"
#include "ui/library_tree_view.h"
#include "ui/command_guard.h"
#include "ui/columns_dialog.h"
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

void MainWindow::InitMainWindow()
{
    Configuration& config = ConfigInstance();
    ReportStatus(*prompts_, CreateDefaultLibrary(config.GetLibraryPath()));
    ApplyWindowLayout();
    BuildListColumns();
    ReportStatus(*prompts_, FillLibraryTree(config.GetLibraryPath()));
    ShowDetails(nullptr);
    SetDetailsEditable(false);
}

void MainWindow::ApplyWindowLayout()
{
    const WindowFrame frame = ConfigInstance().Root().Frame();
    if (frame.Maximized()) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        setGeometry(frame.Left(), frame.Top(), frame.Width(), frame.Height());
    }
    // The splitters must know their own size before the stored pane sizes are given to them.
    if (layout())
        layout()->activate();
    const LeftPaneLayout leftPane = frame.LeftPane();
    mainSplitter_->setSizes(PaneSizes(*mainSplitter_, leftPane.Width(), true));
    QHeaderView* treeHeader = libraryTree_->View()->header();
    treeHeader->resizeSection(0, leftPane.NameColumnWidth());
    treeHeader->resizeSection(1, leftPane.TimeColumnWidth());
    treeHeader->resizeSection(2, leftPane.SizeColumnWidth());

    const DetailPaneLayout detailPane = frame.DetailPane();
    leftSplitter_->setSizes(PaneSizes(*leftSplitter_, detailPane.Height(), false));
    detailPanel_->header()->resizeSection(0, detailPane.KeyColumnWidth());
    detailPanel_->header()->resizeSection(1, detailPane.ValueColumnWidth());
}

void MainWindow::BuildListColumns()
{
    const ColumnSettings settings = ConfigInstance().Root().Columns();
    const int count = static_cast<int>(settings.Count());
    std::vector<ListColumn> columns;
    std::vector<int> widths;
    for (int i = 0; i < count; ++i) {
        const ColumnSetting setting = settings.Column(static_cast<std::size_t>(i));
        ListColumn column;
        column.name = setting.Name();
        column.key = ColumnKeyIndex(column.name);
        column.readOnly = setting.ReadOnly();
        column.alignment = AlignmentOf(setting.Align());
        widths.push_back(setting.Width());
        columns.push_back(std::move(column));
    }
    QHeaderView* header = fileList_->header();
    header->setUpdatesEnabled(false);
    listModel_->SetColumns(std::move(columns));
    for (int i = 0; i < count; ++i)
        header->resizeSection(i, widths[static_cast<std::size_t>(i)]);
    header->setUpdatesEnabled(true);

    // Column i stays setting i's column whatever its position; positions are given from the
    // leftmost on, so each move leaves the ones placed before it where they are.
    std::vector<int> byPosition(static_cast<std::size_t>(count));
    std::vector<int> positions;
    for (int i = 0; i < count; ++i) {
        const int position = settings.Column(static_cast<std::size_t>(i)).Index();
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
        header->setSectionHidden(i, !settings.Column(static_cast<std::size_t>(i)).Visible());
}

void MainWindow::SaveWindowLayout()
{
    Configuration& config = ConfigInstance();
    WindowFrame frame = config.Root().Frame();
    const QRect bounds = geometry();
    frame.SetLeft(bounds.left());
    frame.SetTop(bounds.top());
    frame.SetHeight(bounds.height());
    frame.SetWidth(bounds.width());
    frame.SetMaximized(isMaximized());

    LeftPaneLayout leftPane = frame.LeftPane();
    leftPane.SetWidth(leftPane_->width());
    const QHeaderView* treeHeader = libraryTree_->View()->header();
    leftPane.SetNameColumnWidth(treeHeader->sectionSize(0));
    leftPane.SetTimeColumnWidth(treeHeader->sectionSize(1));
    leftPane.SetSizeColumnWidth(treeHeader->sectionSize(2));

    DetailPaneLayout detailPane = frame.DetailPane();
    detailPane.SetHeight(detailPane_->height());
    detailPane.SetKeyColumnWidth(detailPanel_->header()->sectionSize(0));
    detailPane.SetValueColumnWidth(detailPanel_->header()->sectionSize(1));

    const ColumnSettings columns = config.Root().Columns();
    const QHeaderView* header = fileList_->header();
    for (int i = 0; i < header->count() && static_cast<std::size_t>(i) < columns.Count(); ++i) {
        ColumnSetting column = columns.Column(static_cast<std::size_t>(i));
        // A hidden column reports no width; it keeps the one it had when it was shown.
        if (!header->isSectionHidden(i))
            column.SetWidth(header->sectionSize(i));
        column.SetVisible(!header->isSectionHidden(i));
        column.SetIndex(header->visualIndex(i));
    }
    ReportStatus(*prompts_, config.SaveConfig());
}

void MainWindow::ShowColumnsDialog()
{
    ColumnsDialog dialog(this, ReadColumnDescriptions(ConfigInstance()), StoreVisibleColumns);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ColumnSettings columns = ConfigInstance().Root().Columns();
    for (int i = 0; i < listModel_->columnCount() && static_cast<std::size_t>(i) < columns.Count(); ++i)
        fileList_->header()->setSectionHidden(i, !columns.Column(static_cast<std::size_t>(i)).Visible());
}

}  // namespace vellumark
