// zvfeestats: the window program. It takes --help, --version, a profile and a results folder to
// list.

#include "Main.h"
#include "filenumberformat.h"
#include "profile.h"
#include "programicon.h"
#include "screenshots.h"
#include "windowcommandline.h"
#include "zvapplication.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    // Before the application object: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const WindowCommandLine commandLine = ReadWindowCommandLine(arguments);
    if (commandLine.exitCode) {
        std::fputs(commandLine.out.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.err.toLocal8Bit().constData(), stderr);
        return *commandLine.exitCode;
    }

    SetProfile(commandLine.profile);
    SetupFileNumberFormat();
    ZvApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zvfeestats"));
    QApplication::setOrganizationName(QStringLiteral("Kestrelle"));
    // Ties the windows to the desktop entry (the application id on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrelle.ZVFeeStats"));
    QApplication::setWindowIcon(ProgramIcon());
    InstallBusyCursorHooks();

    TMainForm form;
    app.setMessages(&form.messages());
    form.ShowAtStart();
    if (!commandLine.folder.isEmpty())
        form.runGuarded([&] { form.ListStartFolder(commandLine.folder); });

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
