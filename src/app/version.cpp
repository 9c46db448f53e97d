#include "version.h"

QString ProgramVersion() {
    return QStringLiteral(ZV_VERSION);
}
