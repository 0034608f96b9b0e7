#pragma once

// Every text the program shows the user in a message box lives here, once.
namespace vellumark::messages {

inline constexpr const char* kWarningCaption = "Warning";
inline constexpr const char* kFileDoesNotExist = "The file does not exist.";
inline constexpr const char* kOverwriteCatalog = "Catalog with the same name already exists,overwrite?";
inline constexpr const char* kSelectFolderFirst = "Please select the dialog to catalog first.";
inline constexpr const char* kInputCatalogName = "Please input the catalog name.";
inline constexpr const char* kNameExists = "A file with the name already exists!";
inline constexpr const char* kConfirmDelete = "Are you sure to delete the item and all its children?";
inline constexpr const char* kInputSearchCondition = "Please input search condition.";
// %1: how many files of the search's scope were no readable catalog.
inline constexpr const char* kSearchSkippedFiles =
    "%1 file(s) in the search scope could not be read as catalogs and were skipped; the results are incomplete.";
inline constexpr const char* kSearchCancelled = "The search was cancelled; the results are incomplete.";
inline constexpr const char* kExcelRowRange = "The row count is out of excel range.";

inline constexpr const char* kLoadingInfo = "Loading info..";
inline constexpr const char* kGatheringInfo = "Gathering info..";
inline constexpr const char* kSavingInfo = "Saving info...";
inline constexpr const char* kExportToFile = "Export to file..";

// %1: how many entries of a scanned folder could not be read (the catalog is written without them).
inline constexpr const char* kScanUnreadableEntries = "%1 entries could not be read and are missing from the catalog.";
// Scan progress: %1 entries so far, %2 bytes so far as "%n KB", %3 the folder being read.
inline constexpr const char* kScanProgress = "Loading info.. %1 entries, %2 - %3";

// Library items: names typed by the user and paths handed to the command-line tool.
inline constexpr const char* kBadItemName = "The name must not be empty, \".\" or \"..\", and must not hold \"/\".";
inline constexpr const char* kOutsideLibrary = "The path leads outside the catalog library.";
inline constexpr const char* kMoveIntoItself = "An item cannot be moved into itself or into one of its own groups.";
inline constexpr const char* kMoveTargetNotGroup = "The target is not a group.";
inline constexpr const char* kNotSameVolume = "The item cannot be moved to another volume.";

// The desktop program's own reports.
inline constexpr const char* kCatalogReread =
    "The catalog was changed by another program since it was read. It has been read again and your edit applied to it.";
inline constexpr const char* kUnknownFailure = "The operation failed for an unknown reason.";
inline constexpr const char* kOperationRunning = "Another operation is still running.";
inline constexpr const char* kColumnPositionRange = "A column position in the configuration is out of range.";

}  // namespace vellumark::messages
