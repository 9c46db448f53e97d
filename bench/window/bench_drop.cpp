// Results files dropped onto the local list of the main window, offscreen: the drag's enter and
// a move over the list, and the drop itself (listing the folder and selecting the dropped
// files), each followed by the events it posts and the paint, beside listing the same folder
// alone (what F5 does). Figures are medians of the runs, in ms, and the drop as a ratio to the
// listing.
//
//   bench_drop [--files N] [--runs K]   (default 20,000 files of 20,500 in the folder, 3 runs)

#include "Main.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

class PrintedMessages : public OperatorMessages {
public:
    bool show(MessageKind, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    }
};

void Settle() {
    QApplication::processEvents();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F> double TimedMs(F&& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    Settle();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int files = 20'000;
    int runs = 3;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--files")
            files = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
    }

    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const QString folder = dir.filePath(QStringLiteral("results"));
    QDir().mkpath(folder);
    QList<QUrl> urls;
    const int inFolder = files + files / 40;
    for (int i = 0; i < inFolder; ++i) {
        const QString path = folder + QStringLiteral("/TR2024-01-01 %1.txt").arg(i, 6, 10, QChar(u'0'));
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
        ::close(fd);
        if (i < files)
            urls.prepend(QUrl::fromLocalFile(path)); // not in list order
    }
    QMimeData mime;
    mime.setUrls(urls);

    PrintedMessages messages;
    TMainForm form(dir.filePath(QStringLiteral("ZVFee2.db3")), &messages);
    form.ShowAtStart();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "window not exposed\n");
    QWidget* viewport = form.TRLocalList->viewport();
    const QPoint at = viewport->rect().center();

    std::vector<double> enter, move, drop, listing;
    for (int run = 0; run < runs; ++run) {
        form.TRLocalList->clear();
        Settle();
        listing.push_back(TimedMs([&] { form.ListLocalFolder(folder); }));
        form.TRLocalList->clear();
        Settle();
        bool accepted = false;
        enter.push_back(TimedMs([&] {
            QDragEnterEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &event);
            accepted = event.isAccepted();
        }));
        move.push_back(TimedMs([&] {
            QDragMoveEvent event(at + QPoint(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &event);
        }));
        drop.push_back(TimedMs([&] {
            QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &event);
        }));
        if (!accepted || form.TRLocalList->selectedItems().size() != files)
            std::fprintf(stderr, "the drop did not list and select the files\n");
    }
    std::printf("drop of %d files (%d in the folder), %d runs, medians:\n", files, inFolder, runs);
    std::printf("  drag enter %.1f ms, move %.1f ms\n", Median(enter), Median(move));
    std::printf("  drop %.1f ms; listing the folder alone %.1f ms (drop %.2fx)\n", Median(drop),
                Median(listing), Median(drop) / Median(listing));
    return 0;
}
