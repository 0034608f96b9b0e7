#pragma once

#include "core/size_map_layout.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vellumark {

// Lays out and draws size maps on a thread of its own. Only the newest job counts: a job
// still waiting is replaced, a running one cancelled and a finished one not yet taken dropped,
// so a result taken is always the newest job's. Results wait here until the GUI thread takes
// them; the worker never touches a catalog tree, only the prepared sizes.
class SizeMapWorker final : public QObject {
    Q_OBJECT

public:
    struct Job {
        std::shared_ptr<const SizeMapTree> sizes;
        QSize size;
        qreal devicePixelRatio = 1;
        SizeMapFrame frame;
    };
    struct Result {
        QSize size;
        std::vector<SizeMapBlock> blocks;
        QImage image;
    };

    explicit SizeMapWorker(QObject* parent = nullptr);
    ~SizeMapWorker() override;

    void Start(Job job);
    // Drops the waiting job, the running one and a finished result not yet taken.
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
