#pragma once

#include "engine/base/Settings.h"

#include <QMap>
#include <QString>
#include <QStringList>

// A settings store in memory that records every write, in order, and can be
// told to refuse the writes of one key.
class FakeSettingsStore final : public backtrail::engine::SettingsStore
{
public:
    QString read(QStringView section, QStringView key, const QString& defaultValue) const override
    {
        return values.value(section.toString() + u'/' + key.toString(), defaultValue);
    }

    bool write(QStringView section, QStringView key, const QString& value) override
    {
        const QString path = section.toString() + u'/' + key.toString();
        writes << path + u'=' + value;
        if (key == refusedKey)
            return false;
        values.insert(path, value);
        return true;
    }

    QMap<QString, QString> values;
    QStringList writes;
    QString refusedKey;
};
