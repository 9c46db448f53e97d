#pragma once

#include "resultset.h"

#include <QByteArray>
#include <QLocale>
#include <QStringList>
#include <QStringView>

/// The encodings of an export file: Windows-1252 (the stand-in for the ANSI code page, the
/// default) or UTF-8 with a byte-order mark (which LibreOffice's import does not detect: there
/// its character set is chosen by hand).
enum class CsvEncoding { Windows1252, Utf8 };

/// Whether a text cell starting with c is read by a spreadsheet as a formula ("=", "+", "-",
/// "@", TAB, CR): such a text gets a leading "'" in every format a spreadsheet imports as text.
bool StartsFormula(char16_t c);

/// Builds the lines of an export file into a byte buffer, cell by cell, in the file's encoding.
/// Text cells are quoted with every double quote doubled; a text that a spreadsheet would take
/// for a formula (starting with "=", "+", "-", "@", TAB or CR) gets a leading "'" inside the
/// quotes. Numbers are bare in the locale's decimal separator, quoted only when that separator
/// would break the line apart (a decimal separator that is the delimiter). The caller takes the
/// bytes away as they grow.
class CsvWriter {
public:
    /// delimiter: the character between cells, a comma unless the caller chooses another.
    CsvWriter(const QLocale& locale, CsvEncoding encoding, char delimiter = ',');

    QByteArray& bytes() { return m_out; }

    /// The byte-order mark of a UTF-8 file; nothing for Windows-1252.
    void startFile();
    /// The header line: every name quoted as a text cell, with its line end.
    void header(const QStringList& names);

    void comma() { m_out += m_delimiter; }
    void endLine() { m_out += "\r\n"; }

    /// A NULL in a column of this kind: "" for text, an empty cell for any other kind.
    void null(ColumnKind columnKind);
    void text(QStringView text);
    /// A text given in UTF-8, the database's own encoding.
    void text(QByteArrayView utf8);
    void integer(qint64 value);
    /// The general form with at most 15 significant digits ("12.5", "5E-5").
    void real(double value);
    /// A binary value as upper-case hex digits, unquoted.
    void blob(QByteArrayView bytes);

    /// The characters written as "?" so far because Windows-1252 lacks them (0 in UTF-8).
    qsizetype lostCharacters() const { return m_lost; }

private:
    void encoded(QStringView text);

    QByteArray m_out;
    CsvEncoding m_encoding;
    char m_delimiter;
    qsizetype m_lost = 0;
    QByteArray m_decimalSeparator; ///< in the file's encoding
    bool m_quoteFractions = false;
};

/// Appends the cells of one row of view (by its row number) and the line end.
void AppendCsvRow(CsvWriter& writer, const ResultSet& view, qsizetype row);
