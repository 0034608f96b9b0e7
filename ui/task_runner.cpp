#include "ui/task_runner.h"

#include "services/messages.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <thread>

namespace vellumark {

namespace {

constexpr int kRepaintMilliseconds = 150;

// A queued call reaches the GUI thread through Qt's event queue, whose lock the thread
// sanitizer cannot see in an uninstrumented Qt; these tell it that everything the worker did
// before posting is ordered before the call runs.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void HandOver(void* key) { __tsan_release(key); }
void TakeOver(void* key) { __tsan_acquire(key); }
#else
void HandOver(void*) {}
void TakeOver(void*) {}
#endif

Status RunCaught(const TaskRunner::Work& work, Progress& progress)
{
    try {
        return work(progress);
    } catch (const std::exception& failure) {
        return Status::Failed(failure.what());
    } catch (...) {
        return Status::Failed(messages::kUnknownFailure);
    }
}

}  // namespace

TaskRunner::TaskRunner(Progress& progress, QObject* parent) : QObject(parent), progress_(progress) {}

Status TaskRunner::Run(std::string_view message, bool cancelVisible, Work work)
{
    if (running_)
        return Status::Failed(messages::kOperationRunning);
    running_ = true;
    postedFailure_ = Status::Ok();
    progress_.Begin(cancelVisible);
    if (!message.empty())
        progress_.SetMessage(message);

    QEventLoop loop;
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &loop, [this] {
        if (auto* window = dynamic_cast<QWidget*>(&progress_); window && window->isVisible())
            window->repaint();
    });
    repaint.start(kRepaintMilliseconds);

    Status outcome;
    // Begin and End run here, on the GUI thread; starting and joining the thread orders them
    // with everything the worker does to the progress in between.
    std::thread worker([&] {
        outcome = RunCaught(work, progress_);
        HandOver(this);
        QMetaObject::invokeMethod(this, [this, &loop] { TakeOver(this); loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    repaint.stop();
    progress_.End();
    running_ = false;
    if (outcome.ok() && !postedFailure_.ok())
        return postedFailure_;
    return outcome;
}

void TaskRunner::PostToGui(std::function<void()> call)
{
    HandOver(this);
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            TakeOver(this);
            try {
                call();
            } catch (const std::exception& failure) {
                if (postedFailure_.ok())
                    postedFailure_ = Status::Failed(failure.what());
            }
        },
        Qt::QueuedConnection);
}

}  // namespace vellumark
