#pragma once

#include "core/catalog_tree.h"
#include "ui/catalog_tree_model.h"
#include "ui/file_icons.h"

#include <QIcon>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace vellumark {

// One column of the file list, taken from its configuration node when the columns are built.
struct ListColumn {
    std::string name;  // the node's Name: the header text
    int key = 0;       // ColumnKeyIndex of the name: the field every cell of the column shows
    bool readOnly = true;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// A row of a result list (a comparison, duplicates) marked in its FileName cell: the icon and
// the hint it shows there instead of its own; either may be left empty. The list never gains a
// column for what marks tell.
struct RowMark {
    QIcon icon;
    QString toolTip;
};

// The entries of one catalog (or a search's results) as an item model over a CatalogTree. An
// index points at its tree node and each node knows its row, so the model keeps nothing per
// entry: a million entries cost the tree and nothing more.
class FileListModel final : public CatalogTreeModel {
    Q_OBJECT

public:
    // The icon an expanded directory shows.
    static constexpr int kOpenIconRole = Qt::UserRole + 1;

    explicit FileListModel(QObject* parent = nullptr);

    void SetColumns(std::vector<ListColumn> columns);
    const std::vector<ListColumn>& Columns() const { return columns_; }
    // The key index of a column; 0 for a column that does not exist.
    int KeyOfColumn(int column) const;

    void AdoptTree(CatalogTree tree);
    // Appends the top-level entries of a batch (with everything below them) at the end.
    void AppendBatch(CatalogTree batch);
    void Clear();

    // Sorts every level by the field at the key: directories first in both directions, ties
    // in their current order.
    void Sort(int key, Qt::SortOrder order);

    // Tells the views that an entry changed, with all its descendants after a rename.
    void EntryChanged(const CatalogTreeNode& node, bool withDescendants);

    // Edits go to the owner, which stores and saves them.
    using EditHandler = std::function<void(CatalogTreeNode& node, int key, const std::string& text)>;
    void SetEditHandler(EditHandler handler) { editHandler_ = std::move(handler); }

    // The owner of the marks answers for each row; nullptr leaves the row as it is.
    using RowMarkLookup = std::function<const RowMark*(const CatalogTreeNode& node)>;
    void SetRowMarks(RowMarkLookup lookup) { rowMarks_ = std::move(lookup); }

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant Icon(const CatalogTreeNode& node, bool open) const;

    std::vector<ListColumn> columns_;
    EditHandler editHandler_;
    RowMarkLookup rowMarks_;
    mutable FileIcons icons_;
};

}  // namespace vellumark
