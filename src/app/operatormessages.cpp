#include "operatormessages.h"

QString MessageCaption(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Information:
        return QStringLiteral("Information");
    case MessageKind::Confirmation:
        return QStringLiteral("Confirm");
    case MessageKind::Notice:
    case MessageKind::GeneralError:
        break;
    }
    return QString::fromUtf16(kApplicationTitle);
}
