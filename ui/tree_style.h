#pragma once

class QTreeView;

namespace vellumark {

// The look the program's tree lists share: the light blue background, the blue header, grid
// lines, whole-row selection that keeps its highlight without the focus, resizable and movable
// columns.
void ApplyTreeStyle(QTreeView& view);

}  // namespace vellumark
