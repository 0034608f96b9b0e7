#pragma once

#include <array>

class QDialog;
class QDialogButtonBox;
class QString;

namespace vellumark {

class LibraryTreeView;

// Sizes the library tree of a dialog for the dialog's font: each column gets its design width
// (at 96 dpi) or what a time and a size text need, whichever is more, and the view is made
// wide enough to show the first shownColumns columns (the others scroll into view) and tall
// enough for the given number of rows.
void FitLibraryTree(LibraryTreeView& view, const std::array<int, 3>& designWidths, int rows, int shownColumns = 3);

// The width a window needs for the window manager to show its whole caption beside the title
// bar's icon and buttons. The title bar's own font is not known to the program: the desktop's
// font in bold stands for it.
int TitleBarWidth(const QString& caption);

// "OK" and "Cancel" for the dialog, accepting and rejecting it; the caller places the box.
QDialogButtonBox* OkCancelButtons(QDialog& dialog);

}  // namespace vellumark
