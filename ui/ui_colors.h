#pragma once

#include <QColor>

namespace vellumark::colors {

// The program's fixed colours: tree and tool bar backgrounds, headers, splitter bars.
inline QColor TreeBackground() { return QColor(239, 243, 255); }
inline QColor HeaderBackground() { return QColor(123, 170, 255); }
inline QColor SplitterBar() { return QColor(254, 243, 255); }
// The text on those fixed light backgrounds: dark whatever the desktop's theme, whose own text
// colour is light under a dark theme.
inline QColor TextOnLight() { return QColor(0, 0, 0); }
// Editable cells and notes: the system's tooltip background, with the tooltip text that the
// system pairs with it.
QColor EditableCell();
QColor EditableCellText();

}  // namespace vellumark::colors
