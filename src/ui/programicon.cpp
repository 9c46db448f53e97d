#include "programicon.h"

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {48, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/com.kestrelle.ZVFeeStats.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}
