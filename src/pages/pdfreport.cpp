#include "pdfreport.h"

#include "exportfile.h"
#include "resultset.h"

#include <QIODevice>
#include <QPdfWriter>
#include <exception>

/// A device that hands what is written to it to a report's output, in order; it cannot be read
/// or sought. What output raises is kept, not thrown through Qt's PDF engine, and nothing more
/// is handed over after it.
class ReportOutputDevice : public QIODevice {
public:
    explicit ReportOutputDevice(ReportOutput output) : m_output(std::move(output)) {
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    void rethrow() const {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }
    bool failed() const { return bool(m_failure); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_failure)
            return -1;
        try {
            m_output(QByteArrayView(data, size));
        } catch (...) {
            m_failure = std::current_exception();
            return -1;
        }
        return size;
    }

private:
    ReportOutput m_output;
    std::exception_ptr m_failure;
};

PdfReport::PdfReport(const ReportPageInfo& info, qint64 rows, ReportOutput output,
                     ChartPainter chart)
    : m_device(std::make_unique<ReportOutputDevice>(std::move(output))),
      m_writer(std::make_unique<QPdfWriter>(m_device.get())) {
    m_writer->setTitle(info.title);
    m_writer->setCreator(QStringLiteral("ZV Fee Stats"));
    m_writer->setResolution(600);
    m_pages = std::make_unique<ReportPagesWriter>(*m_writer, info, rows, false, std::move(chart));
}

PdfReport::~PdfReport() = default;

void PdfReport::endRow() {
    m_pages->endRow();
    m_device->rethrow(); // a full disk ends the report at once, not after every page
}

void PdfReport::finish() {
    m_pages->finish();
    m_device->rethrow();
}

void WritePdfFile(const QString& path, const ResultSet& view, const ReportPageInfo& info,
                  ChartPainter chart) {
    ExportFile file(path);
    PdfReport writer(
        info, view.rowCount(), [&](QByteArrayView bytes) { file.write(bytes); }, std::move(chart));
    WriteViewRows(view, writer);
    file.commit();
}
