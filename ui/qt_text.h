#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vellumark {

// Records hold UTF-8 bytes; Qt holds UTF-16.
inline QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string ToStdString(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace vellumark
