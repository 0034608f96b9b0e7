#pragma once

#include "services/progress.h"
#include "services/status.h"

#include <QObject>

#include <functional>
#include <string_view>

namespace vellumark {

// Runs a long operation on a worker thread while the wait window shows. The GUI thread keeps
// painting (the wait window at least five times a second) but takes no commands: the wait
// window holds back the input of every other window until the operation ends. The worker works on data nobody else
// touches meanwhile; what it builds is adopted by the caller on the GUI thread after Run.
class TaskRunner final : public QObject {
    Q_OBJECT

public:
    using Work = std::function<Status(Progress& progress)>;

    explicit TaskRunner(Progress& progress, QObject* parent = nullptr);

    // Shows the wait window (with "Cancel" when asked, clearing the cancel flag) and the
    // message, runs the work on a worker thread and returns its outcome on the GUI thread. An
    // exception thrown by the work becomes a failed outcome. Not reentrant: a second Run while
    // one is running is refused.
    Status Run(std::string_view message, bool cancelVisible, Work work);

    // For the worker: runs the call on the GUI thread, in the order posted, before Run returns
    // (a search hands its result batches over this way). A failure thrown by a call ends up in
    // Run's outcome.
    void PostToGui(std::function<void()> call);

    bool Running() const { return running_; }
    Progress& GetProgress() { return progress_; }

private:
    Progress& progress_;
    bool running_ = false;
    Status postedFailure_;
};

}  // namespace vellumark
