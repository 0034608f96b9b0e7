#include "ui/column_description.h"

#include "config/config.h"
#include "core/column_keys.h"

namespace vellumark {

namespace {

// Flags beyond the configured columns, or columns beyond the flags, are left alone.
template <typename Setter>
Status StoreFlags(const std::vector<bool>& flags, Setter set)
{
    Configuration& config = ConfigInstance();
    const ColumnSettings columns = config.Root().Columns();
    for (std::size_t i = 0; i < columns.Count() && i < flags.size(); ++i) {
        ColumnSetting column = columns.Column(i);
        set(column, flags[i]);
    }
    return config.SaveConfig();
}

}  // namespace

Qt::Alignment ColumnAlignment(std::string_view align)
{
    if (align == "right")
        return Qt::AlignRight;
    if (align == "center")
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

std::vector<ColumnDescription> ReadColumnDescriptions(const Configuration& config)
{
    const ColumnSettings settings = config.Root().Columns();
    std::vector<ColumnDescription> columns;
    columns.reserve(settings.Count());
    for (std::size_t i = 0; i < settings.Count(); ++i) {
        const ColumnSetting setting = settings.Column(i);
        ColumnDescription& column = columns.emplace_back();
        column.name = setting.Name();
        column.key = ColumnKeyIndex(column.name);
        column.visible = setting.Visible();
        column.defaultExport = setting.DefaultExport();
        column.width = setting.Width();
        column.readOnly = setting.ReadOnly();
        column.alignment = ColumnAlignment(setting.Align());
    }
    return columns;
}

DialogSettings ReadDialogSettings(const Configuration& config)
{
    return {config.GetLibraryPath(), ReadColumnDescriptions(config)};
}

Status StoreVisibleColumns(const std::vector<bool>& visible)
{
    return StoreFlags(visible, [](ColumnSetting& column, bool flag) { column.SetVisible(flag); });
}

Status StoreDefaultExportColumns(const std::vector<bool>& ticked)
{
    return StoreFlags(ticked, [](ColumnSetting& column, bool flag) { column.SetDefaultExport(flag); });
}

}  // namespace vellumark
