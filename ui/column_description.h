#pragma once

#include "services/status.h"

#include <QtCore/qnamespace.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

class Configuration;

// One column of the file list as the configuration describes it: a plain copy, so that a
// dialog never reads the configuration while it builds its widgets.
struct ColumnDescription {
    std::string name;  // the header text, the key's name
    int key = 0;       // ColumnKeyIndex of the name
    bool visible = true;
    bool defaultExport = false;
    int width = 0;
    bool readOnly = true;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// What the dialogs are told of the configuration. A command reads it once, at its start and
// inside its guard, so a broken configuration is reported there and nowhere else.
struct DialogSettings {
    std::string libraryPath;
    std::vector<ColumnDescription> columns;
};

// Both throw ConfigError when a value is missing or does not convert.
DialogSettings ReadDialogSettings(const Configuration& config);
std::vector<ColumnDescription> ReadColumnDescriptions(const Configuration& config);

// "right" and "center" exactly; any other text aligns left.
Qt::Alignment ColumnAlignment(std::string_view align);

// Takes one flag per column, in configuration order, writes them back and saves.
using ColumnFlagsStore = std::function<Status(const std::vector<bool>& flags)>;

// The stores of the configuration: the shown columns (the visible-columns dialog) and the
// columns ticked for export (the export dialog).
Status StoreVisibleColumns(const std::vector<bool>& visible);
Status StoreDefaultExportColumns(const std::vector<bool>& ticked);

}  // namespace vellumark
