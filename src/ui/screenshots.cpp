#include "screenshots.h"

#include "Main.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

bool SavePageScreenshots(TMainForm& form, const QString& folder) {
    QDir().mkpath(folder);
    bool ok = true;
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name =
            QStringLiteral("%1-%2.png").arg(i + 1).arg(form.PageControl1->widget(i)->objectName());
        ok = form.grab().save(QDir(folder).filePath(name)) && ok;
    }
    form.PageControl1->setCurrentIndex(0);
    return ok;
}
