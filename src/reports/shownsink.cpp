#include "shownsink.h"

#include "resultsetmodel.h"

ShownCellSink::ShownCellSink(const QLocale& locale) : m_locale(locale) {
    m_locale.setNumberOptions(m_locale.numberOptions() | QLocale::OmitGroupSeparator);
}

void ShownCellSink::null() {
    cell(QString(), false);
}

void ShownCellSink::integer(qint64 value) {
    cell(QString::number(value), true);
}

void ShownCellSink::real(double value) {
    cell(FormatFloat00(value, m_locale), true);
}

void ShownCellSink::text(QByteArrayView utf8) {
    cell(QString::fromUtf8(utf8), false);
}

void ShownCellSink::blob(QByteArrayView) {
    cell(QStringLiteral("(BLOB)"), false);
}
