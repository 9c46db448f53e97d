// The About box on F1: what an operator needs for a support mail. No control shows it.

#include "Main.h"
#include "aboutbox.h"
#include "profile.h"
#include "settings.h"

#include <QShortcut>

void TMainForm::connectHelpKey() {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connectHandler(key, &QShortcut::activated, &TMainForm::ShowAboutBox);
}

void TMainForm::ShowAboutBox() {
    OpenAboutBox(this, AboutText(m_databasePath, m_feeDatabase.isOpen(),
                                 SettingsStore::DefaultFilePath(), CurrentProfile()));
}
