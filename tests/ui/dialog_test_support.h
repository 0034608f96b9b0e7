#pragma once

#include "config/config.h"
#include "config/program_folder.h"
#include "tests/ui/ui_test_support.h"
#include "tests/ui/when_shown.h"
#include "ui/main_window.h"
#include "ui/wait_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace vellumark::testing {

// A program folder of its own for each test: its configuration and its library.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(SetProgramFolder(home_.Path()));
        ResetConfigInstance();
        library_ = ConfigInstance().GetLibraryPath();
        MakeDirs(library_);
    }
    void TearDown() override { ResetConfigInstance(); }

    TempDir home_;
    std::string library_;
    FakePrompts prompts_;
};

// A main window shown over the test's program folder (its start-up makes the library with its
// default groups), and a folder to scan: disc/a.mp3, disc/b.txt and disc/sub/.
class ShownMainWindowTest : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        std::filesystem::remove(library_);
        main_ = std::make_unique<MainWindow>(&prompts_);
        main_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
        source_ = home_ / "disc";
        MakeDirs(source_ + "/sub");
        WriteFile(source_ + "/a.mp3", "12345");
        WriteFile(source_ + "/b.txt", "text");
    }
    void TearDown() override
    {
        main_.reset();
        DialogTest::TearDown();
    }

    std::unique_ptr<MainWindow> main_;
    std::string source_;
};

// A well-formed catalog of one folder "Disc" holding the named files.
inline std::string CatalogWithFiles(std::initializer_list<const char*> names)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\">"
                       "<file FileName=\"Disc\" FullPath=\"Disc\" FileType=\"directory\">";
    for (const char* name : names)
        text += std::string("<file FileName=\"") + name + "\" FullPath=\"Disc/" + name + "\" FileExt=\"mp3\" FileType=\"file\" FileSize=\"10\"/>";
    return text + "</file></fileinfo>";
}

// Presses "Cancel" of the wait window as soon as it shows, before the worker has done anything.
class CancelOnShow final : public QObject {
public:
    explicit CancelOnShow(WaitWindow& wait) : wait_(wait) { wait.installEventFilter(this); }
    ~CancelOnShow() override { wait_.removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            wait_.Cancel();
        return false;
    }

private:
    WaitWindow& wait_;
};

}  // namespace vellumark::testing
