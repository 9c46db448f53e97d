#include "settings.h"

#include "error.h"
#include "profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <iterator>
#include <optional>
#include <utility>

namespace {

// The one table of the store: value name, kind, default.
constexpr SettingInfo kSettings[] = {
    {Setting::MainWidth, u"MainWidth", SettingKind::Integer, u"0"},
    {Setting::MainHeight, u"MainHeight", SettingKind::Integer, u"0"},
    {Setting::MainMax, u"MainMax", SettingKind::Boolean, u"0"},
    {Setting::ServerIP, u"ServerIP", SettingKind::Text, u"127.0.0.1"},
    {Setting::FilePort, u"FilePort", SettingKind::Text, u"8087"},
    {Setting::APIPath, u"APIPath", SettingKind::Text, u"api"},
    {Setting::RememberPW, u"RememberPW", SettingKind::Boolean, u"0"},
    {Setting::Password, u"Password", SettingKind::Text, u""},
    {Setting::LastFolder, u"LastFolder", SettingKind::Text, u""},
    {Setting::ViewWidth, u"ViewWidth", SettingKind::Integer, u"0"},
    {Setting::ViewHeight, u"ViewHeight", SettingKind::Integer, u"0"},
    {Setting::ViewMax, u"ViewMax", SettingKind::Boolean, u"0"},
    {Setting::ChartWidth, u"ChartWidth", SettingKind::Integer, u"0"},
    {Setting::ChartHeight, u"ChartHeight", SettingKind::Integer, u"0"},
    {Setting::ChartMax, u"ChartMax", SettingKind::Boolean, u"0"},
};
static_assert(std::size(kSettings) == size_t(Setting::ChartMax) + 1);

constexpr auto kSection = u"ZVFee/";
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString keyOf(Setting setting) {
    return QString::fromUtf16(kSection) + SettingName(setting);
}

int toIntegerOr(const QString& text, int fallback) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

/// Makes sure the file exists and is readable by its owner only before anything is written to
/// it; the settings writer replaces the file keeping the permissions of the one it replaces.
void prepareOwnerOnlyFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.close();
    }
    QFile::setPermissions(path, kOwnerOnly);
}

/// The lines of a file, each with its line end.
QList<QByteArray> linesOf(const QByteArray& content) {
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < content.size()) {
        qsizetype end = content.indexOf('\n', from);
        end = end < 0 ? content.size() : end + 1;
        lines << content.mid(from, end - from);
        from = end;
    }
    return lines;
}

/// Where the value of a setting stands in the lines of the settings file: the first line and
/// the number of lines (a line ending in a backslash continues on the next). Empty when the
/// section holds no such value; of several, the last one counts.
std::optional<std::pair<qsizetype, qsizetype>> rawValueAt(const QList<QByteArray>& lines,
                                                          Setting setting) {
    const QByteArray section = QString::fromUtf16(kSection).chopped(1).toUtf8();
    const QByteArray name = SettingName(setting).toUtf8();
    std::optional<std::pair<qsizetype, qsizetype>> found;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        qsizetype count = 1;
        while (lines[i + count - 1].trimmed().endsWith('\\') && i + count < lines.size())
            ++count;
        if (line.startsWith('[') && line.endsWith(']'))
            inSection = line.mid(1, line.size() - 2).trimmed() == section;
        else if (inSection && line.indexOf('=') > 0 &&
                 line.left(line.indexOf('=')).trimmed() == name)
            found = std::pair{i, count};
        i += count - 1;
    }
    return found;
}

QByteArray readAllOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

const SettingInfo& SettingInfoOf(Setting setting) {
    return kSettings[size_t(setting)];
}

QString SettingName(Setting setting) {
    return QString::fromUtf16(SettingInfoOf(setting).name);
}

SettingsStore::SettingsStore() : SettingsStore(DefaultFilePath()) {}

SettingsStore::SettingsStore(const QString& filePath)
    : m_path(filePath), m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() {
    try {
        Flush();
    } catch (const ZvError&) {
        // The caller that cares about failures flushes itself.
    }
}

QString SettingsStore::DefaultFilePath() {
    // Without a profile, the file that QSettings(IniFormat, UserScope, "Kestrelle",
    // "ZVFeeStats") uses, named directly so that no organisation-wide or system-wide file is
    // ever read in its place; a profile's file beside it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kestrelle/") + ProfileSettingsFileName(CurrentProfile());
}

bool SettingsStore::readString(Setting setting, QString& out) const {
    const QString key = keyOf(setting);
    if (!m_settings->contains(key))
        return false;
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        throw ZvError(QStringLiteral("Invalid data type for '%1'").arg(SettingName(setting)));
    out = value.toString();
    return true;
}

int SettingsStore::ReadInteger(Setting setting) const {
    Q_ASSERT(SettingInfoOf(setting).kind != SettingKind::Text);
    const int fallback = toIntegerOr(QString::fromUtf16(SettingInfoOf(setting).defaultText), 0);
    QString text;
    return readString(setting, text) ? toIntegerOr(text, fallback) : fallback;
}

bool SettingsStore::ReadBool(Setting setting) const {
    Q_ASSERT(SettingInfoOf(setting).kind == SettingKind::Boolean);
    return ReadInteger(setting) != 0;
}

QString SettingsStore::ReadText(Setting setting) const {
    Q_ASSERT(SettingInfoOf(setting).kind == SettingKind::Text);
    QString text;
    return readString(setting, text) ? text
                                     : QString::fromUtf16(SettingInfoOf(setting).defaultText);
}

void SettingsStore::KeepAsStored(const QList<Setting>& settings) {
    m_kept << settings;
}

void SettingsStore::writeString(Setting setting, const QString& value) {
    if (m_kept.contains(setting))
        return;
    m_written << setting;
    if (!m_dirty)
        prepareOwnerOnlyFile(m_path);
    m_dirty = true;
    m_settings->setValue(keyOf(setting), value);
}

void SettingsStore::WriteInteger(Setting setting, int value) {
    Q_ASSERT(SettingInfoOf(setting).kind == SettingKind::Integer);
    writeString(setting, QString::number(value));
}

void SettingsStore::WriteBool(Setting setting, bool value) {
    Q_ASSERT(SettingInfoOf(setting).kind == SettingKind::Boolean);
    writeString(setting, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::WriteText(Setting setting, const QString& value) {
    Q_ASSERT(SettingInfoOf(setting).kind == SettingKind::Text);
    writeString(setting, value);
}

void SettingsStore::Flush() {
    if (!m_dirty)
        return;
    m_dirty = false;
    // The settings writer writes every value of the file again in its own form; each value of
    // ours that this store did not write gets its lines from before back, so that a value that
    // could not be read (and so was not written) stays exactly as stored.
    const QList<QByteArray> before = linesOf(readAllOf(m_path));
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw ZvError(QStringLiteral("Cannot write the settings file ") + m_path);
    restoreUnwrittenLines(before);
    m_written.clear();
    QFile::setPermissions(m_path, kOwnerOnly);
}

void SettingsStore::restoreUnwrittenLines(const QList<QByteArray>& before) {
    QList<QByteArray> after = linesOf(readAllOf(m_path));
    bool changed = false;
    for (const SettingInfo& info : kSettings) {
        if (m_written.contains(info.id))
            continue;
        const auto was = rawValueAt(before, info.id);
        const auto now = rawValueAt(after, info.id);
        if (!was || !now)
            continue;
        QByteArray stored;
        for (qsizetype i = 0; i < was->second; ++i)
            stored += before[was->first + i];
        if (!stored.endsWith('\n'))
            stored += '\n';
        QByteArray written;
        for (qsizetype i = 0; i < now->second; ++i)
            written += after[now->first + i];
        if (written == stored)
            continue;
        after.remove(now->first, now->second);
        after.insert(now->first, stored);
        changed = true;
    }
    if (!changed)
        return;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(after.join()) < 0 || !file.commit())
        throw ZvError(QStringLiteral("Cannot write the settings file ") + m_path);
}

void SettingsReadRound::Read(Setting setting, const std::function<void()>& step) {
    try {
        step();
    } catch (const ZvError&) {
        m_unread << setting;
        m_failed << setting;
    }
}

void SettingsReadRound::Finish() const {
    if (!m_failed.isEmpty())
        throw ZvError(InvalidSettingsText(m_failed));
}

QString InvalidSettingsText(const QList<Setting>& settings) {
    QStringList names;
    for (const Setting setting : settings)
        names << u'\'' + SettingName(setting) + u'\'';
    if (names.isEmpty())
        return QString();
    const QString last = names.takeLast();
    return QStringLiteral("Invalid data type for ") +
           (names.isEmpty() ? last
                            : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
}
