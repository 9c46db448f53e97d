#pragma once

#include "Main.h"
#include "ShBrowseU.h"
#include "testsupport.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

inline QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

/// A main window over a fee database in a temporary folder, its folder browser answered in turn.
class MainLocalFixture {
protected:
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

    /// For each test's init: a new folder as the settings' and data's home, no messages, and
    /// the browser answering from m_answers.
    void setUpBrowser() {
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
};
