#pragma once

#include "core/catalog_tree.h"

#include <QModelIndex>
#include <QWidget>

namespace vellumark {

class CatalogTreeModel;
class SizeMapView;

// The size map of a list's catalog in a window of its own, with a legend of the kinds. It
// speaks to the list in the model's indexes: a click on a block sends the block's index, and
// the index the list makes current is outlined. It forgets the catalog and closes as soon as
// the model's entries are replaced, added or removed, so it never outlives a tree it shows;
// Escape closes it.
class SizeMapWindow final : public QWidget {
    Q_OBJECT

public:
    // Maps the entry when it is a folder, the folder holding it when it is a file, the whole
    // list for nullptr; outlines the entry.
    SizeMapWindow(const CatalogTreeModel& model, CatalogTreeNode* entry, QWidget* owner);

    SizeMapView* View() const { return view_; }

public slots:
    void OutlineIndex(const QModelIndex& index);
    // Drops every entry of the model and closes the window.
    void Forget();

signals:
    void IndexClicked(const QModelIndex& index);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* BuildLegend();

    const CatalogTreeModel* model_;
    SizeMapView* view_;
};

// Shows the size map for the owner's list in place of any the owner shows already (the new
// window takes the old one's place on the screen) and returns it.
SizeMapWindow* ShowSizeMap(QWidget* owner, const CatalogTreeModel& model, CatalogTreeNode* entry);

}  // namespace vellumark
