#include "ui/result_rows.h"

#include "core/path_names.h"
#include "ui/catalog_session.h"
#include "ui/qt_text.h"

#include <QColor>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

namespace vellumark {

namespace {

// A round badge with a sign on it, drawn once per kind of mark.
QIcon BadgeIcon(const QColor& color, const QString& sign)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(color.darker(140));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, sign);
    return QIcon(pixmap);
}

const QIcon& ChangeIcon(EntryChange change)
{
    static const QIcon added = BadgeIcon(QColor(40, 150, 60), QStringLiteral("+"));
    static const QIcon removed = BadgeIcon(QColor(200, 50, 40), QStringLiteral("\u2212"));
    static const QIcon changed = BadgeIcon(QColor(220, 140, 20), QStringLiteral("~"));
    switch (change) {
    case EntryChange::Added: return added;
    case EntryChange::Removed: return removed;
    case EntryChange::Changed: break;
    }
    return changed;
}

const QIcon& GroupIcon()
{
    static const QIcon icon = BadgeIcon(QColor(50, 100, 190), QStringLiteral("="));
    return icon;
}

QString Quoted(const std::string& name) { return QStringLiteral("\"") + ToQString(name) + QStringLiteral("\""); }

}  // namespace

QString DuplicateGroupText(std::size_t copies, std::uint64_t wastedBytes)
{
    QString wasted = QLocale(QLocale::English).formattedDataSize(static_cast<qint64>(std::min<std::uint64_t>(wastedBytes, INT64_MAX)),
                                                                  1, QLocale::DataSizeTraditionalFormat);
    // Sizes read "KB" everywhere else in the program.
    wasted.replace(QStringLiteral("kB"), QStringLiteral("KB"));
    return QStringLiteral("%1 copies, %2 wasted").arg(copies).arg(wasted);
}

QString DifferenceToolTip(const EntryDifference& difference, const std::string& oldName, const std::string& newName)
{
    switch (difference.change) {
    case EntryChange::Added:
        return QStringLiteral("Added: only in ") + Quoted(newName);
    case EntryChange::Removed:
        return QStringLiteral("Removed: only in ") + Quoted(oldName);
    case EntryChange::Changed:
        break;
    }
    QString text = QStringLiteral("Changed since ") + Quoted(oldName);
    for (const int key : {kFileType, kFileSize, kFileTime}) {
        const std::string_view before = difference.oldEntry->record.Field(key);
        const std::string_view after = difference.newEntry->record.Field(key);
        if (before != after)
            text += QStringLiteral("\n%1: %2 \u2192 %3").arg(ToQString(kColumnKeys[static_cast<std::size_t>(key)]),
                                                             ToQString(before), ToQString(after));
    }
    return text;
}

ResultRows::ResultRows(FileListModel& model, QObject* parent) : QObject(parent), model_(model)
{
    model_.SetRowMarks([this](const CatalogTreeNode& node) { return MarkOf(node); });
    // The rows' nodes die with the list's content; their addresses may come back for new ones.
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        rows_.clear();
        searchCatalogs_.clear();
    });
}

void ResultRows::Show(CatalogSession& session, CatalogTree batch, std::vector<Row> rows)
{
    session.Clear();
    session.AppendResults(std::move(batch));
    const std::vector<CatalogTreeNode*> shown = model_.Tree().PreOrder();
    rows_.reserve(rows.size());
    for (std::size_t i = 0; i < shown.size() && i < rows.size(); ++i)
        rows_.emplace(shown[i], std::move(rows[i]));
}

void ResultRows::ShowComparison(CatalogSession& session, const std::vector<EntryDifference>& differences,
                                const std::string& oldPath, const std::string& newPath, const std::string& newName)
{
    const std::string oldName = CatalogNameOfFile(oldPath);
    CatalogTree batch;
    std::vector<Row> rows;
    rows.reserve(differences.size());
    for (const EntryDifference& difference : differences) {
        const bool added = difference.change == EntryChange::Added;
        batch.Append(nullptr, (added || difference.change == EntryChange::Changed ? difference.newEntry : difference.oldEntry)->record);
        Row row{{ChangeIcon(difference.change), DifferenceToolTip(difference, oldName, newName)}, std::nullopt};
        if (!added || !newPath.empty())
            row.origin = RowOrigin{added ? newPath : oldPath, difference.relativePath, std::nullopt};
        rows.push_back(std::move(row));
    }
    Show(session, std::move(batch), std::move(rows));
}

void ResultRows::ShowDuplicates(CatalogSession& session, const DuplicatesOutcome& outcome)
{
    CatalogTree batch;
    std::vector<Row> rows;
    for (const DuplicateGroup& group : outcome.groups) {
        const QString text = DuplicateGroupText(group.copies.size(), group.wastedBytes);
        EntryRecord groupRecord;
        groupRecord.SetField(kFileName, ToStdString(text));
        CatalogTreeNode* parent = batch.Append(nullptr, std::move(groupRecord));
        rows.push_back({{GroupIcon(), text}, std::nullopt});
        for (const DuplicateCopy& copy : group.copies) {
            batch.Append(parent, copy.record);
            const std::string& catalog = outcome.catalogs[copy.catalog];
            rows.push_back({{{}, QStringLiteral("In the catalog ") + ToQString(catalog)}, RowOrigin{catalog, std::nullopt, copy.record}});
        }
    }
    Show(session, std::move(batch), std::move(rows));
}

void ResultRows::AppendSearchResults(CatalogSession& session, const std::string& catalogPath, CatalogTree batch)
{
    if (batch.Empty())
        return;
    const std::string_view diskName = batch.First()->record.Field(kDiskName);
    if (!diskName.empty())
        searchCatalogs_.emplace(diskName.data(), catalogPath);
    session.AppendResults(std::move(batch));
}

std::optional<RowOrigin> ResultRows::OriginOf(const CatalogTreeNode* node) const
{
    if (!node)
        return std::nullopt;
    if (const auto found = rows_.find(node); found != rows_.end())
        return found->second.origin;
    const std::string_view diskName = node->record.Field(kDiskName);
    if (node->Parent() || diskName.empty())
        return std::nullopt;
    const auto catalog = searchCatalogs_.find(diskName.data());
    if (catalog == searchCatalogs_.end())
        return std::nullopt;
    return RowOrigin{catalog->second, std::nullopt, node->record};
}

const RowMark* ResultRows::MarkOf(const CatalogTreeNode& node) const
{
    const auto found = rows_.find(&node);
    return found == rows_.end() ? nullptr : &found->second.mark;
}

}  // namespace vellumark
