#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace vellumark {

// What long operations report to: the wait window in the GUI, stderr in the command-line tool,
// nothing in most tests. Operations nest (a search loads catalogs, and loading shows its own
// message): only the outermost Begin shows the window, decides whether "Cancel" is offered and
// clears the cancel flag; inner ones leave both alone, and the window closes with the last End.
//
// The operations run on a worker thread; Cancel() comes from another thread. Messages are
// throttled to about ten a second so that a million-entry walk does not flood the window.
class Progress {
public:
    virtual ~Progress() = default;

    void Begin(bool cancelVisible);
    void End();
    int Depth() const { return depth_; }

    // Shown at once when it is the first message since the outermost Begin, else throttled.
    void SetMessage(std::string_view text);
    // True when a message given now would be shown; lets callers skip formatting one.
    bool Due();

    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

protected:
    virtual void OnShow(bool /*cancelVisible*/) {}
    virtual void OnHide() {}
    virtual void OnMessage(std::string_view /*text*/) {}

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::milliseconds(100);
    static constexpr int kCallsPerClockRead = 32;

    // Read for every entry of a long walk on every worker, while the calling thread writes
    // the message state below as often: each keeps a cache line of its own, or every read of
    // the flag would wait for the line the other thread just wrote.
    alignas(64) std::atomic<bool> cancelled_{false};
    alignas(64) int depth_ = 0;
    bool messageShown_ = false;
    bool due_ = false;
    int callsSinceClockRead_ = 0;
    Clock::time_point lastMessage_{};
};

// Progress that shows nothing; its cancel flag still works.
class NullProgress final : public Progress {};

// Begin/End for one block, with the operation's fixed message.
class WaitScope {
public:
    WaitScope(Progress& progress, std::string_view message, bool cancelVisible = false);
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    Progress& progress_;
};

}  // namespace vellumark
