// The fee database follows its results folder: after any sequence of file operations and an
// import of the new or changed files (zvfee import --new, a running zvfee watch, or the same run
// in this process), it holds what a fresh import of the files present gives, plus the
// tournaments of the files that went away. With two folders whose tournaments share numbers (the
// results of two servers), a file of one that holds a number the other holds is left out, and no
// tournament of one is ever replaced by the other's.

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

/// The file a letter of an operation stands for; X has a name that is not valid UTF-8. A letter
/// after "2:" is a file of the second folder.
QString FileName(const QString& letter) {
    const QString name = letter.startsWith(u"2:") ? letter.mid(2) : letter;
    if (name == u"X")
        return DecodeFileName("TRbad\xff.txt");
    return u"TR"_s + name + u".txt"_s;
}

/// The folder of a file: 1 or 2.
int SourceOf(const QString& letter) {
    return letter.startsWith(u"2:") ? 2 : 1;
}

/// Every tournament of a folder has one content for ever, its fee from its number, so the
/// expected database is the import of a list of numbers. The second folder's tournaments start
/// at another time: the same number there is another tournament. Numbers of three digits keep a
/// rewrite's size.
QByteArray Blocks(const QList<int>& numbers, int source = 1) {
    QByteArray text;
    for (const int n : numbers)
        text += ResultsBlock(n, QByteArray::number(1 + n % 9),
                             source == 1 ? "2024-05-03 19:00:00" : "2025-02-01 18:00:00");
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

/// The start of every tournament in Master, by number.
QMap<QString, QString> Starts(const QString& dbPath) {
    FeeDatabase db;
    db.setDatabaseName(dbPath);
    db.Open();
    QMap<QString, QString> starts;
    Statement stmt = db.Prepare16(u"SELECT TNumber, Date || ' ' || Time FROM Master"_s);
    while (db.Step(stmt))
        starts.insert(
            QString::number(sqlite3_column_int(stmt.get(), 0)),
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1))));
    return starts;
}

/// Imports the files in one run, as "zvfee import --new" does when each stands alone; returns
/// the paths of the files left out.
QStringList ImportInProcess(const QString& dbPath, const QStringList& paths,
                            ImportRunKind kind = ImportRunKind::Whole) {
    FeeDatabase db;
    OpenOrCreateFeeDatabase(db, dbPath);
    QList<ImportRunFile> run;
    for (const QString& path : paths)
        run.append({path, path});
    RecordingMessages messages;
    QStringList failed;
    for (const FailedFile& file : ImportResultsFiles(
                                      run, db, messages, [](const QString&) {}, {}, kind)
                                      .failed)
        failed << file.path;
    return failed;
}

/// A results folder, the folder that files are moved away to, and what the database should
/// hold after each import of the new or changed files.
class Scene {
public:
    Scene()
        : m_results(m_dir.filePath(u"results"_s)), m_results2(m_dir.filePath(u"results2"_s)),
          m_away(m_dir.filePath(u"away"_s)) {
        QDir().mkpath(m_results);
        QDir().mkpath(m_results2);
        QDir().mkpath(m_away);
    }
    ~Scene() { // QDir cannot remove a name that is not UTF-8
        std::error_code ignored;
        std::filesystem::remove_all(EncodeFileName(m_dir.path()).toStdString(), ignored);
    }
    QString results() const { return m_results; }
    QString results2() const { return m_results2; }
    QString db() const { return m_dir.filePath(u"fees.db3"_s); }
    QString path(const QString& letter) const {
        return (SourceOf(letter) == 1 ? m_results : m_results2) + u'/' + FileName(letter);
    }
    /// The letter of a path of either folder.
    QString letterOf(const QString& path) const {
        for (auto it = m_present.cbegin(); it != m_present.cend(); ++it)
            if (this->path(it.key()) == path)
                return it.key();
        return {};
    }

    /// "write A 101 102" (also to cut or empty), "keep-mtime A 101 104" (rewritten with its
    /// modification time put back), "append A 105", "rename A B" (over B), "away A".
    void apply(const QString& op) {
        const QStringList w = op.split(u' ', Qt::SkipEmptyParts);
        const QString path = this->path(w.value(1));
        const int source = SourceOf(w.value(1));
        QList<int> numbers;
        for (const QString& n : w.mid(2))
            numbers << n.toInt();
        if (w[0] == u"write" || w[0] == u"keep-mtime") {
            struct stat before = {};
            const bool keep =
                w[0] == u"keep-mtime" && ::stat(EncodeFileName(path).constData(), &before) == 0;
            WriteRaw(path, Blocks(numbers, source));
            if (keep) {
                const struct timespec times[2] = {before.st_atim, before.st_mtim};
                QCOMPARE(::utimensat(AT_FDCWD, EncodeFileName(path).constData(), times, 0), 0);
            }
            m_present[w[1]] = numbers;
        } else if (w[0] == u"append") {
            WriteRaw(path, Blocks(numbers, source), true);
            m_present[w[1]] += numbers;
        } else if (w[0] == u"rename") {
            const QString to = this->path(w[2]); // in the same folder
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
    void imported(const QString& letter) { m_recorded[letter] = m_present.value(letter); }

    /// The folder whose tournament the database holds under the number: every recorded file,
    /// present or gone, holds what it held when it was last taken; 0 for none, -1 for both.
    int owner(int number) const {
        int owner = 0;
        for (auto it = m_recorded.cbegin(); it != m_recorded.cend(); ++it)
            if (it->contains(number))
                owner = owner == 0 || owner == SourceOf(it.key()) ? SourceOf(it.key()) : -1;
        return owner;
    }
    /// Whether a recorded file of the folder, present or gone, holds the number.
    bool holds(int source, int number) const {
        for (auto it = m_recorded.cbegin(); it != m_recorded.cend(); ++it)
            if (SourceOf(it.key()) == source && it->contains(number))
                return true;
        return false;
    }
    /// Whether a run would leave the file out: it holds a number of the other folder's.
    bool refuses(const QString& letter) const {
        for (const int n : m_present.value(letter))
            if (const int o = owner(n); o != 0 && o != SourceOf(letter))
                return true;
        return false;
    }

    /// The numbers of a folder's tournaments that the database should hold.
    QList<int> expectedNumbers(int source = 1) const {
        QSet<int> all;
        for (auto it = m_recorded.cbegin(); it != m_recorded.cend(); ++it)
            if (SourceOf(it.key()) == source)
                all.unite(QSet<int>(it->begin(), it->end()));
        QList<int> sorted(all.begin(), all.end());
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

    /// What a fresh database gets from the import of the expected tournaments of both folders
    /// (nothing when both claim a number: that import fails).
    QStringList expected() {
        const QString freshDb = m_dir.filePath(u"fresh/fees.db3"_s);
        QFile::remove(freshDb);
        QStringList files;
        for (const int source : {1, 2}) {
            files << m_dir.filePath(u"fresh/%1.txt"_s.arg(source));
            WriteFileBytes(files.last(), Blocks(expectedNumbers(source), source));
        }
        try {
            ImportInProcess(freshDb, files);
        } catch (const std::exception& e) {
            return {QString::fromUtf8(e.what())};
        }
        return Dump(freshDb);
    }

    QMap<QString, QList<int>> m_present; // by letter
    QMap<QString, QList<int>> m_recorded;

private:
    QTemporaryDir m_dir;
    QString m_results;
    QString m_results2;
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
        scene.imported();
        if (watcher) {
            QVERIFY2(Becomes(scene.db(), scene.expected(), 30000), qPrintable(op));
        } else {
            QVERIFY(RunZvfee({u"import"_s, u"--new"_s, u"--db"_s, scene.db(), scene.results()}));
            QVERIFY2(Becomes(scene.db(), scene.expected(), 0), qPrintable(op));
        }
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

// Random operations on a few files of two folders whose tournaments share numbers, imported the
// way "zvfee import --new FOLDER1 FOLDER2" imports them, each file on its own, after every one to
// three operations. Each time, the files left out are those that hold a number of the other
// folder's, and no tournament in the database becomes the other folder's; at the end the
// database equals a fresh import of what the files taken held. ZV_SYNC_SEQUENCES runs more than
// the default 20.
void TestZvfeeSync::randomSequences() {
    const int sequences = qEnvironmentVariableIntValue("ZV_SYNC_SEQUENCES") > 0
                              ? qEnvironmentVariableIntValue("ZV_SYNC_SEQUENCES")
                              : 20;
    const quint32 seed = qEnvironmentVariableIsSet("ZV_SYNC_SEED")
                             ? qgetenv("ZV_SYNC_SEED").toUInt()
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QStringList letters = {u"A"_s, u"B"_s, u"C"_s, u"X"_s, u"2:A"_s, u"2:B"_s, u"2:X"_s};
    int unequal = 0;
    int refusals = 0;
    for (int s = 0; s < sequences; ++s) {
        Scene scene;
        QStringList done;
        QStringList faults;
        const int length = 4 + random.bounded(8);
        for (int i = 0; i < length; ++i) {
            const QString a = letters[random.bounded(letters.size())];
            QStringList sameFolder = letters;
            sameFolder.removeIf([&a](const QString& l) { return SourceOf(l) != SourceOf(a); });
            const QString b = sameFolder[random.bounded(sameFolder.size())];
            const bool present = scene.m_present.contains(a);
            const QList<int> held = scene.m_present.value(a);
            // Few numbers, so that the folders meet on them.
            const auto fresh = [&random] { return QString::number(100 + random.bounded(12)); };
            QString op;
            switch (present ? random.bounded(6) : 0) {
            case 0: { // a new content: some of what it held, some new
                QStringList numbers;
                for (const int n : held)
                    if (random.bounded(2))
                        numbers << QString::number(n);
                for (int k = random.bounded(3); k > 0; --k)
                    if (const QString n = fresh(); !numbers.contains(n))
                        numbers << n;
                op = (u"write "_s + a + u' ' + numbers.join(u' ')).trimmed();
                break;
            }
            case 1: // one tournament replaced by another: the same size
                if (held.isEmpty())
                    op = u"write "_s + a;
                else
                    op = u"keep-mtime %1 %2"_s.arg(a, fresh());
                break;
            case 2:
                op = u"append %1 %2"_s.arg(a, fresh());
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

            const QStringList paths = ResultsFilesOf({scene.results(), scene.results2()});
            FeeDatabase db;
            OpenOrCreateFeeDatabase(db, scene.db());
            const NewFiles changed = NewOrChangedFiles(db, paths);
            db.Close();
            const QMap<QString, QString> before = Starts(scene.db());
            const QStringList failed =
                ImportInProcess(scene.db(), changed.paths, ImportRunKind::EachFile);
            refusals += int(failed.size());
            // The files of the run in turn: each one taken changes what the next one meets.
            for (const QString& path : changed.paths) {
                const QString letter = scene.letterOf(path);
                if (scene.refuses(letter) != failed.contains(path))
                    faults << u"%1 %2"_s.arg(FileName(letter),
                                             failed.contains(path) ? u"left out"_s : u"taken"_s);
                if (!failed.contains(path))
                    scene.imported(letter);
            }
            // No tournament that a folder still holds became the other folder's (its start
            // tells); one that its last file dropped is free for the other.
            const QMap<QString, QString> after = Starts(scene.db());
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                if (after.contains(it.key()) && after[it.key()] != *it &&
                    scene.holds(it->startsWith(u"2024"_s) ? 1 : 2, it.key().toInt()))
                    faults << u"tournament %1 replaced"_s.arg(it.key());
        }
        if (Dump(scene.db()) != scene.expected())
            faults << u"unlike a fresh import"_s;
        if (!faults.isEmpty()) {
            ++unequal;
            qWarning("after: %s: %s", qPrintable(done.join(u"; "_s)),
                     qPrintable(faults.join(u", "_s)));
        }
    }
    qInfo("%d random sequences over two folders (seed %u), %d files left out, %d ended unequal",
          sequences, seed, refusals, unequal);
    QCOMPARE(unequal, 0);
}

QTEST_GUILESS_MAIN(TestZvfeeSync)
#include "test_zvfee_sync.moc"
