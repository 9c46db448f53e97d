#include "reportsink.h"

#include "runcontrol.h"

#include <charconv>
#include <cmath>

void WriteViewRows(const ResultSet& view, ReportSink& sink) {
    QList<ResultColumn> columns;
    for (int c = 0; c < view.columnCount(); ++c)
        columns << view.column(c);
    sink.start(columns);
    const qsizetype rows = view.rowCount();
    const int count = view.columnCount();
    for (qsizetype r = 0; r < rows; ++r) {
        for (int c = 0; c < count; ++c) {
            if (view.isNull(r, c)) {
                sink.null();
                continue;
            }
            switch (view.cellKind(r, c)) {
            case ColumnKind::Integer:
                sink.integer(view.integerAt(r, c));
                break;
            case ColumnKind::Float:
                sink.real(view.realAt(r, c));
                break;
            case ColumnKind::Text:
                sink.text(view.bytesAt(r, c));
                break;
            case ColumnKind::Blob:
                sink.blob(view.bytesAt(r, c));
                break;
            }
        }
        sink.endRow();
        if (r % 4096 == 4095)
            CheckRunCancelled(); // the file is not committed: the old one stays as it was
    }
    sink.finish();
}

void AppendHex(QByteArray& out, QByteArrayView bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 2 * bytes.size());
    char* to = out.data() + start;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *to++ = kHex[b >> 4];
        *to++ = kHex[b & 15];
    }
}

void AppendExactReal(QByteArray& out, double value, bool withPoint) {
    if (std::isnan(value)) {
        out += "null";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-1e999" : "1e999";
        return;
    }
    char digits[32];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
    if (withPoint && std::find_if(static_cast<const char*>(digits), end,
                                  [](char c) { return c == '.' || c == 'e'; }) == end)
        out += ".0";
}
