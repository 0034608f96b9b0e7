#include "ui/focus_return.h"

#include <QApplication>
#include <QEvent>

namespace vellumark {

namespace {

bool IsModalWindow(const QWidget& widget)
{
    return widget.isWindow() && widget.isModal() && widget.windowType() != Qt::Popup;
}

}  // namespace

void FocusOrigin::Capture(const QWidget& modal)
{
    // Input can only have come from the modal window on top, if there is one; the active window
    // may still be reported as the one below while the top one's activation is on its way.
    QWidget* window = QApplication::activeModalWidget();
    if (!window || window == &modal)
        window = QApplication::activeWindow();
    if (!window || window == &modal)
        window = modal.parentWidget() ? modal.parentWidget()->window() : nullptr;
    window_ = window;
    focus_ = window ? window->focusWidget() : nullptr;
}

void FocusOrigin::Restore()
{
    QWidget* window = window_;
    QWidget* focus = focus_;
    window_.clear();
    focus_.clear();
    if (!window || !window->isVisible())
        return;
    if (const QWidget* modal = QApplication::activeModalWidget(); modal && modal != window)
        return;
    if (focus && focus->window() == window && focus->isVisible() && focus->isEnabled())
        focus->setFocus(Qt::ActiveWindowFocusReason);
    if (QApplication::activeWindow() != window)
        window->activateWindow();
}

bool ModalFocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    // Spontaneous ones come from the window system (minimizing, restoring), not from closing.
    if ((event->type() != QEvent::Show && event->type() != QEvent::Hide) || event->spontaneous())
        return false;
    if (!watched->isWidgetType() || !IsModalWindow(*static_cast<QWidget*>(watched)))
        return false;
    if (event->type() == QEvent::Show) {
        origins_[watched].Capture(*static_cast<QWidget*>(watched));
    } else if (const auto origin = origins_.find(watched); origin != origins_.end()) {
        FocusOrigin returning = origin->second;
        origins_.erase(origin);
        returning.Restore();
    }
    return false;
}

}  // namespace vellumark
