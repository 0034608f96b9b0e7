#include "ui/focus_return.h"

#include "tests/ui/ui_test_support.h"
#include "ui/task_runner.h"
#include "ui/wait_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <thread>

namespace vellumark {
namespace {

// A window with an accelerator (Alt+N) and two edits, the second one focused.
class FocusReturnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qApp->installEventFilter(&focusReturn_);
        auto* layout = new QVBoxLayout(&window_);
        button_ = new QPushButton(QStringLiteral("&New"), &window_);
        layout->addWidget(button_);
        layout->addWidget(new QLineEdit(&window_));
        edit_ = new QLineEdit(&window_);
        layout->addWidget(edit_);
        QObject::connect(button_, &QPushButton::clicked, [this] { ++clicks_; });
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        edit_->setFocus();
    }

    // Alt+N as the window system delivers it: to the window that has the focus.
    bool AcceleratorWorks()
    {
        const int before = clicks_;
        if (QWindow* focused = QGuiApplication::focusWindow())
            QTest::keyClick(focused, Qt::Key_N, Qt::AltModifier);
        // A button pressed by its accelerator clicks a moment later, as it shows itself pressed.
        return testing::ProcessEventsUntil([&] { return clicks_ == before + 1; }, 1000);
    }
    // The activation the window system reports back, without any input in between.
    bool FocusIsBack() const
    {
        return testing::ProcessEventsUntil(
            [this] { return QApplication::activeWindow() == &window_ && QApplication::focusWidget() == edit_; }, 1000);
    }

    ModalFocusReturn focusReturn_;  // as the application installs it; gone with the test
    QWidget window_;
    QPushButton* button_ = nullptr;
    QLineEdit* edit_ = nullptr;
    int clicks_ = 0;
};

TEST_F(FocusReturnTest, AfterTheWaitWindowTheFocusIsWhereItWasAndTheAcceleratorsWork)
{
    ASSERT_TRUE(AcceleratorWorks());
    WaitWindow wait(&window_);
    TaskRunner runner(wait);
    // Long enough for the platform to activate the wait window, as the offscreen one does with
    // every window it shows.
    runner.Run("Loading info..", false, [](Progress&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return Status::Ok();
    });
    EXPECT_TRUE(FocusIsBack());
    EXPECT_TRUE(AcceleratorWorks());
}

TEST_F(FocusReturnTest, DialogsAndMessageBoxesGiveTheFocusBackToTheWindowTheyCameFrom)
{
    QDialog dialog(&window_);
    auto* dialogEdit = new QLineEdit(&dialog);
    (new QVBoxLayout(&dialog))->addWidget(dialogEdit);
    QTimer::singleShot(0, &dialog, [&] {
        dialogEdit->setFocus();
        // A message box over the dialog returns to the dialog, not to the main window.
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible())
                    box->accept();
        });
        QMessageBox::information(&dialog, QStringLiteral("Warning"), QStringLiteral("text"));
        EXPECT_TRUE(testing::ProcessEventsUntil([&] { return QApplication::focusWidget() == dialogEdit; }, 1000));
        EXPECT_EQ(QApplication::activeWindow(), &dialog);
        dialog.accept();
    });
    dialog.exec();
    EXPECT_TRUE(FocusIsBack());
    EXPECT_TRUE(AcceleratorWorks());
}

TEST_F(FocusReturnTest, AWaitWindowInsideADialogReturnsToTheDialog)
{
    QDialog dialog(&window_);
    WaitWindow wait(&window_);
    TaskRunner runner(wait);
    QTimer::singleShot(0, &dialog, [&] {
        runner.Run("Export to file..", false, [](Progress&) { return Status::Ok(); });
        EXPECT_TRUE(testing::ProcessEventsUntil([&] { return QApplication::activeWindow() == &dialog; }, 1000));
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(FocusIsBack());
}

TEST_F(FocusReturnTest, TheWindowsBelowTakeNoInputWhileTheWaitWindowShowsButCancelWorks)
{
    WaitWindow wait(&window_);
    TaskRunner runner(wait);
    bool closed = true;
    bool cancelled = false;
    runner.Run("Loading info..", true, [&](Progress& progress) {
        QMetaObject::invokeMethod(&wait, [&] {
            QTest::keyClick(window_.windowHandle(), Qt::Key_N, Qt::AltModifier);
            QTest::mouseClick(button_, Qt::LeftButton);
            QTest::keyClicks(edit_, "typed");
            // As the window manager's close button asks it.
            closed = window_.windowHandle()->close();
            QTest::mouseClick(wait.findChild<QWidget*>(QStringLiteral("cancelButton")), Qt::LeftButton);
        }, Qt::BlockingQueuedConnection);
        cancelled = progress.Cancelled();
        return Status::Ok();
    });
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(clicks_, 0);
    EXPECT_EQ(edit_->text(), "");
    EXPECT_TRUE(FocusIsBack());
    EXPECT_TRUE(AcceleratorWorks());
}

}  // namespace
}  // namespace vellumark
