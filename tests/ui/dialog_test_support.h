#pragma once

#include "config/config.h"
#include "config/program_folder.h"
#include "tests/ui/ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
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

// Runs the call on the next dialog of that type that shows (a modal dialog's exec() waits in
// its own event loop meanwhile).
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> drive)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, drive] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<Dialog*>(window); dialog && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                drive(*dialog);
                return;
            }
        }
    });
    timer->start();
}

// A well-formed catalog of one folder "Disc" holding the named files.
inline std::string CatalogWithFiles(std::initializer_list<const char*> names)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\">"
                       "<file FileName=\"Disc\" FullPath=\"Disc\" FileType=\"directory\">";
    for (const char* name : names)
        text += std::string("<file FileName=\"") + name + "\" FullPath=\"Disc/" + name + "\" FileExt=\"mp3\" FileType=\"file\" FileSize=\"10\"/>";
    return text + "</file></fileinfo>";
}

}  // namespace vellumark::testing
