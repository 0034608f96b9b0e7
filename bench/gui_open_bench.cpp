// Opening a large catalog in the desktop program against loading it headless.
//
//   bench_gui_open headless CATALOG   ReadCatalogFile into a tree; time and RSS
//   bench_gui_open gui CATALOG        the catalog in a library, clicked in the main window
//                                     (offscreen): time to its first painted rows, sorting by
//                                     FileSize and back by FileName, RSS
//
// Run each mode in its own process so the RSS figures do not mix.
#include "config/config.h"
#include "config/program_folder.h"
#include "core/catalog_file.h"
#include "ui/library_tree_view.h"
#include "ui/file_list_model.h"
#include "ui/library_tree_model.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long RssKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int Headless(const std::string& catalog)
{
    const long before = RssKilobytes();
    vellumark::CatalogTree tree;
    vellumark::NullProgress progress;
    const auto start = Clock::now();
    const vellumark::Status status = vellumark::ReadCatalogFile(catalog, tree, progress);
    const double seconds = Seconds(start);
    if (!status.ok()) {
        std::fprintf(stderr, "%s\n", status.message().c_str());
        return 1;
    }
    std::printf("headless load: %.3f s, %zu entries, RSS %ld MB (start %ld MB)\n", seconds, tree.NodeCount(),
                RssKilobytes() / 1024, before / 1024);
    return 0;
}

int Gui(int argc, char** argv, const std::string& catalog)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    char folder[] = "/tmp/vellumark-gui-bench-XXXXXX";
    if (!mkdtemp(folder) || !vellumark::SetProgramFolder(folder).ok())
        return 1;
    vellumark::ResetConfigInstance();
    const std::string group = vellumark::ConfigInstance().GetLibraryPath() + "/Bench";
    std::system(("mkdir -p '" + group + "'").c_str());
    if (symlink(catalog.c_str(), (group + "/Big.xml").c_str()) != 0)
        return 1;

    vellumark::MainWindow window;
    window.show();
    app.processEvents();
    const long before = RssKilobytes();

    vellumark::LibraryTreeModel* library = window.LibraryTree()->Model();
    QModelIndex big;
    for (const vellumark::CatalogTreeNode* node : library->Tree().PreOrder())
        if (node->record.Field(vellumark::kFileName) == "Big")
            big = library->IndexOf(node);
    window.LibraryTree()->View()->setCurrentIndex(big);

    auto start = Clock::now();
    window.onLibraryNodeClicked();
    window.FileList()->viewport()->repaint();
    const double open = Seconds(start);
    std::printf("gui open to first rows: %.3f s, %zu entries, %d top-level rows\n", open,
                window.ListModel()->Tree().NodeCount(), window.ListModel()->rowCount());
    std::printf("gui RSS after open: %ld MB (before open %ld MB)\n", RssKilobytes() / 1024, before / 1024);

    int sizeColumn = 0, nameColumn = 0;
    for (int column = 0; column < window.ListModel()->columnCount(); ++column) {
        if (window.ListModel()->KeyOfColumn(column) == vellumark::kFileSize)
            sizeColumn = column;
        if (window.ListModel()->KeyOfColumn(column) == vellumark::kFileName)
            nameColumn = column;
    }
    start = Clock::now();
    window.onListHeaderClicked(sizeColumn);
    window.FileList()->viewport()->repaint();
    std::printf("sort by FileSize: %.3f s\n", Seconds(start));
    start = Clock::now();
    window.onListHeaderClicked(nameColumn);
    window.FileList()->viewport()->repaint();
    std::printf("sort back by FileName: %.3f s\n", Seconds(start));
    std::printf("gui RSS after sorting: %ld MB\n", RssKilobytes() / 1024);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s headless|gui CATALOG\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "headless")
        return Headless(argv[2]);
    if (mode == "gui")
        return Gui(argc, argv, argv[2]);
    return 2;
}
