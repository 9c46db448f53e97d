#pragma once

#include "reportsink.h"

#include <QLocale>
#include <QString>

/// A report sink that hands on each cell as the grid shows it: integers as decimal digits,
/// floating-point values as "0.00" in the locale, texts as they are (a malformed UTF-8 sequence
/// as U+FFFD), binary values as "(BLOB)", NULL as an empty text. A number is flagged, so that a
/// page can align it to the right.
class ShownCellSink : public ReportSink {
public:
    explicit ShownCellSink(const QLocale& locale);

    void null() final;
    void integer(qint64 value) final;
    void real(double value) final;
    void text(QByteArrayView utf8) final;
    void blob(QByteArrayView bytes) final;

protected:
    /// One cell of the current row, in column order.
    virtual void cell(const QString& shown, bool number) = 0;

    QLocale m_locale;
};
