#include "ui/tree_style.h"

#include "ui/grid_delegate.h"
#include "ui/ui_colors.h"

#include <QHeaderView>
#include <QPalette>
#include <QTreeView>

namespace vellumark {

void ApplyTreeStyle(QTreeView& view)
{
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, colors::TreeBackground());
    palette.setColor(QPalette::AlternateBase, colors::TreeBackground());
    // The background is fixed light: so is the text dark, also in the in-place editors.
    palette.setColor(QPalette::Text, colors::TextOnLight());
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view.setPalette(palette);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setUniformRowHeights(true);
    view.setAllColumnsShowFocus(true);
    if (!qobject_cast<GridDelegate*>(view.itemDelegate()))
        view.setItemDelegate(new GridDelegate(&view));
    QHeaderView* header = view.header();
    header->setSectionsMovable(true);
    // Every column moves, the first one (which holds the tree lines) too.
    header->setFirstSectionMovable(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; color: %2; padding: 2px; "
                                         "border: 1px solid rgb(90, 130, 220); }")
                              .arg(colors::HeaderBackground().name(), colors::TextOnLight().name()));
}

}  // namespace vellumark
