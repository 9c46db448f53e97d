#pragma once

#include <QString>
#include <memory>

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
/// ~/.config/Kestrelle/ZVFeeStats.ini (the window program and zvfee share it). Reading never
/// creates the file; writing creates it readable and writable by its owner only, because it may
/// hold the API password.
///
/// Reading rules: an integer that is missing, empty or not a number reads as its default; a
/// boolean is an integer with default 0 where any non-zero value is true; a text with a non-empty
/// default gives the default only when the value is missing (an existing empty value stays
/// empty). A value that reads back as anything but a single string (a list "a, b", an
/// "@Variant(...)") raises "Invalid data type for '<name>'".
class SettingsStore {
public:
    /// The per-user file ($XDG_CONFIG_HOME/Kestrelle/ZVFeeStats.ini).
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

    void WriteInteger(Setting setting, int value);
    void WriteBool(Setting setting, bool value);
    void WriteText(Setting setting, const QString& value);

    /// Writes what was set to the file (owner-only). Raises "Cannot write the settings file %s"
    /// when the file cannot be written. Also done when the store goes, silently.
    void Flush();

private:
    /// The stored string, or nothing when the value does not exist.
    bool readString(Setting setting, QString& out) const;
    void writeString(Setting setting, const QString& value);

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    bool m_dirty = false;
};
