#include "aboutbox.h"

#include "programicon.h"
#include "version.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <sqlite3.h>

QString AboutText(const QString& databasePath, bool databaseOpen, const QString& settingsFile,
                  const QString& profile) {
    return QStringLiteral("ZV Fee Stats %1\n\n%7"
                          "Fee database: %2%3\n"
                          "Settings file: %4\n\n"
                          "Qt %5, SQLite %6\n\n"
                          "Licensed under the GNU General Public License, version 3 or later.")
        .arg(ProgramVersion(), QDir::toNativeSeparators(QFileInfo(databasePath).absoluteFilePath()),
             databaseOpen ? QString() : QStringLiteral(" (not open)"),
             QDir::toNativeSeparators(settingsFile), QString::fromLatin1(qVersion()),
             QString::fromLatin1(sqlite3_libversion()),
             profile.isEmpty() ? QString() : QStringLiteral("Profile: %1\n").arg(profile));
}

QMessageBox* OpenAboutBox(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About ZV Fee Stats"), text,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->setIconPixmap(ProgramIcon().pixmap(64, 64));
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Paths on lines of their own, unbroken: the box grows to fit them.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        label->setWordWrap(false);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}
