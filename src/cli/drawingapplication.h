#pragma once

#include <QCoreApplication>
#include <memory>

/// The application of a command that draws (a chart, PDF pages): the widget toolkit on the
/// offscreen platform, so that it runs without a display. Qt's own notes about that platform (no
/// runtime folder under cron, and the like) would fill every cron mail; only its errors get
/// through, on standard error.
std::unique_ptr<QCoreApplication> MakeDrawingApplication(int& argc, char** argv);
