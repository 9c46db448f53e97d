#pragma once

#include "Main.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

/// Answers every message box the window shows with OK, noting what its text label holds and
/// whether the label renders it as plain text.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            texts << label->text();
            plain << (label->textFormat() == Qt::PlainText);
            centres << box->geometry().center();
            overShownWindow << (box->parentWidget() && box->parentWidget()->isVisible());
            box->accept();
        });
        m_timer.start(5);
    }
    QStringList texts;
    QList<bool> plain;
    QList<QPoint> centres;
    QList<bool> overShownWindow;

private:
    QTimer m_timer;
};

/// A main window over a fee database and a settings file in a fresh temporary folder.
class MainWindowFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;

    /// For each test's init: a new folder as the settings' home and no messages.
    void setUpFolder() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_messages.clear();
    }
    QString settingsFile() const {
        return m_dir->filePath(QStringLiteral("Kestrelle/ZVFeeStats.ini"));
    }
    QString dbFile() const { return m_dir->filePath(QStringLiteral("ZVFee2.db3")); }
    QString stored(const char* name) const {
        return QSettings(settingsFile(), QSettings::IniFormat)
            .value(QStringLiteral("ZVFee/") + QLatin1String(name), QStringLiteral("<missing>"))
            .toString();
    }
    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>(dbFile(), &m_messages);
        form->ShowAtStart();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }
};
