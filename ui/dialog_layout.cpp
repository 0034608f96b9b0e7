#include "ui/dialog_layout.h"

#include "ui/library_tree_view.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>

namespace vellumark {

void FitLibraryTree(LibraryTreeView& view, const std::array<int, 3>& designWidths, int rows, int shownColumns)
{
    QTreeView* tree = view.View();
    const QFontMetrics metrics(tree->font());
    const int padding = metrics.averageCharWidth() * 2;
    const std::array<int, 3> needed = {
        designWidths[0],
        metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + padding,
        metrics.horizontalAdvance(QStringLiteral("000,000.00 KB")) + padding,
    };
    int total = 0;
    for (int column = 0; column < 3; ++column) {
        const int width = std::max(designWidths[static_cast<std::size_t>(column)], needed[static_cast<std::size_t>(column)]);
        tree->header()->resizeSection(column, width);
        if (column < shownColumns)
            total += width;
    }
    total += tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth() + 2;
    view.setMinimumSize(total, metrics.height() * rows * 3 / 2);
}

int TitleBarWidth(const QString& caption)
{
    // Room for the icon, three buttons, the gaps beside them and a title font somewhat larger
    // than the desktop's, a line height each (openbox needs some 90 pixels at the default font).
    constexpr int kTitleBarControls = 8;
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(caption) + kTitleBarControls * metrics.height();
}

QDialogButtonBox* OkCancelButtons(QDialog& dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace vellumark
