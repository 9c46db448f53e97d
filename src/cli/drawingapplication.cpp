#include "drawingapplication.h"

#include "command.h"

#include <QApplication>

namespace {
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        PrintErr(text + u'\n');
}
} // namespace

std::unique_ptr<QCoreApplication> MakeDrawingApplication(int& argc, char** argv) {
    qInstallMessageHandler(QuietQtMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}
