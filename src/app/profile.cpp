#include "profile.h"

#include <algorithm>

namespace {

constexpr qsizetype kLongestName = 64;

QString& profileOfRun() {
    static QString name;
    return name;
}

bool nameCharacter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'.' || c == u'_' || c == u'-';
}

/// NAME of PREFIX + "-" + NAME + SUFFIX, when that NAME names a profile.
QString nameBetween(const QString& fileName, QStringView prefix, QStringView suffix) {
    if (!fileName.startsWith(prefix) || !fileName.endsWith(suffix))
        return QString();
    const QString name =
        fileName.mid(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    return ProfileNameFault(name).isEmpty() ? name : QString();
}

} // namespace

QString ProfileNameFault(const QString& name) {
    if (!name.isEmpty() && name.size() <= kLongestName && !name.startsWith(u'.') &&
        std::all_of(name.begin(), name.end(), nameCharacter))
        return QString();
    return QStringLiteral("\"%1\" cannot name a profile: a profile name is 1 to %2 of the letters "
                          "a-z and A-Z, digits, \".\", \"_\" and \"-\", not starting with \".\"")
        .arg(name, QString::number(kLongestName));
}

void SetProfile(const QString& name) {
    Q_ASSERT(name.isEmpty() || ProfileNameFault(name).isEmpty());
    profileOfRun() = name;
}

const QString& CurrentProfile() {
    return profileOfRun();
}

QString ProfileDatabaseFileName(const QString& profile) {
    return profile.isEmpty() ? QStringLiteral("ZVFee2.db3")
                             : QStringLiteral("ZVFee2-%1.db3").arg(profile);
}

QString ProfileSettingsFileName(const QString& profile) {
    return profile.isEmpty() ? QStringLiteral("ZVFeeStats.ini")
                             : QStringLiteral("ZVFeeStats-%1.ini").arg(profile);
}

QString ProfileOfDatabaseFileName(const QString& fileName) {
    return nameBetween(fileName, u"ZVFee2-", u".db3");
}

QString ProfileOfSettingsFileName(const QString& fileName) {
    return nameBetween(fileName, u"ZVFeeStats-", u".ini");
}

QString TitleWithProfile(const QString& title) {
    return CurrentProfile().isEmpty() ? title : title + QStringLiteral(" - ") + CurrentProfile();
}
