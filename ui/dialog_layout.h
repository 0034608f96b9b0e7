#pragma once

#include <array>

namespace vellumark {

class LibraryTreeView;

// Sizes the library tree of a dialog for the dialog's font: each column gets its design width
// (at 96 dpi) or what a time and a size text need, whichever is more, and the view is made
// wide enough to show the three columns and tall enough for the given number of rows.
void FitLibraryTree(LibraryTreeView& view, const std::array<int, 3>& designWidths, int rows);

}  // namespace vellumark
