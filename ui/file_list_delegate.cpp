#include "ui/file_list_delegate.h"

#include "ui/file_list_model.h"

#include <QTreeView>

namespace vellumark {

FileListDelegate::FileListDelegate(QTreeView* view) : GridDelegate(view), view_(view) {}

void FileListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    GridDelegate::initStyleOption(option, index);
    if (!option->icon.isNull() && view_->isExpanded(index.siblingAtColumn(0))) {
        const QVariant open = index.data(FileListModel::kOpenIconRole);
        if (open.canConvert<QIcon>())
            option->icon = open.value<QIcon>();
    }
}

}  // namespace vellumark
