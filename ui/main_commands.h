#pragma once

#include "ui/new_catalog_dialog.h"

namespace vellumark {

class MainWindow;

// The main window's four dialog commands, each the whole sequence from the dialog to the
// refreshed window. Each reads the configuration once, at its start, and hands its dialogs
// plain values. Failures are shown; none escapes.

// "&New catalog": the dialog, then the scan on a worker (cancellable), the save, the library
// tree refilled; the list sorted again in every case. The chooser answers the folder question.
void RunNewCatalogCommand(MainWindow& main, const FolderChooser& chooser = ChooseFolderWithDialog);
// "&Catalog library": the manager; a catalog chosen there is opened; the library tree refilled.
void RunLibraryCommand(MainWindow& main);
// "&Search": the dialog, then the search on a worker with its results streamed into the list.
// A cancelled search keeps what it found and says that the results are incomplete.
void RunSearchCommand(MainWindow& main);
// "&Export": the export dialog on the list on screen.
void RunExportCommand(MainWindow& main);

}  // namespace vellumark
