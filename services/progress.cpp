#include "services/progress.h"

namespace vellumark {

void Progress::Begin(bool cancelVisible)
{
    if (depth_++ == 0) {
        cancelled_.store(false, std::memory_order_relaxed);
        messageShown_ = false;
        due_ = false;
        callsSinceClockRead_ = 0;
        OnShow(cancelVisible);
    }
}

void Progress::End()
{
    if (depth_ == 0)
        return;
    if (--depth_ == 0)
        OnHide();
}

bool Progress::Due()
{
    // Remembered until the next message, so that a caller's Due() followed by its SetMessage()
    // shows that message.
    if (due_)
        return true;
    if (!messageShown_)
        return due_ = true;
    if (++callsSinceClockRead_ < kCallsPerClockRead)
        return false;
    callsSinceClockRead_ = 0;
    due_ = Clock::now() - lastMessage_ >= kInterval;
    return due_;
}

void Progress::SetMessage(std::string_view text)
{
    if (!Due())
        return;
    due_ = false;
    messageShown_ = true;
    lastMessage_ = Clock::now();
    OnMessage(text);
}

WaitScope::WaitScope(Progress& progress, std::string_view message, bool cancelVisible) : progress_(progress)
{
    progress_.Begin(cancelVisible);
    progress_.SetMessage(message);
}

WaitScope::~WaitScope() { progress_.End(); }

}  // namespace vellumark
