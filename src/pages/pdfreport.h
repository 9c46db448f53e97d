#pragma once

#include "reportpages.h"
#include "reportsink.h"

#include <memory>

class QPdfWriter;
class ResultSet;
class ReportOutputDevice;

/// A report as a PDF document, with Qt's own PDF writer: the pages of ReportPagesWriter on the
/// locale's page size, fonts embedded, the bytes handed to output as the pages are written. The
/// document's title is the report's. A failure of output ends the document's writing and is raised
/// by finish.
class PdfReport : public ReportSink {
public:
    PdfReport(const ReportPageInfo& info, qint64 rows, ReportOutput output,
              ChartPainter chart = {});
    ~PdfReport() override;
    PdfReport(const PdfReport&) = delete;
    PdfReport& operator=(const PdfReport&) = delete;

    void start(const QList<ResultColumn>& columns) override { m_pages->start(columns); }
    void null() override { m_pages->null(); }
    void integer(qint64 value) override { m_pages->integer(value); }
    void real(double value) override { m_pages->real(value); }
    void text(QByteArrayView utf8) override { m_pages->text(utf8); }
    void blob(QByteArrayView bytes) override { m_pages->blob(bytes); }
    void endRow() override;
    /// Ends the document; raises what output raised.
    void finish() override;

private:
    std::unique_ptr<ReportOutputDevice> m_device;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<ReportPagesWriter> m_pages;
};

/// Writes the rows of a view as a PDF document to path, created or replaced whole as a CSV is
/// (ExportFile). Raises "Cannot create file ...".
void WritePdfFile(const QString& path, const ResultSet& view, const ReportPageInfo& info,
                  ChartPainter chart = {});
