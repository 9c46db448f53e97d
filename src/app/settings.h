#pragma once

#include "error.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

/// Every value of the per-user settings, all in the section "ZVFee".
enum class Setting {
    MainWidth,
    MainHeight,
    MainMax,
    ServerIP,
    FilePort,
    APIPath,
    RememberPW,
    Password,
    LastFolder,
    ViewWidth,
    ViewHeight,
    ViewMax,
    ChartWidth,
    ChartHeight,
    ChartMax,
};

/// How a value is held as a string: integers as decimal text, booleans as "0"/"1", text as is.
enum class SettingKind { Integer, Boolean, Text };

struct SettingInfo {
    Setting id;
    const char16_t* name;
    SettingKind kind;
    const char16_t* defaultText; ///< "0" for integers and booleans
};

/// The row of the settings table for one value.
const SettingInfo& SettingInfoOf(Setting setting);
/// The value name as stored ("MainWidth", ...).
QString SettingName(Setting setting);

/// The per-user settings store: named string values in the section "ZVFee" of
/// ~/.config/Kestrelle/ZVFeeStats.ini, or a profile's own file beside it (the window program and
/// zvfee share it). Reading never creates the file; writing creates it readable and writable by
/// its owner only, because it may hold the API password.
///
/// Reading rules: an integer that is missing, empty or not a number reads as its default; a
/// boolean is an integer with default 0 where any non-zero value is true; a text with a non-empty
/// default gives the default only when the value is missing (an existing empty value stays
/// empty). A value that reads back as anything but a single string (a list "a, b", an
/// "@Variant(...)") raises "Invalid data type for '<name>'".
class SettingsStore {
public:
    /// The per-user file of the profile of this run ($XDG_CONFIG_HOME/Kestrelle/ZVFeeStats.ini,
    /// or ZVFeeStats-NAME.ini for the profile NAME).
    SettingsStore();
    /// Any file of the same format.
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    static QString DefaultFilePath();
    const QString& filePath() const { return m_path; }

    int ReadInteger(Setting setting) const;
    bool ReadBool(Setting setting) const;
    QString ReadText(Setting setting) const;

    /// Leaves these values as they are stored, byte for byte, whatever is written to them: they
    /// could not be read, and writing what the window holds in their place would lose them.
    void KeepAsStored(const QList<Setting>& settings);

    void WriteInteger(Setting setting, int value);
    void WriteBool(Setting setting, bool value);
    void WriteText(Setting setting, const QString& value);

    /// Writes what was set to the file (owner-only); every value not written keeps its stored
    /// text, byte for byte. Raises "Cannot write the settings file %s" when the file cannot be
    /// written. Also done when the store goes, silently.
    void Flush();

private:
    /// The stored string, or nothing when the value does not exist.
    bool readString(Setting setting, QString& out) const;
    void writeString(Setting setting, const QString& value);
    /// Puts the lines of the values not written back as they were in `before` (the file's lines).
    void restoreUnwrittenLines(const QList<QByteArray>& before);

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    QList<Setting> m_kept;
    QList<Setting> m_written;
    bool m_dirty = false;
};

/// Reads several values, each on its own: a value that cannot be read does not keep the others
/// from being read. It is noted as unread, and Finish raises one error naming every value that
/// could not be read (InvalidSettingsText) once all are read.
class SettingsReadRound {
public:
    /// Runs one read; a ZvError it raises notes the value as unread.
    void Read(Setting setting, const std::function<void()>& step);
    /// Notes a value that was not read because one it depends on could not be.
    void NotRead(Setting setting) { m_unread << setting; }
    bool IsUnread(Setting setting) const { return m_unread.contains(setting); }
    /// Every value left unread: those that failed and those not read because of them.
    const QList<Setting>& Unread() const { return m_unread; }
    /// The values whose read failed, in the order they were read.
    const QList<Setting>& Failed() const { return m_failed; }
    void Finish() const;

private:
    QList<Setting> m_unread;
    QList<Setting> m_failed;
};

/// The error that names values that could not be read: "Invalid data type for 'MainWidth'", or
/// for several "Invalid data type for 'MainWidth', 'RememberPW' and 'ViewMax'". Empty text for
/// none.
QString InvalidSettingsText(const QList<Setting>& settings);
