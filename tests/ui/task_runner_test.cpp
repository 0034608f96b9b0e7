#include "ui/task_runner.h"

#include "services/messages.h"
#include "tests/ui/ui_test_support.h"
#include "ui/command_guard.h"
#include "ui/qt_prompts.h"
#include "ui/wait_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace vellumark {
namespace {

using testing::FakePrompts;

TEST(TaskRunner, WorkRunsOnAWorkerWhileTheWaitWindowShowsAndTheOutcomeComesBack)
{
    WaitWindow wait;
    TaskRunner runner(wait);
    std::atomic<bool> sawWindow{false};
    std::thread::id workerThread;
    QStringList batches;
    const Status outcome = runner.Run(messages::kSavingInfo, false, [&](Progress& progress) {
        workerThread = std::this_thread::get_id();
        EXPECT_EQ(&progress, &wait);
        progress.SetMessage("second");
        for (int i = 0; i < 3; ++i)
            runner.PostToGui([&, i] {
                EXPECT_EQ(QThread::currentThread(), qApp->thread());
                batches << QString::number(i);
                sawWindow = sawWindow || wait.isVisible();
            });
        return Status::Failed("disk full");
    });
    EXPECT_NE(workerThread, std::this_thread::get_id());
    EXPECT_EQ(outcome.message(), "disk full");
    EXPECT_EQ(batches, (QStringList{"0", "1", "2"}));  // in order, all before Run returned
    EXPECT_TRUE(sawWindow);
    EXPECT_FALSE(wait.isVisible());
    EXPECT_FALSE(runner.Running());
    EXPECT_EQ(wait.MessageText(), messages::kSavingInfo);  // the second came within the throttle
    EXPECT_FALSE(wait.CancelVisible());
}

TEST(TaskRunner, ExceptionsOfTheWorkOrOfAPostedCallBecomeFailuresAndCancelIsOffered)
{
    WaitWindow wait;
    TaskRunner runner(wait);
    Status outcome = runner.Run("", true, [&](Progress&) -> Status {
        EXPECT_TRUE(wait.CancelVisible());
        throw std::runtime_error("broken file");
    });
    EXPECT_EQ(outcome.code(), Status::Code::Failed);
    EXPECT_EQ(outcome.message(), "broken file");

    outcome = runner.Run("", true, [&](Progress& progress) {
        runner.PostToGui([] { throw std::runtime_error("batch refused"); });
        progress.Cancel();
        return Status::Ok();
    });
    EXPECT_EQ(outcome.message(), "batch refused");
    EXPECT_TRUE(wait.Cancelled());
    EXPECT_TRUE(wait.CancelVisible());

    // A new operation clears the cancel flag left over from the last one.
    outcome = runner.Run("", false, [](Progress& progress) {
        return progress.Cancelled() ? Status::Failed("still cancelled") : Status::Ok();
    });
    EXPECT_TRUE(outcome.ok());
}

TEST(TaskRunner, ASecondRunWhileOneIsRunningIsRefused)
{
    WaitWindow wait;
    TaskRunner runner(wait);
    Status inner;
    const Status outer = runner.Run("", false, [&](Progress&) {
        runner.PostToGui([&] { inner = runner.Run("", false, [](Progress&) { return Status::Ok(); }); });
        return Status::Ok();
    });
    EXPECT_TRUE(outer.ok());
    EXPECT_EQ(inner.message(), messages::kOperationRunning);
}

TEST(CommandGuard, AnExceptionBecomesAWarningAndGoesNoFurther)
{
    FakePrompts prompts;
    EXPECT_TRUE(RunCommand(prompts, [] {}));
    EXPECT_FALSE(RunCommand(prompts, [] { throw std::runtime_error("bad value in frame"); }));
    EXPECT_FALSE(RunCommand(prompts, [] { throw 42; }));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], "Warning: bad value in frame");
    EXPECT_EQ(prompts.messages[1], std::string("Warning: ") + messages::kUnknownFailure);

    int calls = 0;
    auto slot = Guarded(prompts, [&] {
        ++calls;
        throw std::logic_error("in a slot");
    });
    slot(1, "ignored arguments");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(prompts.messages.back(), "Warning: in a slot");

    EXPECT_TRUE(ReportStatus(prompts, Status::Ok()));
    EXPECT_FALSE(ReportStatus(prompts, Status::Cancelled()));
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_FALSE(ReportStatus(prompts, Status::Failed("cannot write")));
    EXPECT_EQ(prompts.messages.back(), "Warning: cannot write");
}

TEST(QtPrompts, FiltersBecomeQtNameFilters)
{
    EXPECT_EQ(QtPrompts::NameFilters("XML File|*.XML"), "XML File (*.XML)");
    EXPECT_EQ(QtPrompts::NameFilters("HTML File|*.htm;*.html|All|*"), "HTML File (*.htm *.html);;All (*)");
    EXPECT_EQ(QtPrompts::NameFilters(""), "");
}

}  // namespace
}  // namespace vellumark
