#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <vector>

namespace vellumark {

// The rows of the detail panel: one key and one display value per configured column of the
// file list. The FileName and Description values can be edited while the panel shows an
// entry of the file list.
class DetailPanelModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Row {
        QString key;
        QString value;
    };

    explicit DetailPanelModel(QObject* parent = nullptr);

    void SetRows(std::vector<Row> rows);
    const std::vector<Row>& Rows() const { return rows_; }
    void SetEditable(bool editable);
    bool Editable() const { return editable_; }
    // The editable-row rule: the value column of a row whose key occurs within
    // "FileName;Description", while the panel shows a list entry.
    bool IsEditableCell(int row, int column) const;

    // An accepted value goes to the owner; the row then shows the text as typed.
    using EditHandler = std::function<void(const QString& key, const QString& text)>;
    void SetEditHandler(EditHandler handler) { editHandler_ = std::move(handler); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<Row> rows_;
    bool editable_ = false;
    EditHandler editHandler_;
};

}  // namespace vellumark
