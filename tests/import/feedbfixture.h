#pragma once

#include "feedatabase.h"

#include <QStringList>
#include <QTemporaryDir>

/// A fee database file with its two tables in a temporary folder.
class FeeDbFixture {
    QTemporaryDir m_dir; // first, so it outlives the connection

public:
    FeeDbFixture();
    QString path() const { return m_dir.filePath(QStringLiteral("ZVFee2.db3")); }
    QString folder() const { return m_dir.path(); }
    FeeDatabase db;

    /// The rows of a query, each as its values joined by "|": integers and text as they are,
    /// reals in the shortest form that reads back exactly, NULL as "NULL".
    QStringList rows(const QString& sql);
    QStringList masterRows() {
        return rows(QStringLiteral("SELECT * FROM Master ORDER BY TNumber"));
    }
    /// Detail rows in the order they were written.
    QStringList detailRows() { return rows(QStringLiteral("SELECT * FROM Detail ORDER BY rowid")); }
};

/// Lines of a text written with "\n" between them.
QStringList Lines(const QString& text);
