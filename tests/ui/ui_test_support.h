#pragma once

#include "tests/common/test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <string>

namespace vellumark::testing {

// Lets queued work run until the condition holds or the time is up; returns the condition.
inline bool ProcessEventsUntil(const std::function<bool()>& condition, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// A small catalog file: the root "CD" with the folder "Rock" (two files) and one file of its own.
inline std::string SmallCatalogText()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\">"
           "<file FileName=\"CD\" FullPath=\"CD\" FileSize=\"4608\" FileType=\"directory\" SizePercentage=\"100\">"
           "<file FileName=\"Rock\" FullPath=\"CD/Rock\" FileSize=\"3072\" FileTime=\"2020-01-02 10:00:00\" "
           "FileType=\"directory\" FileNameLength=\"4\" PathNameLength=\"7\" SizePercentage=\"66.67\">"
           "<file FileName=\"b.mp3\" FullPath=\"CD/Rock/b.mp3\" FileSize=\"1024\" FileTime=\"2020-01-03\" "
           "FileExt=\"mp3\" FileType=\"file\" FileNameLength=\"5\" PathNameLength=\"13\" SizePercentage=\"22.22\"/>"
           "<file FileName=\"A.mp3\" FullPath=\"CD/Rock/A.mp3\" FileSize=\"2048\" FileTime=\"2020-01-01\" "
           "FileExt=\"mp3\" FileType=\"file\" FileNameLength=\"5\" PathNameLength=\"13\" SizePercentage=\"44.44\"/>"
           "</file>"
           "<file FileName=\"readme.txt\" FullPath=\"CD/readme.txt\" FileSize=\"1536\" FileTime=\"2019-12-31\" "
           "FileExt=\"txt\" FileType=\"file\" FileNameLength=\"10\" PathNameLength=\"13\" SizePercentage=\"33.33\"/>"
           "</file></fileinfo>";
}

}  // namespace vellumark::testing
