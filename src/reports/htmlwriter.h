#pragma once

#include "reportpage.h"
#include "shownsink.h"

#include <QByteArray>

/// A report as one web page that works offline and alone: UTF-8 HTML5 with its style and a small
/// script inline, and a Content-Security-Policy that lets the page fetch nothing. The header
/// holds the title, the range and when the page was made; the rows are a table with the column
/// names as its head, each value as the grid shows it, numbers to the right, every text escaped.
/// The script sorts by a click on a column title and filters by a text box; without it the
/// table is whole and readable. Printed, the column titles repeat on every page and the
/// controls are left out. The bytes go to output in pieces of about 256 KiB, so no report is
/// held whole.
class HtmlWriter : public ShownCellSink {
public:
    HtmlWriter(const ReportPageInfo& info, ReportOutput output);

    void start(const QList<ResultColumn>& columns) override;
    void endRow() override;
    void finish() override;

protected:
    void cell(const QString& shown, bool number) override;

private:
    void flushPiece();

    ReportPageInfo m_info;
    ReportOutput m_output;
    QByteArray m_out;
    qint64 m_rows = 0;
    bool m_rowOpen = false;
};

/// Appends text with the characters that HTML gives a meaning to (&, <, >, ", ') written as
/// references, and the control characters as numeric references.
void AppendHtmlEscaped(QByteArray& out, QStringView text);

/// The page's inline style and script, whose hashes its Content-Security-Policy names.
QByteArray HtmlPageStyle();
QByteArray HtmlPageScript();
