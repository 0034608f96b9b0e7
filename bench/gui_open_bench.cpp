// Opening a large catalog in the desktop program against loading it headless.
//
//   bench_gui_open headless CATALOG   ReadCatalogFile into a tree; time and RSS
//   bench_gui_open gui CATALOG        the catalog in a library, clicked in the main window
//                                     (offscreen): time to its first painted rows, sorting by
//                                     FileSize and back by FileName, RSS
//   bench_gui_open export CATALOG     the catalog exported as XML and as xlsx through the export
//                                     dialog of the main window (offscreen): time of each and
//                                     the heap in use before and after (nothing may stay behind)
//
// Run each mode in its own process so the RSS figures do not mix.
#include "config/config.h"
#include "config/program_folder.h"
#include "core/catalog_file.h"
#include "ui/catalog_session.h"
#include "ui/library_tree_view.h"
#include "ui/file_list_model.h"
#include "ui/library_tree_model.h"
#include "ui/export_dialog.h"
#include "ui/main_window.h"
#include "ui/task_runner.h"

#include <QApplication>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
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

// A program folder under /tmp whose library holds the catalog as Bench/Big.xml; the folder
// goes when the bench ends.
class BenchHome {
public:
    bool Make(const std::string& catalog)
    {
        made_ = mkdtemp(folder_) != nullptr;
        if (!made_ || !vellumark::SetProgramFolder(folder_).ok())
            return false;
        vellumark::ResetConfigInstance();
        const std::string group = vellumark::ConfigInstance().GetLibraryPath() + "/Bench";
        std::system(("mkdir -p '" + group + "'").c_str());
        bigCatalog_ = group + "/Big.xml";
        return symlink(catalog.c_str(), bigCatalog_.c_str()) == 0;
    }
    ~BenchHome()
    {
        if (made_)
            std::system(("rm -rf '" + std::string(folder_) + "'").c_str());
    }
    std::string Folder() const { return folder_; }
    const std::string& BigCatalog() const { return bigCatalog_; }

private:
    char folder_[32] = "/tmp/vellumark-gui-bench-XXXXXX";
    bool made_ = false;
    std::string bigCatalog_;
};

int Gui(int argc, char** argv, const std::string& catalog)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchHome home;
    if (!home.Make(catalog))
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
                window.Session().Model()->Tree().NodeCount(), window.Session().Model()->rowCount());
    std::printf("gui RSS after open: %ld MB (before open %ld MB)\n", RssKilobytes() / 1024, before / 1024);

    int sizeColumn = 0, nameColumn = 0;
    for (int column = 0; column < window.Session().Model()->columnCount(); ++column) {
        if (window.Session().Model()->KeyOfColumn(column) == vellumark::kFileSize)
            sizeColumn = column;
        if (window.Session().Model()->KeyOfColumn(column) == vellumark::kFileName)
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
    return 0;
}

// Answers the export dialog's save question with the next file and agrees to replace it.
class ExportPrompts final : public vellumark::Prompts {
public:
    std::string file;
    std::string ChooseOpenFile(const vellumark::FileDialogRequest&) override { return {}; }
    std::string ChooseSaveFile(const vellumark::FileDialogRequest&) override { return file; }
    void ShowMessage(std::string_view, std::string_view text, vellumark::MessageIcon) override
    {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    bool AskYesNo(std::string_view, std::string_view, vellumark::MessageIcon) override { return true; }
};

double HeapMegabytes() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

int Export(int argc, char** argv, const std::string& catalog)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchHome home;
    if (!home.Make(catalog))
        return 1;
    ExportPrompts prompts;
    vellumark::MainWindow window(&prompts);
    window.show();
    app.processEvents();

    const double before = HeapMegabytes();
    std::printf("heap in use before the exports: %.1f MB\n", before);
    for (const vellumark::ExportFormatKind format : {vellumark::ExportFormatKind::Xml, vellumark::ExportFormatKind::Excel}) {
        const std::string_view name = vellumark::ExportFormatOf(format).name;
        prompts.file = home.Folder() + "/Big-export." + std::string(name);
        const auto start = Clock::now();
        {
            vellumark::ExportDialog dialog(&window,
                                           {prompts, window.Runner(), &window.Session().Tree(),
                                            vellumark::StoreDefaultExportColumns},
                                           vellumark::ReadDialogSettings(vellumark::ConfigInstance()), home.BigCatalog());
            dialog.FormatButton(format)->setChecked(true);
            dialog.onOkClicked();
        }
        app.processEvents();
        const long written = static_cast<long>(std::ifstream(prompts.file, std::ios::ate).tellg()) >> 20;
        std::printf("%.*s export: %.3f s, %ld MB written; heap in use after: %.1f MB (%+.1f MB)\n",
                    static_cast<int>(name.size()), name.data(), Seconds(start), written, HeapMegabytes(),
                    HeapMegabytes() - before);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s headless|gui|export CATALOG\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "headless")
        return Headless(argv[2]);
    if (mode == "gui")
        return Gui(argc, argv, argv[2]);
    if (mode == "export")
        return Export(argc, argv, argv[2]);
    return 2;
}
