// The fee database follows its results folder: after any sequence of file operations and an
// import of the new or changed files (zvfee import --new, a running zvfee watch, or the same run
// in this process), it holds what a fresh import of the files present gives, plus the
// tournaments of the files that went away.

#include "feedatabase.h"
#include "filenames.h"
#include "importrun.h"
#include "newfiles.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kZvfee = QStringLiteral(ZV_BUILD_DIR "/zvfee");

/// The file a letter of an operation stands for; X has a name that is not valid UTF-8.
QString FileName(const QString& letter) {
    if (letter == u"X")
        return DecodeFileName("TRbad\xff.txt");
    return u"TR"_s + letter + u".txt"_s;
}

/// Every tournament has one content for ever, its fee from its number, so the expected database
/// is the import of a list of numbers. Numbers of three digits keep a rewrite's size.
QByteArray Blocks(const QList<int>& numbers) {
    QByteArray text;
    for (const int n : numbers)
        text += ResultsBlock(n, QByteArray::number(1 + n % 9));
    return text;
}

void WriteRaw(const QString& path, const QByteArray& bytes, bool append = false) {
    const int fd = ::open(EncodeFileName(path).constData(),
                          O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0644);
    QVERIFY2(fd >= 0, qPrintable(path));
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

QStringList Dump(const QString& dbPath) {
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    QStringList rows;
    for (const QString& sql : {u"SELECT * FROM Master ORDER BY TNumber"_s,
                               u"SELECT * FROM Detail ORDER BY TNumber, Player"_s}) {
        Statement stmt = db.Prepare16(sql);
        while (db.Step(stmt)) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c)
                values << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), c)));
            rows << values.join(u'|');
        }
    }
    return rows;
}

void ImportInProcess(const QString& dbPath, const QStringList& paths) {
    FeeDatabase db;
    OpenOrCreateFeeDatabase(db, dbPath);
    QList<ImportRunFile> run;
    for (const QString& path : paths)
        run.append({path, path});
    RecordingMessages messages;
    ImportResultsFiles(run, db, messages, [](const QString&) {}, {});
}

/// A results folder, the folder that files are moved away to, and what the database should
/// hold after each import of the new or changed files.
class Scene {
public:
    Scene() : m_results(m_dir.filePath(u"results"_s)), m_away(m_dir.filePath(u"away"_s)) {
        QDir().mkpath(m_results);
        QDir().mkpath(m_away);
    }
    ~Scene() { // QDir cannot remove a name that is not UTF-8
        std::error_code ignored;
        std::filesystem::remove_all(EncodeFileName(m_dir.path()).toStdString(), ignored);
    }
    QString results() const { return m_results; }
    QString db() const { return m_dir.filePath(u"fees.db3"_s); }

    /// "write A 101 102" (also to cut or empty), "keep-mtime A 101 104" (rewritten with its
    /// modification time put back), "append A 105", "rename A B" (over B), "away A".
    void apply(const QString& op) {
        const QStringList w = op.split(u' ', Qt::SkipEmptyParts);
        const QString path = m_results + u'/' + FileName(w.value(1));
        QList<int> numbers;
        for (const QString& n : w.mid(2))
            numbers << n.toInt();
        if (w[0] == u"write" || w[0] == u"keep-mtime") {
            struct stat before = {};
            const bool keep =
                w[0] == u"keep-mtime" && ::stat(EncodeFileName(path).constData(), &before) == 0;
            WriteRaw(path, Blocks(numbers));
            if (keep) {
                const struct timespec times[2] = {before.st_atim, before.st_mtim};
                QCOMPARE(::utimensat(AT_FDCWD, EncodeFileName(path).constData(), times, 0), 0);
            }
            m_present[w[1]] = numbers;
        } else if (w[0] == u"append") {
            WriteRaw(path, Blocks(numbers), true);
            m_present[w[1]] += numbers;
        } else if (w[0] == u"rename") {
            const QString to = m_results + u'/' + FileName(w[2]);
            QCOMPARE(::rename(EncodeFileName(path).constData(), EncodeFileName(to).constData()), 0);
            m_present[w[2]] = m_present.take(w[1]);
        } else if (w[0] == u"away") {
            const QString to = m_away + u'/' + QString::number(++m_moved) + u".txt"_s;
            QCOMPARE(::rename(EncodeFileName(path).constData(), EncodeFileName(to).constData()), 0);
            m_present.remove(w[1]);
        } else {
            QFAIL(qPrintable(u"unknown operation: "_s + op));
        }
    }

    /// The files present were imported: their record is what they hold now. A file that went
    /// away keeps the record of what it held when last imported.
    void imported() {
        for (auto it = m_present.cbegin(); it != m_present.cend(); ++it)
            m_recorded[it.key()] = it.value();
    }

    QList<int> expectedNumbers() const {
        QSet<int> all;
        for (auto it = m_recorded.cbegin(); it != m_recorded.cend(); ++it)
            if (!m_present.contains(it.key()))
                all.unite(QSet<int>(it->begin(), it->end()));
        for (const QList<int>& numbers : m_present)
            all.unite(QSet<int>(numbers.begin(), numbers.end()));
        QList<int> sorted(all.begin(), all.end());
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    /// What a fresh database gets from the import of the expected tournaments.
    QStringList expected() {
        const QString file = m_dir.filePath(u"fresh/all.txt"_s);
        const QString freshDb = m_dir.filePath(u"fresh/fees.db3"_s);
        QFile::remove(freshDb);
        WriteFileBytes(file, Blocks(expectedNumbers()));
        ImportInProcess(freshDb, {file});
        return Dump(freshDb);
    }

    QMap<QString, QList<int>> m_present; // by letter
    QMap<QString, QList<int>> m_recorded;

private:
    QTemporaryDir m_dir;
    QString m_results;
    QString m_away;
    int m_moved = 0;
};

bool RunZvfee(const QStringList& args) {
    QProcess process;
    process.start(kZvfee, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("zvfee %s: %s", qPrintable(args.join(u' ')),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}

/// Polls until the database equals the expected rows; false after the timeout.
bool Becomes(const QString& dbPath, const QStringList& expected, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QStringList rows;
        try {
            if (QFile::exists(dbPath))
                rows = Dump(dbPath);
        } catch (const std::exception&) { // the watcher is writing, or made no tables yet
        }
        if (rows == expected)
            return true;
        if (deadline.hasExpired()) {
            qWarning("database: %s\nexpected: %s", qPrintable(rows.join(u" / "_s)),
                     qPrintable(expected.join(u" / "_s)));
            return false;
        }
        QTest::qWait(50);
    }
}

} // namespace

class TestZvfeeSync : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sequences_data();
    void sequences();
    void randomSequences();
};

void TestZvfeeSync::sequences_data() {
    QTest::addColumn<QString>("road"); // "new" or "watch"
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QString>("master"); // the tournament numbers at the end
    const QList<std::tuple<const char*, QStringList, QString>> rows = {
        {"create", {"write A 101 102", "write B 103"}, "101 102 103"},
        {"rewrite of the same size", {"write A 101 102", "write A 101 104"}, "101 104"},
        {"rewrite with the mtime put back", {"write A 101 102", "keep-mtime A 101 104"}, "101 104"},
        {"cut to fewer tournaments", {"write A 101 102 103", "write A 102"}, "102"},
        {"emptied", {"write A 101 102", "write A"}, ""},
        {"appended", {"write A 101", "append A 102"}, "101 102"},
        {"renamed over another", {"write A 101 102", "write B 103", "rename A B"}, "101 102"},
        {"renamed over, then the first name comes again",
         {"write A 101", "write B 102", "rename A B", "write A 103"},
         "101 103"},
        {"moved away", {"write A 101 102", "write B 103", "away A"}, "101 102 103"},
        {"a tournament of a moved-away file stays when another file drops it",
         {"write A 101 102", "away A", "write B 101", "write B"},
         "101 102"},
        {"a name that is not UTF-8", {"write X 101 102", "write X 102", "away X"}, "102"},
    };
    for (const char* road : {"new", "watch"})
        for (const auto& [name, ops, master] : rows)
            QTest::newRow(
                qPrintable(u"%1: %2"_s.arg(QLatin1StringView(road), QLatin1StringView(name))))
                << QString::fromLatin1(road) << ops << master;
}

void TestZvfeeSync::sequences() {
    QFETCH(QString, road);
    QFETCH(QStringList, ops);
    QFETCH(QString, master);
    Scene scene;
    std::unique_ptr<QProcess> watcher;
    if (road == u"watch") {
        watcher = std::make_unique<QProcess>();
        watcher->start(
            kZvfee, {u"watch"_s, scene.results(), u"--db"_s, scene.db(), u"--settle"_s, u"0.1"_s});
        QVERIFY(watcher->waitForReadyRead(30000));
    }
    for (const QString& op : std::as_const(ops)) {
        scene.apply(op);
        if (watcher) {
            QVERIFY2(Becomes(scene.db(), scene.expected(), 30000), qPrintable(op));
        } else {
            QVERIFY(RunZvfee({u"import"_s, u"--new"_s, u"--db"_s, scene.db(), scene.results()}));
            QVERIFY2(Becomes(scene.db(), scene.expected(), 0), qPrintable(op));
        }
        scene.imported();
    }
    if (watcher) { // nothing more comes after the last change settled
        QTest::qWait(500);
        QVERIFY(Becomes(scene.db(), scene.expected(), 0));
        watcher->terminate();
        QVERIFY(watcher->waitForFinished(30000));
    }
    QStringList numbers;
    for (const int n : scene.expectedNumbers())
        numbers << QString::number(n);
    QCOMPARE(numbers.join(u' '), master);
}

// Random operations on a few files, imported the way "zvfee import --new FOLDER" imports them
// after every one to three operations. ZV_SYNC_SEQUENCES runs more than the default 20.
void TestZvfeeSync::randomSequences() {
    const int sequences = qEnvironmentVariableIntValue("ZV_SYNC_SEQUENCES") > 0
                              ? qEnvironmentVariableIntValue("ZV_SYNC_SEQUENCES")
                              : 20;
    const quint32 seed = qEnvironmentVariableIsSet("ZV_SYNC_SEED")
                             ? quint32(qEnvironmentVariableIntValue("ZV_SYNC_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QStringList letters = {u"A"_s, u"B"_s, u"C"_s, u"X"_s};
    int unequal = 0;
    for (int s = 0; s < sequences; ++s) {
        Scene scene;
        int next = 100;
        QStringList done;
        const int length = 4 + random.bounded(8);
        for (int i = 0; i < length; ++i) {
            const QString a = letters[random.bounded(letters.size())];
            const QString b = letters[random.bounded(letters.size())];
            const bool present = scene.m_present.contains(a);
            const QList<int> held = scene.m_present.value(a);
            QString op;
            switch (present ? random.bounded(6) : 0) {
            case 0: { // a new content: some of what it held, some new
                QStringList numbers;
                for (const int n : held)
                    if (random.bounded(2))
                        numbers << QString::number(n);
                for (int k = random.bounded(3); k > 0; --k)
                    numbers << QString::number(++next);
                op = (u"write "_s + a + u' ' + numbers.join(u' ')).trimmed();
                break;
            }
            case 1: // one tournament replaced by another: the same size
                if (held.isEmpty())
                    op = u"write "_s + a;
                else
                    op = u"keep-mtime %1 %2"_s.arg(a, QString::number(++next));
                break;
            case 2:
                op = u"append %1 %2"_s.arg(a, QString::number(++next));
                break;
            case 3:
                op = a == b ? u"write "_s + a : u"rename %1 %2"_s.arg(a, b);
                break;
            case 4:
                op = u"away "_s + a;
                break;
            default:
                op = u"write "_s + a;
                break;
            }
            if (op.startsWith(u"keep-mtime") && held.size() > 1) // keeps the others too
                for (qsizetype k = 1; k < held.size(); ++k)
                    op += u' ' + QString::number(held[k]);
            scene.apply(op);
            done << op;
            if (random.bounded(3) == 0 && i + 1 < length)
                continue;
            const QStringList paths = ResultsFilesOf({scene.results()});
            FeeDatabase db;
            OpenOrCreateFeeDatabase(db, scene.db());
            const NewFiles fresh = NewOrChangedFiles(db, paths);
            db.Close();
            ImportInProcess(scene.db(), fresh.paths);
            scene.imported();
        }
        if (Dump(scene.db()) != scene.expected()) {
            ++unequal;
            qWarning("unequal after: %s", qPrintable(done.join(u"; "_s)));
        }
    }
    qInfo("%d random sequences (seed %u), %d ended unequal", sequences, seed, unequal);
    QCOMPARE(unequal, 0);
}

QTEST_GUILESS_MAIN(TestZvfeeSync)
#include "test_zvfee_sync.moc"
