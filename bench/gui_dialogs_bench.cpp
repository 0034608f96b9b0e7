// Times the desktop program's "&New catalog" and "&Search" commands end to end, offscreen, with
// their dialogs answered by a timer, and counts how often the wait window repaints meanwhile.
//
//   bench_gui_dialogs scan HOME FOLDER [RUNS]    new catalog "bench" of FOLDER in HOME's library
//   bench_gui_dialogs search HOME PATTERN [RUNS] name search over HOME's whole library
//
// Compare with `vellumark-cli --home HOME scan FOLDER --name bench --force` and
// `vellumark-cli --home HOME search --name PATTERN`.
#include "config/config.h"
#include "config/program_folder.h"
#include "ui/catalog_session.h"
#include "ui/file_list_model.h"
#include "ui/main_commands.h"
#include "ui/main_window.h"
#include "ui/search_dialog.h"
#include "tests/ui/when_shown.h"
#include "ui/wait_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace vellumark;
using vellumark::testing::WhenShown;

class BenchPrompts final : public Prompts {
public:
    std::string ChooseOpenFile(const FileDialogRequest&) override { return {}; }
    std::string ChooseSaveFile(const FileDialogRequest&) override { return {}; }
    void ShowMessage(std::string_view, std::string_view text, MessageIcon) override
    {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    bool AskYesNo(std::string_view, std::string_view, MessageIcon) override { return true; }
};

// Counts the wait window's paints and how long it was shown.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& window) { window.installEventFilter(this); }
    int paints = 0;
    qint64 shownMs = 0;

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        else if (event->type() == QEvent::Show)
            clock_.start();
        else if (event->type() == QEvent::Hide && clock_.isValid())
            shownMs += clock_.elapsed();
        return false;
    }

private:
    QElapsedTimer clock_;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s scan HOME FOLDER [RUNS] | search HOME PATTERN [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string argument = argv[3];
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    if (!SetProgramFolder(argv[2]))
        return 1;
    ResetConfigInstance();

    BenchPrompts prompts;
    MainWindow main(&prompts);
    main.show();
    QApplication::processEvents();
    PaintCounter counter(main.WaitingWindow());

    std::vector<double> totals;
    for (int run = 0; run < runs; ++run) {
        counter.paints = 0;
        counter.shownMs = 0;
        QElapsedTimer clock;
        qint64 firstResultMs = -1;
        if (mode == "scan") {
            WhenShown<NewCatalogDialog>([](NewCatalogDialog& dialog) {
                dialog.onChooseFolderClicked();
                dialog.NameEdit()->setText(QStringLiteral("bench"));
                dialog.onOkClicked();
            });
            clock.start();
            RunNewCatalogCommand(main, [&](QWidget*, const std::string&) -> std::optional<std::string> { return argument; });
        } else {
            main.Session().Clear();
            const QMetaObject::Connection first = QObject::connect(
                main.Session().Model(), &QAbstractItemModel::rowsInserted, &main, [&] {
                    if (firstResultMs < 0)
                        firstResultMs = clock.elapsed();
                });
            WhenShown<SearchDialog>([&](SearchDialog& dialog) {
                dialog.NameEdit()->setText(QString::fromStdString(argument));
                dialog.onOkClicked();
            });
            clock.start();
            RunSearchCommand(main);
            QObject::disconnect(first);
        }
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        totals.push_back(seconds);
        const double shown = static_cast<double>(counter.shownMs) / 1000.0;
        std::printf("%s run %d: %.3f s, wait window shown %.3f s, %d paints (%.1f per second), %zu entries in the list",
                    mode.c_str(), run + 1, seconds, shown, counter.paints, shown > 0 ? counter.paints / shown : 0.0,
                    main.Session().Model()->Tree().NodeCount());
        if (firstResultMs >= 0)
            std::printf(", first results after %.3f s", static_cast<double>(firstResultMs) / 1000.0);
        std::printf("\n");
    }
    std::printf("%s median: %.3f s\n", mode.c_str(), Median(totals));
    return 0;
}
