#include "screenshots.h"

#include "ChartForm.h"
#include "Main.h"
#include "chartmodel.h"
#include "reportcatalogue.h"
#include "resultset.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

namespace {
/// Loads each report as the operator does (entry, "Load", "Chart") and grabs the chart window:
/// "chart-fees-by-date.png", ... A report the database gives nothing to draw for is left out.
bool SaveChartScreenshots(TMainForm& form, const QString& folder) {
    form.PageControl1->setCurrentWidget(form.ReportPage);
    bool ok = true;
    for (const char16_t* entry : {u"Fees by Date", u"Fees by Player"}) {
        const QString caption = QString::fromUtf16(entry);
        const int index = FindReport(caption);
        form.ReportList->setCurrentIndex(index);
        Q_EMIT form.ReportList->activated(index);
        form.LoadSQLBtn->click();
        if (!ChartProblem(*form.ReportClientDataSet).isEmpty())
            continue;
        form.ChartBtn->click();
        QApplication::processEvents();
        const QString name =
            QStringLiteral("chart-%1.png").arg(caption.toLower().replace(u' ', u'-'));
        ok = form.ChartForm->grab().save(QDir(folder).filePath(name)) && ok;
    }
    if (form.ChartForm)
        form.ChartForm->close();
    return ok;
}
} // namespace

bool SavePageScreenshots(TMainForm& form, const QString& folder) {
    QDir().mkpath(folder);
    bool ok = true;
    for (int i = 0; i < form.PageControl1->count(); ++i) {
        form.PageControl1->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name =
            QStringLiteral("%1-%2.png").arg(i + 1).arg(form.PageControl1->widget(i)->objectName());
        ok = form.grab().save(QDir(folder).filePath(name)) && ok;
    }
    ok = SaveChartScreenshots(form, folder) && ok;
    form.PageControl1->setCurrentIndex(0);
    return ok;
}
