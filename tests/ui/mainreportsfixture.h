#pragma once

#include "Main.h"
#include "exportsavedialog.h"
#include "reportfixture.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(CsvEncoding)

/// Gives the export the file, encoding and format set beforehand and counts the questions.
class AnsweringChooser : public ExportFileChooser {
public:
    QString chooseExportFile() override {
        ++asked;
        return answer;
    }
    CsvEncoding chosenEncoding() const override { return encoding; }
    ReportFormat chosenFormat() const override { return format; }
    QString answer;
    CsvEncoding encoding = CsvEncoding::Windows1252;
    ReportFormat format = ReportFormat::Csv;
    int asked = 0;
};

/// A main window on its reports page over the report fixture database in a temporary folder.
class MainReportsFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessages m_messages;
    std::shared_ptr<AnsweringChooser> m_chooser;
    std::unique_ptr<TMainForm> m_form;

    TMainForm& form() { return *m_form; }
    void choose(int index) {
        form().ReportList->setCurrentIndex(index);
        Q_EMIT form().ReportList->activated(index);
    }
    void load(const QString& sql) {
        form().SQLMemo->setPlainText(sql);
        form().LoadSQLBtn->click();
    }

    /// For each test's init.
    void setUpForm() {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        FeeDatabase db;
        CreateReportFixture(db, m_dir->filePath(QStringLiteral("ZVFee2.db3")));
        db.Close();
        m_messages.clear();
        m_form =
            std::make_unique<TMainForm>(m_dir->filePath(QStringLiteral("ZVFee2.db3")), &m_messages);
        m_chooser = std::make_shared<AnsweringChooser>();
        m_form->SaveDialog1 = m_chooser;
        m_form->show();
        m_form->PageControl1->setCurrentWidget(m_form->ReportPage);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
};
