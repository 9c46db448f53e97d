#include "Main.h"
#include "TRView.h"
#include "importedmarks.h"
#include "listrows.h"
#include "settings.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QStringList Texts(const QListWidget* list, bool selectedOnly = false) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        if (!selectedOnly || list->item(row)->isSelected())
            texts << list->item(row)->text();
    return texts;
}

/// How many colours the widget shows: 1 for a blank area.
int ColoursOf(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

/// The highest contrast of any pixel of the image against the colour: that of a text's pen.
double HighestContrast(const QImage& image, const QColor& background) {
    double highest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            highest = std::max(highest, ContrastRatio(image.pixelColor(x, y), background));
    return highest;
}

/// Creates empty files in a folder, fast: links to one file, no Qt file object per file.
void CreateEmptyFiles(const QString& folder, const QStringList& names) {
    QDir().mkpath(folder);
    const QByteArray first = QFile::encodeName(folder + u'/' + names.first());
    ::close(::open(first.constData(), O_CREAT | O_WRONLY, 0644));
    for (const QString& name : names.mid(1))
        QVERIFY(::link(first.constData(), QFile::encodeName(folder + u'/' + name).constData()) ==
                0);
}
} // namespace

/// Cancels the run of the window when its status line is painted with the count of a drop.
class CancelOnCount : public QObject {
public:
    explicit CancelOnCount(TMainForm& form) : m_form(form) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint &&
            m_form.TRStatus->text().startsWith(u"Reading the dropped files"_s))
            m_form.Runs->cancel();
        return false;
    }

private:
    TMainForm& m_form;
};

class TestMainHabits : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    std::unique_ptr<TMainForm> m_form;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    TMainForm& start() {
        m_form = std::make_unique<TMainForm>(path(u"ZVFee2.db3"_s), &m_messages);
        m_form->ShowAtStart();
        m_form->activateWindow();
        if (!QTest::qWaitForWindowActive(m_form.get()))
            qWarning("window not active");
        return *m_form;
    }

    /// Drops the paths onto the local list as the window system hands a drop over.
    void drop(const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QWidget* viewport = m_form->TRLocalList->viewport();
        QDragEnterEvent enter(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(viewport->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &dropped);
        QCOMPARE(dropped.isAccepted(), enter.isAccepted());
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
        for (const char* name : {"TR2024-05-01 A.txt", "TR2024-05-02 B.txt", "TR2024-05-03 C.txt"})
            WriteFileBytes(path(u"results/"_s + QLatin1String(name)), ResultsBlock(1));
        WriteFileBytes(path(u"results/notes.txt"_s), "x");
        WriteFileBytes(path(u"other/TR2024-06-01 D.txt"_s), ResultsBlock(2));
        QDir(m_dir->path()).mkdir(u"empty"_s);
    }
    void cleanup() { m_form.reset(); }

    void dropOntoTheLocalList_data() {
        QTest::addColumn<QStringList>("dropped"); // under the test folder
        QTest::addColumn<QString>("folder");      // shown afterwards ("" for none)
        QTest::addColumn<QStringList>("selected");
        QTest::newRow("a folder") << QStringList{"results"} << "results" << QStringList{};
        QTest::newRow("two files")
            << QStringList{"results/TR2024-05-03 C.txt", "results/TR2024-05-01 A.txt"} << "results"
            << QStringList{"TR2024-05-01 A.txt", "TR2024-05-03 C.txt"};
        QTest::newRow("files of two folders: the first one's")
            << QStringList{"results/notes.txt", "other/TR2024-06-01 D.txt",
                           "results/TR2024-05-02 B.txt"}
            << "other" << QStringList{"TR2024-06-01 D.txt"};
        QTest::newRow("a file and a folder: the folder")
            << QStringList{"results/TR2024-05-02 B.txt", "other"} << "other" << QStringList{};
        QTest::newRow("a file twice: selected once")
            << QStringList{"results/TR2024-05-02 B.txt", "results/TR2024-05-02 B.txt"} << "results"
            << QStringList{"TR2024-05-02 B.txt"};
        QTest::newRow("no results file") << QStringList{"results/notes.txt"} << "" << QStringList{};
    }
    void dropOntoTheLocalList() {
        QFETCH(QStringList, dropped);
        QFETCH(QString, folder);
        QFETCH(QStringList, selected);
        TMainForm& form = start();
        form.PageControl1->setCurrentWidget(form.DataPage);
        QStringList paths;
        for (const QString& p : dropped)
            paths << path(p);
        drop(paths);
        QCOMPARE(form.LocalFolder->text(), folder.isEmpty() ? QString() : path(folder));
        QCOMPARE(Texts(form.TRLocalList).size(), folder == u"results" ? 3
                                                 : folder.isEmpty()   ? 0
                                                                      : 1);
        QCOMPARE(Texts(form.TRLocalList, true), selected);
        if (!folder.isEmpty()) {
            QCOMPARE(form.PageControl1->currentWidget(), form.TournamentResultsPage);
            QCOMPARE(form.LFileLabel->text(),
                     form.TRLocalList->count() == 3 ? u"Files:  3"_s : u"Files:  1"_s);
        }
        if (!selected.isEmpty())
            QCOMPARE(form.TRLocalList->currentItem()->text(), selected.first());
        QCOMPARE(m_messages.texts(), QStringList());
    }

    void hintUntilAFolderIsChosen_data() {
        QTest::addColumn<QString>("listed"); // "" for none
        QTest::addColumn<bool>("hint");
        QTest::newRow("at the first start") << "" << true;
        QTest::newRow("a folder with files") << "results" << false;
        QTest::newRow("a folder without files") << "empty" << false;
    }
    void hintUntilAFolderIsChosen() {
        QFETCH(QString, listed);
        QFETCH(bool, hint);
        TMainForm& form = start();
        if (!listed.isEmpty())
            form.ListLocalFolder(path(listed));
        auto* list = qobject_cast<ResultsList*>(form.TRLocalList);
        QCOMPARE(list->showsEmptyHint(), hint);
        if (form.TRLocalList->count() == 0) // painted text, or nothing at all
            QCOMPARE(ColoursOf(list->viewport()) > 1, hint);
        if (hint) { // readable: 4.5:1 on the list, as the marks of imported files are
            const double contrast = HighestContrast(list->viewport()->grab().toImage(),
                                                    list->palette().color(QPalette::Base));
            QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
        }
    }

    /// Many files dropped at once: every one listed, the dropped ones selected, the focus mark on
    /// the first of them in list order.
    void dropOfTwentyThousandFiles() {
        constexpr int kDropped = 20'000;
        constexpr int kOthers = 500; // listed beside them, not dropped
        QStringList names;
        for (int i = 0; i < kDropped + kOthers; ++i)
            names << u"TR2024-01-01 %1.txt"_s.arg(i, 6, 10, QChar(u'0'));
        const QString folder = path(u"many"_s);
        CreateEmptyFiles(folder, names);
        QStringList dropped; // all but every 41st name, the last first: not in list order
        for (int i = kDropped + kOthers - 1; dropped.size() < kDropped; --i)
            if (i % 41 != 0)
                dropped << folder + u'/' + names[i];
        TMainForm& form = start();
        drop(dropped);
        QCOMPARE(form.TRLocalList->count(), kDropped + kOthers);
        QCOMPARE(form.LFileLabel->text(), u"Files:  %1"_s.arg(kDropped + kOthers));
        const QList<QListWidgetItem*> selected = form.TRLocalList->selectedItems();
        QCOMPARE(selected.size(), kDropped);
        QSet<QString> selectedNames;
        for (const QListWidgetItem* item : selected)
            selectedNames.insert(item->text());
        QVERIFY(!selectedNames.contains(names[0]));
        QVERIFY(!selectedNames.contains(names[41]));
        QVERIFY(selectedNames.contains(names[42]));
        QCOMPARE(form.TRLocalList->currentItem()->text(), names[1]);
        QCOMPARE(m_messages.texts(), QStringList());
    }

    /// A drop that is cancelled while its paths are read (here as soon as the status line counts
    /// them) changes nothing but the status line.
    void cancelledDropChangesNothing() {
        QStringList names;
        for (int i = 0; i < 2'500; ++i)
            names << u"TR2024-01-01 %1.txt"_s.arg(i);
        CreateEmptyFiles(path(u"many"_s), names);
        QStringList dropped;
        for (const QString& name : names)
            dropped << path(u"many/"_s + name);
        TMainForm& form = start();
        form.ListLocalFolder(path(u"results"_s));
        CancelOnCount cancel(form);
        form.TRStatus->installEventFilter(&cancel);
        drop(dropped);
        QCOMPARE(form.TRStatus->text(), u"Cancelled"_s);
        QCOMPARE(form.LocalFolder->text(), path(u"results"_s));
        QCOMPARE(form.TRLocalList->count(), 3);
        QVERIFY(form.TRLocalList->selectedItems().isEmpty());
        QVERIFY(!form.Runs->running());
        QVERIFY(form.RefreshBtn->isEnabled());
    }

    /// "zvfeestats PATH": a folder is listed; anything else is said in a box over the window.
    void startFolder_data() {
        QTest::addColumn<QString>("given"); // under the test folder, or absolute
        QTest::addColumn<QString>("message");
        QTest::newRow("a folder") << "results"
                                  << "";
        QTest::newRow("no such folder") << "/no/such/folder"
                                        << "\"/no/such/folder\" is not a folder.";
        QTest::newRow("a file") << "results/TR2024-05-01 A.txt"
                                << "\"%1\" is not a folder.";
    }
    void startFolder() {
        QFETCH(QString, given);
        QFETCH(QString, message);
        if (!given.startsWith(u'/'))
            given = path(given);
        TMainForm& form = start();
        form.ListStartFolder(given);
        QVERIFY(form.isVisible());
        if (message.isEmpty()) {
            QCOMPARE(m_messages.texts(), QStringList());
            QCOMPARE(form.TRLocalList->count(), 3);
            return;
        }
        QCOMPARE(m_messages.texts(),
                 QStringList{message.contains(u"%1"_s) ? message.arg(given) : message});
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(form.TRLocalList->count(), 0);
        QCOMPARE(form.LocalFolder->text(), QString());
    }

    /// The report list opens as wide as its widest caption; the closed box keeps its width.
    void reportListOpensWideEnough() {
        TMainForm& form = start();
        form.PageControl1->setCurrentWidget(form.ReportPage);
        const int closed = form.ReportList->width();
        form.ReportList->showPopup();
        QAbstractItemView* list = form.ReportList->view();
        QTRY_VERIFY(list->isVisible());
        for (int row = 0; row < form.ReportList->count(); ++row) {
            const QModelIndex item = list->model()->index(row, 0);
            QVERIFY2(list->sizeHintForIndex(item).width() <= list->viewport()->width(),
                     qPrintable(item.data().toString()));
        }
        QVERIFY(list->viewport()->width() > closed); // "Fees by TName & Player" is wider
        form.ReportList->hidePopup();
        QCOMPARE(form.ReportList->width(), closed);
    }

    void shortcutsAct_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("F5 lists the shown folder again") << "F5";
        QTest::newRow("F5 on Reports runs Load") << "F5 Reports";
        QTest::newRow("Ctrl+E exports") << "Ctrl+E";
        QTest::newRow("Ctrl+P prints") << "Ctrl+P";
        QTest::newRow("Ctrl+Q closes the window") << "Ctrl+Q";
        QTest::newRow("Ctrl+F in the viewer finds") << "Ctrl+F";
    }
    void shortcutsAct() {
        QFETCH(QString, key);
        TMainForm& form = start();
        QWidget* focus = form.RefreshBtn;
        if (key == u"F5") {
            form.ListLocalFolder(path(u"results"_s));
            WriteFileBytes(path(u"results/TR2024-05-04 E.txt"_s), ResultsBlock(4));
        } else if (key != u"Ctrl+F" && key != u"Ctrl+Q") {
            form.PageControl1->setCurrentWidget(form.ReportPage);
            form.SQLMemo->setPlainText(u"SELECT 1 AS x"_s);
            focus = form.LoadSQLBtn;
        }
        if (key == u"Ctrl+F") {
            form.TRViewForm->open(); // modal, as when it shows a file
            QApplication::setActiveWindow(form.TRViewForm);
            QVERIFY(QTest::qWaitForWindowActive(form.TRViewForm));
            form.TRViewForm->NextBtn->setFocus();
            QTest::keyClick(form.TRViewForm, Qt::Key_F, Qt::ControlModifier);
            QCOMPARE(form.TRViewForm->focusWidget(), form.TRViewForm->SearchBox);
            QVERIFY(form.TRViewForm->SearchBox->toolTip().contains(u"Ctrl+F"_s));
            form.TRViewForm->close();
            return;
        }
        focus->setFocus();
        const QKeyCombination combination =
            key.startsWith(u"F5") ? QKeyCombination(Qt::Key_F5)
            : key == u"Ctrl+E"    ? QKeyCombination(Qt::CTRL | Qt::Key_E)
            : key == u"Ctrl+P"    ? QKeyCombination(Qt::CTRL | Qt::Key_P)
                                  : QKeyCombination(Qt::CTRL | Qt::Key_Q);
        QTest::keyClick(&form, combination.key(), combination.keyboardModifiers());
        if (key == u"F5") {
            QCOMPARE(form.TRLocalList->count(), 4);
            QVERIFY(form.RefreshBtn->toolTip().contains(u"F5"_s));
        } else if (key == u"F5 Reports") {
            QCOMPARE(form.ReportGrid->model()->rowCount(), 1);
            QVERIFY(form.LoadSQLBtn->toolTip().contains(u"F5"_s));
        } else if (key == u"Ctrl+E") { // the view is not loaded: Export says so
            QCOMPARE(m_messages.texts(), QStringList{u"Report table is empty"_s});
            QVERIFY(form.ExportBtn->toolTip().contains(u"Ctrl+E"_s));
        } else if (key == u"Ctrl+P") { // likewise Print, before any dialog
            QCOMPARE(m_messages.texts(), QStringList{u"Report table is empty"_s});
            QVERIFY(form.PrintBtn->toolTip().contains(u"Ctrl+P"_s));
        } else {
            QVERIFY(!form.isVisible());
            QVERIFY(QFile::exists(SettingsStore::DefaultFilePath())); // written as at a close
        }
    }
};

QTEST_MAIN(TestMainHabits)
#include "test_mainhabits.moc"
