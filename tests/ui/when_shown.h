#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vellumark::testing {

// Runs the call on the next dialog of that type that shows (a modal dialog's exec() waits in
// its own event loop meanwhile).
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> drive)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, drive] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<Dialog*>(window); dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                drive(*dialog);
                return;
            }
        }
    });
    timer->start();
}

}  // namespace vellumark::testing
