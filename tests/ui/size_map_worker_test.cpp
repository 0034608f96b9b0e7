#include "ui/size_map_worker.h"

#include "tests/core/size_map_test_trees.h"
#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <optional>

namespace vellumark {
namespace {

using testing::ProcessEventsUntil;
using testing::RandomDisc;

class SizeMapWorkerTest : public ::testing::Test {
protected:
    SizeMapWorkerTest() : tree_(RandomDisc(11, 60000)), sizes_(std::make_shared<const SizeMapTree>(SizeMapTree::Build(tree_, nullptr)))
    {
        QObject::connect(&worker_, &SizeMapWorker::Finished, &gui_, [this] { ++finishedSignals_; });
    }

    SizeMapWorker::Job JobOfSize(QSize size) const { return {sizes_, size, 1, {1, 14}}; }

    // Waits for results and keeps the last one taken.
    std::optional<SizeMapWorker::Result> Take(int milliseconds = 20000)
    {
        std::optional<SizeMapWorker::Result> taken;
        ProcessEventsUntil(
            [&] {
                if (!taken)
                    taken = worker_.TakeResult();
                return taken.has_value();
            },
            milliseconds);
        return taken;
    }

    CatalogTree tree_;
    std::shared_ptr<const SizeMapTree> sizes_;
    SizeMapWorker worker_;
    QObject gui_;
    int finishedSignals_ = 0;
};

TEST_F(SizeMapWorkerTest, LaysOutAndDrawsAtTheJobsSize)
{
    worker_.Start(JobOfSize({400, 300}));
    const auto result = Take();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->size, QSize(400, 300));
    EXPECT_EQ(result->image.size(), QSize(400, 300));
    EXPECT_GT(result->blocks.size(), 100u);
    EXPECT_FALSE(worker_.TakeResult().has_value());
}

TEST_F(SizeMapWorkerTest, OnlyTheNewestJobsResultIsHandedOver)
{
    for (int round = 0; round < 5; ++round) {
        worker_.Start(JobOfSize({1600, 1200}));
        // Let the first job finish now and then before the next one comes.
        QTest::qSleep(round * 60);
        worker_.Start(JobOfSize({300 + round, 200}));
        const auto result = Take();
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->size, QSize(300 + round, 200)) << round;
        QTest::qSleep(50);
        QCoreApplication::processEvents();
        EXPECT_FALSE(worker_.TakeResult().has_value());
    }
}

TEST_F(SizeMapWorkerTest, CancelledWorkIsNeverHandedOver)
{
    worker_.Start(JobOfSize({500, 400}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return finishedSignals_ > 0; }, 20000));
    worker_.CancelAll();
    EXPECT_FALSE(worker_.TakeResult().has_value());

    worker_.Start(JobOfSize({2000, 2000}));
    worker_.CancelAll();
    QTest::qWait(300);
    EXPECT_FALSE(worker_.TakeResult().has_value());
}

TEST(SizeMapWorker, StopsWhenDestroyedWithAJobRunning)
{
    const CatalogTree tree = RandomDisc(12, 60000);
    auto sizes = std::make_shared<const SizeMapTree>(SizeMapTree::Build(tree, nullptr));
    for (int round = 0; round < 3; ++round) {
        SizeMapWorker worker;
        worker.Start({sizes, {2000, 1500}, 1, {}});
        QTest::qSleep(round * 20);
    }
    EXPECT_EQ(sizes.use_count(), 1);
}

}  // namespace
}  // namespace vellumark
