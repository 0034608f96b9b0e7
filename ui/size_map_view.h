#pragma once

#include "core/catalog_tree.h"
#include "core/size_map_layout.h"
#include "ui/size_map_worker.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <vector>

namespace vellumark {

// A treemap of a subtree's sizes: blocks coloured by kind of file, folders framed around what
// they hold, names where they fit, name and size on hover. A click reports the entry under
// the pointer; one entry can be outlined. Layouts are made on a worker for each new size;
// until one arrives the previous layout is shown stretched, so resizing never waits.
class SizeMapView final : public QWidget {
    Q_OBJECT

public:
    explicit SizeMapView(QWidget* parent = nullptr);
    ~SizeMapView() override;

    // Maps the root's subtree (nullptr: the whole tree). The sizes are read now; the entries
    // must stay until Clear or the next SetTree, as the view shows their names.
    void SetTree(const CatalogTree& tree, CatalogTreeNode* root);
    // Forgets every entry: nothing is drawn, no entry is kept, a layout underway is dropped.
    void Clear();

    // The current layout and the size it was made for (empty before the first one).
    const std::vector<SizeMapBlock>& Blocks() const { return blocks_; }
    QSize LayoutSize() const { return layoutSize_; }
    // The innermost block under the point of the widget; -1 where there is none.
    int BlockAt(QPointF point) const;
    // The block drawn for the outlined entry, or for its innermost folder that is drawn; -1
    // when none is.
    int OutlinedBlock() const { return outlinedBlock_; }

public slots:
    void OutlineNode(const CatalogTreeNode* node);

signals:
    void NodeClicked(CatalogTreeNode* node);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void RequestLayout();
    void AdoptLayout();
    void FindOutlinedBlock();
    void FindLabelledBlocks();
    // A block's rectangle in the widget, stretched while the layout is of another size.
    QRectF WidgetRect(const SizeMapBlock& block) const;
    SizeMapFrame Frame() const;

    SizeMapWorker worker_;
    std::shared_ptr<const SizeMapTree> sizes_;
    std::vector<SizeMapBlock> blocks_;
    std::vector<int> labelled_;
    QImage image_;
    QSize layoutSize_;
    const CatalogTreeNode* outlined_ = nullptr;
    int outlinedBlock_ = -1;
};

}  // namespace vellumark
