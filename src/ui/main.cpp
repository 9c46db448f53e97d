// zvfeestats: the window program. Command-line arguments are ignored.

#include "Main.h"
#include "filenumberformat.h"
#include "screenshots.h"
#include "zvapplication.h"

#include <QTimer>

int main(int argc, char** argv) {
    SetupFileNumberFormat();
    ZvApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zvfeestats"));
    QApplication::setOrganizationName(QStringLiteral("Kestrelle"));
    InstallBusyCursorHooks();

    TMainForm form;
    app.setMessages(&form.messages());
    form.ShowAtStart();

    // Used only by scripts/screenshot: grab every page once the window is up, then end.
    const QString shots = qEnvironmentVariable("ZVFEE_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        QTimer::singleShot(500, &form, [&] {
            const bool ok = SavePageScreenshots(form, shots);
            form.close();
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
