#include "ui/field_display.h"

#include "core/column_keys.h"
#include "services/text_format.h"
#include "ui/qt_text.h"

#include <QLocale>

namespace vellumark {

QString KilobytesText(std::string_view bytesText)
{
    const auto bytes = ParseNumberText(bytesText);
    if (!bytes)
        return {};
    return QLocale().toString(*bytes / 1024.0, 'f', 2) + QStringLiteral(" KB");
}

QString FieldDisplayText(int key, const EntryRecord* record)
{
    if (!record || key < 0 || key >= kColumnKeyCount)
        return {};
    const std::string_view field = record->Field(key);
    if (field.empty())
        return {};
    if (key == kFileSize)
        return KilobytesText(field);
    if (key == kSizePercentage)
        return ToQString(field) + QLatin1Char('%');
    return ToQString(field);
}

QString EditHint(const QString& text, std::string_view keyName)
{
    return text + QStringLiteral(" (Press F2 to edit the file's ") + ToQString(keyName) + QLatin1Char(')');
}

}  // namespace vellumark
