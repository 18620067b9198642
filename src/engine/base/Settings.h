#pragma once

#include "LogFormat.h"

#include <QString>
#include <QStringView>

#include <memory>

class QSettings;

namespace backtrail::engine {

/// Section and key names of the per-user settings store.
namespace keys {
inline constexpr auto kData = "data";
inline constexpr auto kSettings = "Settings";
inline constexpr auto kRemoveDupes = "bRemoveDupes";
inline constexpr auto kDisplayStats = "bDisplayStats";
inline constexpr auto kGetFileTypes = "bGetFileTypes";
inline constexpr auto kYourWebsite = "strYourWebsite";
inline constexpr auto kHttps = "bHttps";
inline constexpr auto kHideCrawlers = "bHideCrawlers";
inline constexpr auto kHideSpam = "bHideSpam";
/// A folder whose SearchEngines.yml, Socials.yml and AIAssistants.yml replace
/// the shipped source lists (empty: the shipped ones).
inline constexpr auto kSourceLists = "sourceLists";
/// How lines are read: "auto" (each by its shape), "access", "w3c", "json" or "text".
inline constexpr auto kLogFormat = "logFormat";
inline constexpr auto kFollowLogs = "bFollowLogs";
inline constexpr auto kDateSince = "dateSince";
inline constexpr auto kDateUntil = "dateUntil";
inline constexpr auto kPath = "path";
inline constexpr auto kShowHelp = "showHelp";
} // namespace keys

/// The own domain stored until the user names theirs in Options. Lines that
/// contain it are never referrer lines, so a fresh install finds outside links.
inline constexpr auto kPlaceholderDomain = "www.your-site.example";

/// Text values addressed by section and key. A read names the default that a
/// missing key yields; a write reports whether the value reached the store.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    virtual QString read(QStringView section, QStringView key, const QString& defaultValue) const = 0;
    virtual bool write(QStringView section, QStringView key, const QString& value) = 0;
    /// The file the values live in; empty for a store without one. The user's
    /// own lists (such as spam.txt) are kept beside it.
    virtual QString fileName() const { return {}; }
};

/// The real store: an INI file in the user's configuration folder, named after
/// the product. A file that cannot be read or that holds garbage yields the
/// defaults; a write that cannot be saved returns false and changes nothing else.
class IniSettingsStore final : public SettingsStore
{
public:
    /// The per-user store of the product (for example ~/.config/Backtrail/Backtrail.ini).
    IniSettingsStore();
    /// A store kept in the given file; tests use it to stay away from the user's settings.
    explicit IniSettingsStore(const QString& fileName);
    ~IniSettingsStore() override;

    QString read(QStringView section, QStringView key, const QString& defaultValue) const override;
    bool write(QStringView section, QStringView key, const QString& value) override;
    QString fileName() const override;

private:
    std::unique_ptr<QSettings> settings;
};

/// A switch as the store holds it: a number is true when it is not zero, the
/// words true and false count in any letter case, anything else is false.
bool TextToBool(QStringView text);

/// The store's text for a switch: "1" or "0".
inline QString BoolToText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

/// The values that steer a scan, read from the store by LoadSettings.
struct ScanSettings
{
    bool bRemoveDupes = true;
    bool bDisplayStats = true;
    bool bGetFileTypes = true;
    bool bHttps = true; // most referrers today are https:// pages
    /// Lines of crawlers (and of referrer spam) are read and counted as
    /// scanned, but are no referrer lines.
    bool bHideCrawlers = false;
    bool bHideSpam = false;
    /// The date range ("2026-12-08", or a date and time as --since takes it):
    /// empty is open. While one is set, a line outside it, or without a time,
    /// is read and counted as scanned but is no referrer line.
    QString strDateSince;
    QString strDateUntil;
    /// How each line is read: by its shape, or as the one shape named.
    LogFormat logFormat = LogFormat::Auto;
    QString strYourWebsite = QString::fromLatin1(kPlaceholderDomain);
};

/// Reads the scan settings from a store, with the defaults for missing keys.
ScanSettings ReadScanSettings(const SettingsStore& store);

/// The process-wide scan settings that every scan reads while it runs.
ScanSettings& Globals();

/// Fills the process-wide scan settings from the store.
void LoadSettings(const SettingsStore& store);

} // namespace backtrail::engine
