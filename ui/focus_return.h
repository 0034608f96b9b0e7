#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <unordered_map>

namespace vellumark {

// Where the keyboard focus was when a modal window opened, so that it goes back there when the
// window closes. Window managers do not all do that for us: under X11 a wait window that is
// shown and hidden within a few milliseconds leaves the program with no active window, and then
// no accelerator (Alt+N ...) works until another window is activated.
class FocusOrigin {
public:
    // Records the active window (without one, the modal window's owner) and its focus widget.
    void Capture(const QWidget& modal);
    // Activates the recorded window again with its focus widget; nothing when it is gone or
    // hidden, or when another modal window is still open above it.
    void Restore();

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
};

// Gives the focus back to the window it came from whenever a modal window (a dialog, a message
// box, the wait window) hides. The application installs one as its event filter.
class ModalFocusReturn final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unordered_map<const QObject*, FocusOrigin> origins_;
};

}  // namespace vellumark
