// Writes a folder of generated results files, for trying the import on a large folder:
//   bench_genresults FOLDER [TOURNAMENTS [PLAYERS [PER_FILE]]]

#include "resultsgenerator.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 5) {
        std::fprintf(stderr, "usage: bench_genresults FOLDER [TOURNAMENTS [PLAYERS [PER_FILE]]]\n");
        return 2;
    }
    const int tournaments = args.size() > 2 ? args[2].toInt() : 1000;
    const int players = args.size() > 3 ? args[3].toInt() : 20;
    const int perFile = args.size() > 4 ? args[4].toInt() : 1;
    const QStringList files = WriteResultsFolder(args[1], tournaments, players, perFile);
    std::printf("%lld files with %d tournaments of %d players in %s\n", qint64(files.size()),
                tournaments, players, qPrintable(args[1]));
    return 0;
}
