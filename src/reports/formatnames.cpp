#include "formatnames.h"

#include <QFileInfo>

namespace {
struct NamedFormat {
    ReportFormat format;
    QStringView name; ///< also the extension of its files
};

/// Every format a report file can be asked for by name: a new format is one more row.
constexpr NamedFormat kNamedFormats[] = {
    {ReportFormat::Csv, u"csv"},   {ReportFormat::Tsv, u"tsv"},   {ReportFormat::Json, u"json"},
    {ReportFormat::Xlsx, u"xlsx"}, {ReportFormat::Html, u"html"}, {ReportFormat::Html, u"htm"},
    {ReportFormat::Pdf, u"pdf"},
};
} // namespace

std::optional<ReportFormat> ReportFormatNamed(const QString& name) {
    for (const NamedFormat& known : kNamedFormats)
        if (name.compare(known.name, Qt::CaseInsensitive) == 0)
            return known.format;
    return std::nullopt;
}

QString ReportFormatExtension(ReportFormat format) {
    for (const NamedFormat& known : kNamedFormats)
        if (known.format == format)
            return known.name.toString();
    return QString();
}

std::optional<ReportFormat> ReportFormatForFileName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    return ReportFormatNamed(name.mid(dot + 1));
}
