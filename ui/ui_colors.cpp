#include "ui/ui_colors.h"

#include <QPalette>
#include <QToolTip>

namespace vellumark {

QColor colors::EditableCell() { return QToolTip::palette().color(QPalette::ToolTipBase); }

QColor colors::EditableCellText() { return QToolTip::palette().color(QPalette::ToolTipText); }

}  // namespace vellumark
