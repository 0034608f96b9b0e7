#pragma once

#include "ui/grid_delegate.h"

class QTreeView;

namespace vellumark {

// The file list's cells: an expanded directory shows the open folder icon.
class FileListDelegate final : public GridDelegate {
    Q_OBJECT

public:
    explicit FileListDelegate(QTreeView* view);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QTreeView* view_;
};

}  // namespace vellumark
