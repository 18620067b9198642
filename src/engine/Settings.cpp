#include "Settings.h"

#include <QSettings>

#include <cmath>

namespace backtrail::engine {

namespace {

QString keyPath(QStringView section, QStringView key)
{
    return section.toString() + u'/' + key.toString();
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
    settings->setValue(keyPath(section, key), value);
    settings->sync();
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
    values.bHttps = TextToBool(store.read(data, QString::fromLatin1(keys::kHttps), QStringLiteral("0")));
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
