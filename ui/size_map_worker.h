#pragma once

#include "core/size_map_layout.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vellumark {

// Lays out and draws size maps on a thread of its own. Only the newest job counts: a job
// still waiting is replaced and a running one cancelled. Finished results wait here until the
// GUI thread takes them; the worker never touches a catalog tree, only the prepared sizes.
class SizeMapWorker final : public QObject {
    Q_OBJECT

public:
    struct Job {
        std::shared_ptr<const SizeMapTree> sizes;
        QSize size;
        qreal devicePixelRatio = 1;
        SizeMapFrame frame;
        std::uint64_t generation = 0;
    };
    struct Result {
        std::uint64_t generation = 0;
        QSize size;
        std::vector<SizeMapBlock> blocks;
        QImage image;
    };

    explicit SizeMapWorker(QObject* parent = nullptr);
    ~SizeMapWorker() override;

    void Start(Job job);
    // Drops the waiting job, cancels the running one and any finished result.
    void CancelAll();
    std::optional<Result> TakeResult();

signals:
    // A result is ready to take (sent from the worker thread).
    void Finished();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> waiting_;
    std::optional<Result> finished_;
    bool running_ = false;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace vellumark
