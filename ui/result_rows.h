#pragma once

#include "core/catalog_compare.h"
#include "search/duplicates.h"
#include "ui/file_list_model.h"

#include <QObject>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vellumark {

class CatalogSession;

// Where a result row's entry is kept: its catalog file, and the entry there by its relative
// path (a comparison) or by its record (a duplicate copy).
struct RowOrigin {
    std::string catalogPath;
    std::optional<std::string> relativePath;
    std::optional<EntryRecord> record;
};

// "3 copies, 12.3 MB wasted": the text of a duplicate group's row.
QString DuplicateGroupText(std::size_t copies, std::uint64_t wastedBytes);
// The hint of a compared entry: what changed and, for a changed file, its old and new values.
QString DifferenceToolTip(const EntryDifference& difference, const std::string& oldName, const std::string& newName);

// The rows of a comparison or of duplicates in the file list, with the icon and hint of each
// and where its entry is kept. The marks live as long as the list's content: whatever replaces
// it (a catalog opened, a search) drops them.
class ResultRows final : public QObject {
public:
    explicit ResultRows(FileListModel& model, QObject* parent = nullptr);

    // The differences as a flat list: the new entry of an added or changed one, the old entry of
    // a removed one. An empty newPath: the other side is a folder, whose entries are in no catalog.
    void ShowComparison(CatalogSession& session, const std::vector<EntryDifference>& differences,
                        const std::string& oldPath, const std::string& newPath, const std::string& newName);
    // One parent row per group with its copies below it.
    void ShowDuplicates(CatalogSession& session, const DuplicatesOutcome& outcome);

    // Appends one catalog's search results to the list and remembers that catalog for them.
    void AppendSearchResults(CatalogSession& session, const std::string& catalogPath, CatalogTree batch);

    std::optional<RowOrigin> OriginOf(const CatalogTreeNode* node) const;
    const RowMark* MarkOf(const CatalogTreeNode& node) const;

private:
    struct Row {
        RowMark mark;
        std::optional<RowOrigin> origin;
    };
    // Fills the list with the batch and pairs its rows, in pre-order, with the rows given.
    void Show(CatalogSession& session, CatalogTree batch, std::vector<Row> rows);

    FileListModel& model_;
    std::unordered_map<const CatalogTreeNode*, Row> rows_;
    // A search result's DiskName is one shared text per catalog read: the text's address tells
    // its catalog file, at the cost of an entry per catalog rather than per result.
    std::unordered_map<const char*, std::string> searchCatalogs_;
};

}  // namespace vellumark
