#pragma once

#include <QColor>

namespace vellumark::colors {

// The program's fixed colours: tree and tool bar backgrounds, headers, splitter bars.
inline QColor TreeBackground() { return QColor(239, 243, 255); }
inline QColor HeaderBackground() { return QColor(123, 170, 255); }
inline QColor SplitterBar() { return QColor(254, 243, 255); }
// Editable cells: the system's tooltip background.
QColor EditableCell();

}  // namespace vellumark::colors
