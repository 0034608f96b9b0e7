#pragma once

#include "config/config.h"
#include "config/program_folder.h"
#include "tests/ui/ui_test_support.h"
#include "tests/ui/when_shown.h"
#include "ui/wait_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QTimer>
#include <QWidget>

#include <functional>
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
