#include "importedmarks.h"
#include "mainlocalfixture.h"
#include "sourcepairs.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>
#include <functional>
#include <utility>

namespace {

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

class TestMainLocalImport : public QObject, MainLocalFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpBrowser(); }
    void cleanup() { TShBrowse::SetChooser({}); }

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

    // A folder's file imported after another folder's: refused through the general error display
    // when its tournament is another one under the same number, and nothing of it kept.
    void sourcePairs_data() {
        QTest::addColumn<int>("pair");
        const QList<SourcePair> pairs = SourcePairs();
        for (int i = 0; i < pairs.size(); ++i)
            QTest::newRow(pairs[i].row) << i;
    }
    void sourcePairs() {
        QFETCH(int, pair);
        const SourcePair p = SourcePairs()[pair];
        auto form = start();
        const auto importFolder = [&](const SourceFile& file) {
            const QString folder = path(QString(QChar(file.source)));
            WriteFileBytes(folder + u'/' + file.name, file.text);
            list(*form, folder);
            form->SelectAllBtn->click();
            m_messages.clear();
            form->ImportBtn->click();
        };
        importFolder(p.first);
        QCOMPARE(m_messages.texts(), QStringList{u"Tournaments with fees imported:  1"_s});
        const QStringList before = DatabaseRows(path(u"ZVFee2.db3"_s));
        importFolder(p.second);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].first,
                 p.refused ? MessageKind::GeneralError : MessageKind::Notice);
        QCOMPARE(m_messages.shown[0].second.contains(QLatin1StringView(kCollisionText)), p.refused);
        if (p.refused)
            QCOMPARE(DatabaseRows(path(u"ZVFee2.db3"_s)), before);
        QCOMPARE(MasterIdentities(path(u"ZVFee2.db3"_s)), p.master);
        QCOMPARE(form->db().transactionLevel(), 0);
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
};

QTEST_MAIN(TestMainLocalImport)
#include "test_mainlocalimport.moc"
