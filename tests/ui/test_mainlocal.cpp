#include "TRView.h"
#include "filenames.h"
#include "mainlocalfixture.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

namespace {
QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}
} // namespace

class TestMainLocal : public QObject, MainLocalFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpBrowser(); }
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

    /// The folder tree shows what a folder holds: the results files greyed, not selectable, and
    /// no other files; the folders stay selectable.
    void browserShowsTheResultsFilesGreyed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("selectable");
        QTest::newRow("a results file") << "TR2024-05-03 A.txt" << true << false;
        QTest::newRow("letter case ignored") << "tr5.TXT" << true << false;
        QTest::newRow("another file") << "notes.txt" << false << false;
        QTest::newRow("a folder") << "sub" << true << true;
    }
    void browserShowsTheResultsFilesGreyed() {
        QFETCH(QString, name);
        QFETCH(bool, shown);
        QFETCH(bool, selectable);
        const QString folder = path(u"start"_s);
        for (const char* file : {"TR2024-05-03 A.txt", "tr5.TXT", "notes.txt"})
            WriteFileBytes(folder + u'/' + QLatin1String(file), "x");
        QDir().mkpath(folder + u"/sub"_s);
        TShBrowse browse;
        browse.setInitFolder(folder);
        QFileDialog dialog;
        browse.Configure(dialog);
        auto* files = dialog.findChild<QFileSystemModel*>();
        QVERIFY(files);
        dialog.show();
        QTRY_VERIFY(files->rowCount(files->index(folder)) == 4);
        QAbstractProxyModel* tree = dialog.proxyModel();
        QVERIFY(tree);
        const QModelIndex item = tree->mapFromSource(files->index(folder + u'/' + name));
        QCOMPARE(item.isValid(), shown);
        if (shown) // greyed is not enabled
            QCOMPARE(tree->flags(item) & (Qt::ItemIsSelectable | Qt::ItemIsEnabled),
                     selectable ? Qt::ItemFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled)
                                : Qt::ItemFlags());
    }
};

QTEST_MAIN(TestMainLocal)
#include "test_mainlocal.moc"
