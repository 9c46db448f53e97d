#include "Main.h"
#include "ShBrowseU.h"
#include "TRView.h"
#include "filenames.h"
#include "importedmarks.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

/// Records the text of a status panel every time it is painted, and calls `painted` then.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QLabel* label, std::function<void()> painted = {})
        : m_label(label), m_painted(std::move(painted)) {
        label->installEventFilter(this);
    }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.last() != m_label->text()))
            texts << m_label->text();
        if (event->type() == QEvent::Paint && m_painted)
            m_painted();
        return QObject::eventFilter(watched, event);
    }

private:
    QLabel* m_label;
    std::function<void()> m_painted;
};

/// Records messages, each shown for a moment in a real modal box that blocks the main window as
/// the window's own boxes do; notes whether the main window was still open then.
class ModalBoxMessages : public RecordingMessages {
public:
    explicit ModalBoxMessages(const QWidget& window) : m_window(window) {}
    bool show(MessageKind kind, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QString(), text);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QApplication::processEvents();
        windowOpen << m_window.isVisible();
        return RecordingMessages::show(kind, text);
    }
    QList<bool> windowOpen;

private:
    const QWidget& m_window;
};

} // namespace

// How the window system hands the application a request to close a window (its close button,
// Alt+F4): queued until the application takes its events. Qt exports it for its platform
// plugins; its header is not installed, so it is declared here.
class QWindowSystemInterface {
public:
    struct AsynchronousDelivery {};
    template <typename Delivery> static bool handleCloseEvent(QWindow* window);
};

class TestMainLocal : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    QList<TShBrowse> m_browsed;              // the folder browser as each listing set it up
    QList<std::optional<QString>> m_answers; // what the browser answers, in turn

    QString path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>(path(u"ZVFee2.db3"_s), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }

    /// A results folder with the files 01..count, each one tournament.
    QString resultsFolder(int count) {
        const QString folder = path(u"results"_s);
        for (int n = 1; n <= count; ++n)
            WriteFileBytes(folder + u"/TR2024-05-%1 Game.txt"_s.arg(n, 2, 10, QChar(u'0')),
                           ResultsBlock(n));
        return folder;
    }

    /// Lists a folder through the window, the browser answering it.
    void list(TMainForm& form, const QString& folder) {
        m_answers = {folder};
        form.RefreshBtn->click();
    }

    QStringList masterNumbers(TMainForm& form) {
        QStringList numbers;
        Statement s = form.db().Prepare16(u"SELECT TNumber FROM Master ORDER BY TNumber"_s);
        while (form.db().Step(s))
            numbers << QString::number(sqlite3_column_int(s.get(), 0));
        return numbers;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", path(u"config"_s).toUtf8());
        qputenv("XDG_DATA_HOME", path(u"data"_s).toUtf8());
        m_messages.clear();
        m_browsed.clear();
        m_answers.clear();
        TShBrowse::SetChooser([this](const TShBrowse& browse) {
            m_browsed << browse;
            return m_answers.isEmpty() ? std::nullopt : m_answers.takeFirst();
        });
    }
    void cleanup() { TShBrowse::SetChooser({}); }

    void listingShowsTheBrowserEveryTime() {
        const QString folder = resultsFolder(3);
        WriteFileBytes(folder + u"/tr5.TXT"_s, "x");
        WriteFileBytes(folder + u"/notes.txt"_s, "x");
        QDir().mkpath(folder + u"/TRx.txt"_s);
        QDir().mkpath(path(u"data/Zorvane 3/TourneyResults"_s));
        auto form = start();

        list(*form, folder);
        QCOMPARE(m_browsed.size(), 1);
        QCOMPARE(m_browsed[0].Caption(), u"Browse for folder"_s);
        QCOMPARE(m_browsed[0].UserMessage(), u"Select tournament results folder"_s);
        QCOMPARE(m_browsed[0].InitFolder(), path(u"data/Zorvane 3/TourneyResults"_s));
        QCOMPARE(Sorted(Texts(form->TRLocalList)),
                 (QStringList{u"TR2024-05-01 Game.txt"_s, u"TR2024-05-02 Game.txt"_s,
                              u"TR2024-05-03 Game.txt"_s, u"TRx.txt"_s, u"tr5.TXT"_s}));
        QCOMPARE(form->LocalFolder->text(), folder);
        QCOMPARE(form->LastFolder, folder);
        QCOMPARE(form->LFileLabel->text(), u"Files:  5"_s);
        QCOMPARE(form->TRLocalList->currentRow(), 0);
        QVERIFY(form->TRLocalList->selectedItems().isEmpty());
        QCOMPARE(m_messages.texts(), QStringList{});

        // Again on the same folder: the browser opens again, on the last folder.
        list(*form, folder);
        QCOMPARE(m_browsed.size(), 2);
        QCOMPARE(m_browsed[1].InitFolder(), folder);

        // Cancelled: the tab is emptied, the last folder kept.
        form->RefreshBtn->click();
        QCOMPARE(m_browsed.size(), 3);
        QCOMPARE(form->TRLocalList->count(), 0);
        QCOMPARE(form->LocalFolder->text(), QString());
        QCOMPARE(form->LFileLabel->text(), u"Files:  0"_s);
        QCOMPARE(form->LastFolder, folder);
        QCOMPARE(m_messages.texts(), QStringList{});
    }

    void emptyFolderSaysNoFilesFound() {
        QDir().mkpath(path(u"empty"_s));
        auto form = start();
        list(*form, path(u"empty"_s));
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::Information);
        QCOMPARE(m_messages.shown[0].second, u"No files found"_s);
        QCOMPARE(form->LFileLabel->text(), u"Files:  0"_s);
        QCOMPARE(form->LocalFolder->text(), path(u"empty"_s));
    }

    void secondOfThreeUnreadableThroughTheWindow_data() {
        QTest::addColumn<QString>("suffix"); // what the browser adds to the folder
        QTest::newRow("folder as the browser gives it") << QString();
        QTest::newRow("folder ending in a delimiter") << u"/"_s;
    }
    void secondOfThreeUnreadableThroughTheWindow() {
        QFETCH(QString, suffix);
        const QString folder = resultsFolder(3);
        auto form = start();
        list(*form, folder + suffix);
        QCOMPARE(form->LocalFolder->text(), folder + suffix);
        form->PageControl1->setCurrentWidget(form->DataPage);
        form->DBOpenBtn->click();
        QVERIFY(!form->MasterStatus->text().isEmpty());
        form->PageControl1->setCurrentWidget(form->TournamentResultsPage);

        // Selected in list order; the second one goes before the import.
        QStringList names = Texts(form->TRLocalList);
        form->SelectAllBtn->click();
        QVERIFY(QFile::remove(folder + u'/' + names[1]));
        m_messages.clear();
        form->ImportBtn->click();

        QCOMPARE(m_messages.texts(), (QStringList{u"Error loading "_s + folder + u'/' + names[1],
                                                  u"Tournaments with fees imported:  1"_s}));
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(m_messages.shown[1].first, MessageKind::Notice);
        // "TR2024-05-NN Game.txt" holds tournament NN.
        QCOMPARE(masterNumbers(*form), QStringList{QString::number(names[0].mid(10, 2).toInt())});
        QCOMPARE(form->TRStatus->text(), QString());
        QCOMPARE(form->MasterStatus->text(), QString()); // the fee views were closed
    }

    void selectedItemsInListOrder() {
        resultsFolder(10);
        auto form = start();
        list(*form, path(u"results"_s));
        const QStringList names = Texts(form->TRLocalList);
        QCOMPARE(names.size(), 10);
        // Selected in reverse; read in list order.
        for (int row : {6, 3, 0})
            form->TRLocalList->item(row)->setSelected(true);
        PaintRecorder status(form->TRStatus);
        form->ImportBtn->click();
        QCOMPARE(status.texts, (QStringList{u"Loading (1 of 3):  "_s + names[0],
                                            u"Loading (2 of 3):  "_s + names[3],
                                            u"Loading (3 of 3):  "_s + names[6],
                                            u"Updating database ..."_s, QString()}));
        QCOMPARE(m_messages.texts(), QStringList{u"Tournaments with fees imported:  3"_s});
    }

    void failedRunRollsBackAndTheNextOneWorks() {
        const QString folder = resultsFolder(2);
        // Its first tournament is written before the second one's start fails.
        WriteFileBytes(folder + u"/TR2024-05-09 Bad.txt"_s,
                       ResultsBlock(8) + ResultsBlock(9, "1", "2024-05-09 8:00:00"));
        auto form = start();
        list(*form, folder);
        form->SelectAllBtn->click();
        m_messages.clear();
        form->ImportBtn->click();

        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first, MessageKind::GeneralError);
        QCOMPARE(m_messages.shown[0].second, u"'8:' is not a valid integer value."_s);
        QVERIFY(form->TRStatus->text().startsWith(u"Loading ("_s));
        QCOMPARE(masterNumbers(*form), QStringList{});
        QCOMPARE(form->db().transactionLevel(), 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        for (int row = 0; row < form->TRLocalList->count(); ++row)
            form->TRLocalList->item(row)->setSelected(
                !form->TRLocalList->item(row)->text().contains(u"Bad"));
        m_messages.clear();
        form->ImportBtn->click();
        QCOMPARE(m_messages.texts(), QStringList{u"Tournaments with fees imported:  2"_s});
        QCOMPARE(masterNumbers(*form), (QStringList{u"1"_s, u"2"_s}));
    }

    // Imported files are drawn in a muted colour that stays readable, with a tooltip; a file that
    // changed since, and every file after "Empty", is drawn as any other.
    void importedItemsMarked() {
        const QString folder = resultsFolder(3);
        auto form = start();
        list(*form, folder);
        const QStringList names = Texts(form->TRLocalList);
        const QPalette palette = form->TRLocalList->palette();
        const QColor muted =
            MarkedTextColor(palette.color(QPalette::Text), palette.color(QPalette::Base));
        QVERIFY(muted != palette.color(QPalette::Text));
        QVERIFY(ContrastRatio(muted, palette.color(QPalette::Base)) >= 4.5);
        const auto marks = [&] {
            QStringList out;
            for (int row = 0; row < form->TRLocalList->count(); ++row) {
                const QListWidgetItem* item = form->TRLocalList->item(row);
                const QVariant colour = item->data(Qt::ForegroundRole);
                out << (colour.isValid() ? colour.value<QBrush>().color() == muted
                                               ? u"muted"_s
                                               : u"other colour"_s
                                         : u"plain"_s) +
                           u' ' +
                           item->toolTip().replace(
                               QRegularExpression(u"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d"_s),
                               u"TIME"_s);
            }
            return out;
        };
        const QString imported = u"muted Imported TIME, 1 tournaments"_s;
        QCOMPARE(marks(), (QStringList{u"plain "_s, u"plain "_s, u"plain "_s}));

        form->TRLocalList->item(0)->setSelected(true);
        form->TRLocalList->item(2)->setSelected(true);
        form->ImportBtn->click();
        QCOMPARE(marks(), (QStringList{imported, u"plain "_s, imported}));
        QCOMPARE(Texts(form->TRLocalList), names);
        QCOMPARE(form->TRLocalList->selectedItems().size(), 2);

        WriteFileBytes(folder + u'/' + names[0], ResultsBlock(1, "3"));
        list(*form, folder);
        QCOMPARE(marks(), (QStringList{u"plain "_s, u"plain "_s, imported}));

        form->EmptyDBBtn->click();
        QCOMPARE(marks(), (QStringList{u"plain "_s, u"plain "_s, u"plain "_s}));
    }

    void noSelection() {
        resultsFolder(2);
        auto form = start();
        list(*form, path(u"results"_s));
        m_messages.clear();
        form->ImportBtn->click();
        QCOMPARE(m_messages.texts(), QStringList{u"No tournament result files selected"_s});
        QCOMPARE(m_messages.shown[0].first, MessageKind::Error);
        QCOMPARE(form->TRStatus->text(), QString());
    }

    void selectAllActsOnTheActiveTab() {
        resultsFolder(3);
        auto form = start();
        list(*form, path(u"results"_s));
        form->TRRemoteList->addItems({u"TR2024-01-01 A.txt"_s, u"TR2024-01-02 B.txt"_s});

        form->SelectAllBtn->click();
        QCOMPARE(form->TRLocalList->selectedItems().size(), 3);
        QCOMPARE(form->TRRemoteList->selectedItems().size(), 0);

        form->TRLocalList->clearSelection();
        form->PageControl2->setCurrentWidget(form->RemotePage);
        form->SelectAllBtn->click();
        QCOMPARE(form->TRLocalList->selectedItems().size(), 0);
        QCOMPARE(form->TRRemoteList->selectedItems().size(), 2);
    }

    void ctrlASelectsAllAndTypesNothing() {
        resultsFolder(3);
        auto form = start();
        list(*form, path(u"results"_s));
        form->TRRemoteList->addItems({u"TR2024-01-01 A.txt"_s, u"TR2024-01-02 B.txt"_s});
        for (QListWidget* listWidget : {form->TRLocalList, form->TRRemoteList}) {
            form->PageControl2->setCurrentWidget(
                listWidget == form->TRLocalList ? form->LocalPage : form->RemotePage);
            listWidget->setFocus();
            listWidget->setCurrentRow(1, QItemSelectionModel::NoUpdate);
            QTest::keyClick(listWidget, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(listWidget->selectedItems().size(), listWidget->count());
            QCOMPARE(listWidget->currentRow(), 1);
        }
    }

    // A double click anywhere in a list acts as "View Selected File": on an item it views that
    // item, on the empty space the list's current item, and an empty list says so.
    // A file name that is not valid UTF-8 is listed with a replacement character, and the file
    // is viewed and imported by its own bytes.
    void nameNotUtf8ListedViewedAndImported() {
        const QString folder = resultsFolder(1);
        const QByteArray raw = EncodeFileName(folder) + "/TRbad\xff.txt";
        const QByteArray text = ResultsBlock(7);
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, text.constData(), size_t(text.size())), ssize_t(text.size()));
        ::close(fd);
        const auto removeRaw = qScopeGuard([&] { ::unlink(raw.constData()); });
        auto form = start();
        form->PageControl2->setCurrentIndex(0);
        list(*form, folder);
        const QString shown = u"TRbad\uFFFD.txt"_s;
        QCOMPARE(Texts(form->TRLocalList), (QStringList{u"TR2024-05-01 Game.txt"_s, shown}));
        QCOMPARE(form->LFileLabel->text(), u"Files:  2"_s);

        QStringList viewed;
        form->TRViewForm->setModalRunner(
            [&](TTRViewForm& viewer) { viewed << viewer.windowTitle() << viewer.lines().first(); });
        form->TRLocalList->setCurrentRow(1);
        form->LoadTRBtn->click();
        QCOMPARE(m_messages.texts(), QStringList());
        QCOMPARE(viewed, (QStringList{shown, u"Tournament=T7"_s}));

        form->TRLocalList->item(1)->setSelected(true);
        form->ImportBtn->click();
        QCOMPARE(m_messages.texts(), QStringList{u"Tournaments with fees imported:  1"_s});
        QCOMPARE(masterNumbers(*form), QStringList{u"7"_s});
        QVERIFY(!form->TRLocalList->item(1)->toolTip().isEmpty()); // marked as imported
    }

    void doubleClickActsAsViewSelectedFile_data() {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("row"); // the item double-clicked, -1: the empty space below
        QTest::addColumn<QString>("outcome");
        QTest::newRow("item") << false << 3 << 2 << "viewed 2";
        QTest::newRow("empty space") << false << 3 << -1 << "viewed 1";
        QTest::newRow("empty local list")
            << false << 0 << -1 << "No tournament result files selected in list";
        QTest::newRow("empty remote list") << true << 0 << -1 << "No result file selected in list";
    }
    void doubleClickActsAsViewSelectedFile() {
        QFETCH(bool, remote);
        QFETCH(int, files);
        QFETCH(int, row);
        QFETCH(QString, outcome);
        resultsFolder(files);
        auto form = start();
        QStringList outcomes;
        form->TRViewForm->setModalRunner([&](TTRViewForm& viewer) {
            const auto item = form->TRLocalList->findItems(viewer.windowTitle(), Qt::MatchExactly);
            outcomes << u"viewed %1"_s.arg(item.isEmpty() ? -1 : form->TRLocalList->row(item[0]));
        });
        if (files > 0)
            list(*form, path(u"results"_s));
        form->PageControl2->setCurrentIndex(remote ? 1 : 0);
        form->APIPW->setText(u"pw"_s);
        QListWidget* listWidget = remote ? form->TRRemoteList : form->TRLocalList;
        if (files > 1) // the focus mark on the second item
            QTest::mouseClick(listWidget->viewport(), Qt::LeftButton, {},
                              listWidget->visualItemRect(listWidget->item(1)).center());
        const QPoint at = row >= 0 ? listWidget->visualItemRect(listWidget->item(row)).center()
                                   : QPoint(20, listWidget->viewport()->height() - 5);
        m_messages.clear();
        QTest::mouseClick(listWidget->viewport(), Qt::LeftButton, {}, at); // its first click
        QTest::mouseDClick(listWidget->viewport(), Qt::LeftButton, {}, at);
        outcomes << m_messages.texts();
        QCOMPARE(outcomes, QStringList{outcome});
    }

    // The window closed during an import run closes when the run ends, also when it fails.
    void closeDuringAnImportClosesWhenItEnds_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("message");
        QTest::newRow("run") << false << u"Tournaments with fees imported:  2"_s;
        QTest::newRow("failed run") << true << u"'8:' is not a valid integer value."_s;
    }
    void closeDuringAnImportClosesWhenItEnds() {
        QFETCH(bool, fails);
        QFETCH(QString, message);
        const QString folder = resultsFolder(2);
        if (fails)
            WriteFileBytes(folder + u"/TR2024-05-09 Bad.txt"_s,
                           ResultsBlock(9, "1", "2024-05-09 8:00:00"));
        auto form = start();
        ModalBoxMessages boxes(*form);
        form->setMessages(&boxes);
        list(*form, folder);
        form->SelectAllBtn->click();
        bool asked = false;
        PaintRecorder closeAsked(form->TRStatus, [&] {
            if (!std::exchange(asked, true))
                QWindowSystemInterface::handleCloseEvent<
                    QWindowSystemInterface::AsynchronousDelivery>(form->windowHandle());
        });
        form->ImportBtn->click();
        QVERIFY(asked);
        QCOMPARE(boxes.texts(), QStringList{message});
        QCOMPARE(boxes.windowOpen, QList<bool>{true});
        QVERIFY(!form->isVisible());
        QVERIFY(QFile::exists(path(u"config/Kestrelle/ZVFeeStats.ini"_s))); // closed as ever
        form->setMessages(nullptr);
    }

    // The real dialog: caption, the message above the tree, the start folder; cancel keeps Folder.
    void realBrowserDialog() {
        TShBrowse::SetChooser({});
        QDir().mkpath(path(u"start"_s));
        TShBrowse browse;
        browse.setCaption(u"Browse for folder"_s);
        browse.setUserMessage(u"Select tournament results folder"_s);
        browse.setInitFolder(path(u"start"_s));
        QString title, message, directory;
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            title = dialog->windowTitle();
            if (auto* label = dialog->findChild<QLabel*>(u"UserMessage"_s))
                message = label->text();
            directory = dialog->directory().absolutePath();
            answered = true;
            dialog->reject();
        });
        QVERIFY(!browse.Execute());
        QVERIFY(answered);
        QCOMPARE(title, u"Browse for folder"_s);
        QCOMPARE(message, u"Select tournament results folder"_s);
        QCOMPARE(directory, path(u"start"_s));
        QCOMPARE(browse.Folder(), QString());
        QVERIFY(browse.Left() != 0 || browse.Top() != 0);
    }
};

QTEST_MAIN(TestMainLocal)
#include "test_mainlocal.moc"
