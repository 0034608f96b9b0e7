#pragma once

#include "services/progress.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;

namespace vellumark {

// The wait window: frameless, always on top, centred on its owner, with a busy bar, the fixed
// text, the current message and "Cancel". It is the GUI's Progress: long operations report to
// it from their worker thread, and every report is carried over to the GUI thread.
class WaitWindow final : public QWidget, public Progress {
    Q_OBJECT

public:
    explicit WaitWindow(QWidget* owner = nullptr);

    QString MessageText() const;
    bool CancelVisible() const;

protected:
    void OnShow(bool cancelVisible) override;
    void OnHide() override;
    void OnMessage(std::string_view text) override;

private:
    // Runs the change here when called on the GUI thread, else queues it there.
    void OnGuiThread(std::function<void()> change);
    void ShowCentred(bool cancelVisible);

    QLabel* noticeLabel_;
    QLabel* messageLabel_;
    QProgressBar* busy_;
    QToolButton* cancelButton_;
};

}  // namespace vellumark
