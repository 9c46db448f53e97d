#include "importedmarks.h"

#include <QListWidget>

void ShowImportedMarks(QListWidget* list, const QHash<QString, ImportedFile>& imported) {
    const QBrush disabled = list->palette().brush(QPalette::Disabled, QPalette::Text);
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        const auto file = imported.constFind(item->text());
        if (file != imported.constEnd()) {
            item->setForeground(disabled);
            item->setToolTip(ImportedToolTip(*file));
        } else {
            item->setData(Qt::ForegroundRole, QVariant());
            item->setToolTip(QString());
        }
    }
}

QStringList ItemTexts(const QListWidget* list) {
    QStringList texts;
    texts.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}
