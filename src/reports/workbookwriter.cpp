#include "workbookwriter.h"

#include "error.h"
#include "filenumberformat.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <xlsxwriter.h>

namespace {
constexpr int kMinWidth = 8;
constexpr int kMaxWidth = 60;
/// The rows of a sheet whose cells set the column widths: enough to see the data's form, few
/// enough to cost nothing on a large report.
constexpr quint32 kMeasuredRows = 1000;
constexpr qint64 kExactIntegers = qint64(1) << 53;

/// Characters (code points) of a UTF-8 text.
qsizetype CodePoints(QByteArrayView utf8) {
    qsizetype count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

/// A spreadsheet reads "_xHHHH_" in a text as the character HHHH; the library escapes the
/// characters it must, but not such a sequence typed as it is: its "_" is escaped here.
void EscapeCharacterCodes(QByteArray& utf8) {
    static const QRegularExpression kCode(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    QString text = QString::fromUtf8(utf8);
    text.replace(kCode, QStringLiteral("_x005F_"));
    utf8 = text.toUtf8();
}

/// The text as the library takes it: well-formed UTF-8 without NUL, cut at kCellChars, with
/// character codes escaped.
QByteArray CellText(QByteArrayView utf8) {
    bool plain = true;
    for (const char c : utf8)
        plain = plain && c != 0 && static_cast<unsigned char>(c) < 0x80;
    if (plain && utf8.size() <= WorkbookWriter::kCellChars) {
        QByteArray bytes = utf8.toByteArray();
        if (bytes.contains("_x"))
            EscapeCharacterCodes(bytes);
        return bytes;
    }
    QString text = QString::fromUtf8(utf8);
    text.remove(QChar(0));
    QByteArray bytes = text.toUtf8();
    if (CodePoints(bytes) > WorkbookWriter::kCellChars) {
        qsizetype points = 0, i = 0;
        for (; i < bytes.size(); ++i) {
            if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80 &&
                ++points > WorkbookWriter::kCellChars)
                break;
        }
        bytes.truncate(i);
    }
    if (bytes.contains("_x"))
        EscapeCharacterCodes(bytes);
    return bytes;
}
} // namespace

WorkbookWriter::WorkbookWriter(const QString& path, ReportOutput output, qsizetype rowsPerSheet)
    : m_path(path), m_output(std::move(output)), m_rowsPerSheet(rowsPerSheet) {
    if (!m_folder.isValid())
        fail(m_folder.errorString());
    m_tempFolder = QFile::encodeName(m_folder.path());
    m_bookPath = QFile::encodeName(m_folder.filePath(QStringLiteral("report.xlsx")));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tempFolder.data();
    options.use_zip64 = LXW_TRUE;
    m_book = workbook_new_opt(m_bookPath.constData(), &options);
    if (!m_book)
        fail(QStringLiteral("The workbook could not be started."));
    m_bold = workbook_add_format(m_book);
    format_set_bold(m_bold);
    m_fraction = workbook_add_format(m_book);
    format_set_num_format(m_fraction, "0.00");
}

WorkbookWriter::~WorkbookWriter() {
    if (m_book)
        lxw_workbook_free(m_book);
}

void WorkbookWriter::fail(const QString& reason) const {
    throw ZvError(QStringLiteral("Cannot create file \"%1\". %2")
                      .arg(QFileInfo(m_path).absoluteFilePath(), reason));
}

void WorkbookWriter::check(int error) const {
    if (error != LXW_NO_ERROR)
        fail(QString::fromUtf8(lxw_strerror(lxw_error(error))));
}

void WorkbookWriter::start(const QList<ResultColumn>& columns) {
    m_columns = columns;
    newSheet();
}

void WorkbookWriter::newSheet() {
    ++m_sheets;
    const QByteArray name =
        m_sheets == 1 ? QByteArray("Report") : QStringLiteral("Report (%1)").arg(m_sheets).toUtf8();
    m_sheet = workbook_add_worksheet(m_book, name.constData());
    if (!m_sheet)
        fail(QStringLiteral("The sheet \"%1\" could not be added.").arg(QString::fromUtf8(name)));
    m_widths.clear();
    m_row = 0;
    m_column = 0;
    for (const ResultColumn& column : m_columns) {
        m_widths << int(CodePoints(column.name.toUtf8())) + 2; // room for the filter arrow
        writeString(CellText(column.name.toUtf8()), m_bold);
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    m_row = 1;
    m_column = 0;
}

/// The widths go in when the sheet is done: the library writes them with the workbook.
void WorkbookWriter::closeSheet() {
    for (qsizetype c = 0; c < m_widths.size(); ++c)
        check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c),
                                   std::clamp(m_widths[c], kMinWidth, kMaxWidth) + 1, nullptr));
}

void WorkbookWriter::writeString(const QByteArray& utf8, lxw_format* format) {
    if (m_row <= kMeasuredRows && m_column < m_widths.size())
        m_widths[m_column] =
            std::max(m_widths[m_column], int(std::min<qsizetype>(CodePoints(utf8), kMaxWidth)));
    check(worksheet_write_string(m_sheet, m_row, m_column++, utf8.constData(), format));
}

void WorkbookWriter::cell() {
    if (m_full) {
        closeSheet();
        newSheet();
        m_full = false;
    }
}

void WorkbookWriter::null() {
    cell();
    ++m_column;
}

void WorkbookWriter::integer(qint64 value) {
    cell();
    if (value > kExactIntegers || value < -kExactIntegers) {
        writeString(QByteArray::number(value));
        return;
    }
    const bool fraction = m_columns.value(m_column).kind == ColumnKind::Float;
    if (m_row <= kMeasuredRows)
        m_widths[m_column] = std::max(m_widths[m_column], int(QByteArray::number(value).size()));
    check(worksheet_write_number(m_sheet, m_row, m_column++, double(value),
                                 fraction ? m_fraction : nullptr));
}

void WorkbookWriter::real(double value) {
    cell();
    if (!std::isfinite(value)) { // a spreadsheet number has no infinities
        writeString(FormatGeneral15(value).toUtf8());
        return;
    }
    const bool fraction = m_columns.value(m_column).kind == ColumnKind::Float;
    if (m_row <= kMeasuredRows)
        m_widths[m_column] = std::max(m_widths[m_column], 12);
    check(
        worksheet_write_number(m_sheet, m_row, m_column++, value, fraction ? m_fraction : nullptr));
}

void WorkbookWriter::text(QByteArrayView utf8) {
    cell();
    writeString(CellText(utf8));
}

void WorkbookWriter::blob(QByteArrayView bytes) {
    cell();
    QByteArray hex;
    AppendHex(hex, bytes.first(std::min<qsizetype>(bytes.size(), kCellChars / 2)));
    writeString(hex);
}

void WorkbookWriter::endRow() {
    m_column = 0;
    if (qsizetype(m_row) == m_rowsPerSheet)
        m_full = true; // the next sheet starts with the next row's first cell, if one comes
    else
        ++m_row;
}

void WorkbookWriter::finish() {
    closeSheet();
    lxw_workbook* book = std::exchange(m_book, nullptr);
    check(workbook_close(book)); // frees the workbook on every path
    QFile built(QString::fromLocal8Bit(m_bookPath));
    if (!built.open(QIODevice::ReadOnly))
        fail(built.errorString());
    QByteArray piece;
    while (!(piece = built.read(256 * 1024)).isEmpty())
        m_output(piece);
    if (built.error() != QFileDevice::NoError)
        fail(built.errorString());
}
