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
inline constexpr const char* kExcelRowRange = "The row count is out of excel range.";

inline constexpr const char* kLoadingInfo = "Loading info..";
inline constexpr const char* kGatheringInfo = "Gathering info..";
inline constexpr const char* kSavingInfo = "Saving info...";
inline constexpr const char* kExportToFile = "Export to file..";

}  // namespace vellumark::messages
