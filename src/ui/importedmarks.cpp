#include "importedmarks.h"

#include "filenames.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <cmath>

namespace {

/// The role that keeps the bytes of an item's file name (the remote list uses the first roles).
constexpr int kFileNameRole = Qt::UserRole + 16;

double Luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double x = Luminance(a);
    const double y = Luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

QColor MarkedTextColor(const QColor& text, const QColor& background) {
    // From halfway towards the text colour until the contrast holds.
    for (int part = 50; part < 100; part += 2) {
        const double t = part / 100.0;
        const QColor mixed =
            QColor::fromRgbF(float(background.redF() + (text.redF() - background.redF()) * t),
                             float(background.greenF() + (text.greenF() - background.greenF()) * t),
                             float(background.blueF() + (text.blueF() - background.blueF()) * t));
        if (ContrastRatio(mixed, background) >= 4.5)
            return mixed;
    }
    return text;
}

QString ItemFileName(const QListWidgetItem* item) {
    const QVariant bytes = item->data(kFileNameRole);
    return bytes.isValid() ? DecodeFileName(bytes.toByteArray()) : item->text();
}

void AddFileItems(QListWidget* list, const QStringList& names) {
    // One insertion for all the rows, not one per row: a folder of 20,000 files lists at once.
    QStringList texts;
    texts.reserve(names.size());
    for (const QString& name : names)
        texts << DisplayFileName(name);
    const int first = list->count();
    list->addItems(texts);
    // The names' bytes are no part of what the list shows, so its view need not hear of them.
    const QSignalBlocker quiet(list->model());
    for (int i = 0; i < names.size(); ++i)
        list->item(first + i)->setData(kFileNameRole, EncodeFileName(names[i]));
}

void ShowImportedMarks(QListWidget* list, const QHash<QString, ImportedFile>& imported) {
    const QPalette& palette = list->palette();
    const QBrush marked(MarkedTextColor(palette.color(QPalette::Active, QPalette::Text),
                                        palette.color(QPalette::Active, QPalette::Base)));
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        const auto file = imported.constFind(ItemFileName(item));
        if (file != imported.constEnd()) {
            item->setForeground(marked);
            item->setToolTip(ImportedToolTip(*file));
        } else if (item->data(Qt::ForegroundRole).isValid()) { // only a marked item changes
            item->setData(Qt::ForegroundRole, QVariant());
            item->setToolTip(QString());
        }
    }
}

QStringList ItemTexts(const QListWidget* list) {
    QStringList texts;
    texts.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        texts << ItemFileName(list->item(row));
    return texts;
}
