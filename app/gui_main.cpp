#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv)
{
    vellumark::VellumarkApplication app(argc, argv);
    vellumark::MainWindow window;
    // Showing the window runs its start-up, which maximizes it when the configuration says so.
    window.show();
    return app.exec();
}
