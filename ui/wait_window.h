#pragma once

#include "services/progress.h"
#include "ui/focus_return.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QLabel;
class QProgressBar;
class QToolButton;

namespace vellumark {

// The wait window: frameless, always on top, centred on its owner, with a busy bar, the fixed
// text, the current message and "Cancel". It is the GUI's Progress: long operations report to
// it from their worker thread, and every report is carried over to the GUI thread.
//
// While it shows, the windows that were open take no input (no clicks, keys, accelerators or
// closing); "Cancel" and any window opened meanwhile still do. It never takes the keyboard
// focus, so the window below keeps it and its accelerators work again the moment it hides; on
// platforms that activate every window shown, it gives the focus back when it hides.
class WaitWindow final : public QWidget, public Progress {
    Q_OBJECT

public:
    explicit WaitWindow(QWidget* owner = nullptr);

    // The whole current message; the line shows it shortened in the middle when it is too long.
    QString MessageText() const { return message_; }
    bool CancelVisible() const;

protected:
    void OnShow(bool cancelVisible) override;
    void OnHide() override;
    void OnMessage(std::string_view text) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs the change here when called on the GUI thread, else queues it there.
    void OnGuiThread(std::function<void()> change);
    void ShowCentred(bool cancelVisible);
    void ShowMessage();
    bool Blocks(const QObject* receiver, const QEvent& event) const;

    QString message_;
    FocusOrigin focusOrigin_;
    std::vector<QPointer<QWidget>> blocked_;
    QLabel* noticeLabel_;
    QLabel* messageLabel_;
    QProgressBar* busy_;
    QToolButton* cancelButton_;
};

}  // namespace vellumark
