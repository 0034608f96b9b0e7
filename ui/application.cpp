#include "ui/application.h"

#include "ui/command_guard.h"
#include "ui/focus_return.h"
#include "ui/qt_prompts.h"

namespace vellumark {

VellumarkApplication::VellumarkApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Vellumark"));
    setApplicationVersion(QStringLiteral("4.0"));
    installEventFilter(new ModalFocusReturn(this));
}

bool VellumarkApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    QtPrompts prompts(activeWindow());
    RunCommand(prompts, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace vellumark
