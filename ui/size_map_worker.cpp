#include "ui/size_map_worker.h"

#include "ui/size_map_render.h"

#include <utility>

namespace vellumark {

SizeMapWorker::SizeMapWorker(QObject* parent) : QObject(parent) {}

SizeMapWorker::~SizeMapWorker()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        cancel_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void SizeMapWorker::Start(Job job)
{
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(job);
        finished_.reset();
        if (running_)
            cancel_ = true;
        if (!thread_.joinable())
            thread_ = std::thread([this] { Loop(); });
    }
    wake_.notify_one();
}

void SizeMapWorker::CancelAll()
{
    const std::lock_guard lock(mutex_);
    waiting_.reset();
    finished_.reset();
    if (running_)
        cancel_ = true;
}

std::optional<SizeMapWorker::Result> SizeMapWorker::TakeResult()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(finished_, std::nullopt);
}

void SizeMapWorker::Loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || waiting_; });
        if (stopping_)
            return;
        Job job = std::move(*waiting_);
        waiting_.reset();
        cancel_ = false;
        running_ = true;
        lock.unlock();

        Result result{job.size, {}, {}};
        const SizeMapRect area{0, 0, static_cast<double>(job.size.width()), static_cast<double>(job.size.height())};
        const bool laidOut = LayoutSizeMap(*job.sizes, area, job.frame, result.blocks, &cancel_);
        if (laidOut)
            result.image = RenderSizeMap(result.blocks, job.size, job.devicePixelRatio, job.frame);
        job.sizes.reset();

        lock.lock();
        running_ = false;
        if (!laidOut || cancel_)
            continue;
        finished_ = std::move(result);
        lock.unlock();
        emit Finished();
        lock.lock();
    }
}

}  // namespace vellumark
