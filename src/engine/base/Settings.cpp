#include "Settings.h"

#include <QSettings>

#include <cmath>
#include <cstdint>
#include <sys/stat.h>

namespace backtrail::engine {

namespace {

QString keyPath(QStringView section, QStringView key)
{
    return section.toString() + u'/' + key.toString();
}

// Which file a path names and when it last changed: a file replaced or
// rewritten gets another stamp.
struct FileStamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path)
{
    FileStamp stamp;
    struct stat info;
    if (::stat(path.toLocal8Bit().constData(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

IniSettingsStore::IniSettingsStore()
    : settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Backtrail"),
                                           QStringLiteral("Backtrail")))
{
}

IniSettingsStore::IniSettingsStore(const QString& fileName)
    : settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

IniSettingsStore::~IniSettingsStore() = default;

QString IniSettingsStore::read(QStringView section, QStringView key, const QString& defaultValue) const
{
    // A value that is not text (a hand-edited list, say) reads as its text form or the default.
    const QVariant value = settings->value(keyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    if (value.canConvert<QString>())
        return value.toString();
    return defaultValue;
}

bool IniSettingsStore::write(QStringView section, QStringView key, const QString& value)
{
    // A file that held garbage when it was read leaves QSettings reporting that
    // format error for as long as it lives, also after a write has replaced the
    // file with a clean one, and it then records no write failure either. For
    // such a file, whether the file was rewritten tells whether the value landed.
    const bool damaged = settings->status() == QSettings::FormatError;
    const FileStamp before = damaged ? stampOf(settings->fileName()) : FileStamp {};
    settings->setValue(keyPath(section, key), value);
    settings->sync();
    if (damaged)
        return stampOf(settings->fileName()) != before;
    return settings->status() == QSettings::NoError;
}

QString IniSettingsStore::fileName() const
{
    return settings->fileName();
}

bool TextToBool(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    // Only finite numbers count: "nan" and "inf" are words, and words other
    // than true and false are false.
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    return isNumber && std::isfinite(number) && number != 0.0;
}

ScanSettings ReadScanSettings(const SettingsStore& store)
{
    const QString data = QString::fromLatin1(keys::kData);
    const QString one = QStringLiteral("1");
    ScanSettings values;
    values.bRemoveDupes = TextToBool(store.read(data, QString::fromLatin1(keys::kRemoveDupes), one));
    values.bDisplayStats = TextToBool(store.read(data, QString::fromLatin1(keys::kDisplayStats), one));
    values.bGetFileTypes = TextToBool(store.read(data, QString::fromLatin1(keys::kGetFileTypes), one));
    values.strYourWebsite
        = store.read(data, QString::fromLatin1(keys::kYourWebsite), QString::fromLatin1(kPlaceholderDomain));
    values.bHttps = TextToBool(store.read(data, QString::fromLatin1(keys::kHttps), one));
    const QString zero = QStringLiteral("0");
    values.bHideCrawlers = TextToBool(store.read(data, QString::fromLatin1(keys::kHideCrawlers), zero));
    values.bHideSpam = TextToBool(store.read(data, QString::fromLatin1(keys::kHideSpam), zero));
    values.strDateSince = store.read(data, QString::fromLatin1(keys::kDateSince), QString());
    values.strDateUntil = store.read(data, QString::fromLatin1(keys::kDateUntil), QString());
    // A name the store does not know reads as the default.
    const QByteArray format = store.read(data, QString::fromLatin1(keys::kLogFormat), QStringLiteral("auto"))
                                  .trimmed()
                                  .toLower()
                                  .toLatin1();
    if (!LogFormatFromName(std::string_view(format.constData(), std::size_t(format.size())), values.logFormat))
        values.logFormat = LogFormat::Auto;
    return values;
}

ScanSettings& Globals()
{
    static ScanSettings values;
    return values;
}

void LoadSettings(const SettingsStore& store)
{
    Globals() = ReadScanSettings(store);
}

} // namespace backtrail::engine
