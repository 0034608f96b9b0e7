#include "ui/application.h"
#include "ui/main_window.h"

#include <QIcon>
#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kHelp =
    "usage: vellumark [--help | --version] [QT-OPTION]...\n"
    "\n"
    "Vellumark, the catalog organizer for CD and DVD collections, drives and folders.\n"
    "\n"
    "options:\n"
    "  -h, --help  print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Qt's own options are understood too, for example -platform NAME, -style NAME,\n"
    "-reverse and -qwindowgeometry WxH+X+Y. The manual page vellumark(1) tells more.\n";

// Answered before the application object exists, so that they work without a display.
// Gives -1 when neither was asked for.
int AnswerHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("vellumark %s\n", VELLUMARK_VERSION);
            return 0;
        }
    }
    return -1;
}

// What is left once Qt took its own options out: the program takes no other argument.
int RefuseLeftArguments(int argc, char** argv)
{
    if (argc <= 1)
        return -1;
    const bool option = argv[1][0] == '-';
    std::fprintf(stderr, "vellumark: %s %s\nTry 'vellumark --help' for more information.\n",
                 option ? "Unknown option" : "Unexpected argument", argv[1]);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (const int code = AnswerHelpOrVersion(argc, argv); code >= 0)
        return code;
    // Lets the desktop match the program's windows with its desktop entry (and its icon).
    vellumark::VellumarkApplication::setDesktopFileName(QStringLiteral("org.vellumark.Vellumark"));
    vellumark::VellumarkApplication app(argc, argv);
    if (const int code = RefuseLeftArguments(argc, argv); code >= 0)
        return code;
    // Installed, the icon theme holds the program's icon; X11 window managers take it from here.
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vellumark.Vellumark")));
    vellumark::MainWindow window;
    // Showing the window runs its start-up, which maximizes it when the configuration says so.
    window.show();
    return app.exec();
}
