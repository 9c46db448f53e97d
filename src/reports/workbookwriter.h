#pragma once

#include "reportsink.h"

#include <QByteArray>
#include <QTemporaryDir>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

/// An Excel workbook (.xlsx) in the library's constant-memory mode: the rows go to temporary
/// files as they come, so the memory stays flat at any size. Cells keep their kinds: integers and
/// floating-point values are numbers (those of a floating-point column shown as "0.00"), a text
/// is a string whatever its first character, NULL is an empty cell, a binary value is its hex
/// digits as a string. An integer that a spreadsheet number cannot hold exactly (beyond 2^53) is
/// written as its digits in a string, so that no digit is lost. The header row is bold and
/// frozen; column widths follow the header and the first rows. Past rowsPerSheet rows the rows go
/// on in a new sheet "Report (2)", and so on, each with the header. The workbook is built in a
/// temporary folder and its bytes are handed to output when finished.
class WorkbookWriter : public ReportSink {
public:
    /// The data rows of a sheet: the spreadsheet's rows less the header.
    static constexpr qsizetype kSheetRows = 1048575;
    /// The longest text a cell holds, in characters (code points); a longer text is cut there.
    static constexpr qsizetype kCellChars = 32767;

    /// Raises "Cannot create file "<path>". <reason>" when the workbook cannot be started.
    WorkbookWriter(const QString& path, ReportOutput output, qsizetype rowsPerSheet = kSheetRows);
    ~WorkbookWriter() override;
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    void start(const QList<ResultColumn>& columns) override;
    void null() override;
    void integer(qint64 value) override;
    void real(double value) override;
    void text(QByteArrayView utf8) override;
    void blob(QByteArrayView bytes) override;
    void endRow() override;
    void finish() override;

private:
    /// Before each cell: the next sheet when the current one is full.
    void cell();
    void newSheet();
    void closeSheet();
    void writeString(const QByteArray& utf8, lxw_format* format = nullptr);
    void check(int error) const;
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path; ///< the file named in errors
    ReportOutput m_output;
    qsizetype m_rowsPerSheet;
    QTemporaryDir m_folder;
    QByteArray m_tempFolder;
    QByteArray m_bookPath;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_fraction = nullptr;
    QList<ResultColumn> m_columns;
    QList<int> m_widths; ///< characters, of the current sheet
    int m_sheets = 0;
    quint32 m_row = 0; ///< the row being written in the current sheet (0 is the header)
    quint16 m_column = 0;
    bool m_full = false;
};
