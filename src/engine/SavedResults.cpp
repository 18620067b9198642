#include "SavedResults.h"

#include "Classify.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace backtrail::engine {

namespace {

QByteArray bytesOf(const QJsonValue& value)
{
    return value.toString().toUtf8();
}

} // namespace

bool ReadSavedResults(const QByteArray& json, SavedResults& results, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("not JSON: %1").arg(parseError.errorString());
        return false;
    }
    const QJsonObject top = document.object();
    const QJsonObject settings = top.value(QStringLiteral("settings")).toObject();
    const QJsonValue rowsValue = top.value(QStringLiteral("rows"));
    if (settings.isEmpty() || !rowsValue.isArray()) {
        *error = QStringLiteral("not the results of a scan that can be merged (they have no settings or no rows; "
                                "write them with backtrail-scan --format json)");
        return false;
    }
    SavedResults read;
    read.settings.strYourWebsite = settings.value(QStringLiteral("domain")).toString();
    read.settings.bRemoveDupes = settings.value(QStringLiteral("dupes")).toBool();
    read.settings.bGetFileTypes = settings.value(QStringLiteral("types")).toBool();
    read.settings.bHttps = settings.value(QStringLiteral("https")).toBool();
    read.settings.bHideCrawlers = settings.value(QStringLiteral("hide_crawlers")).toBool();
    read.settings.bHideSpam = settings.value(QStringLiteral("hide_spam")).toBool();
    read.bySite = settings.value(QStringLiteral("by_site")).toBool();
    read.stopped = top.value(QStringLiteral("stopped")).toBool();
    read.filesDone = top.value(QStringLiteral("files_done")).toInt();
    read.part = ScanPart(read.settings.bRemoveDupes);
    for (const QJsonValue& value : rowsValue.toArray()) {
        const QJsonObject row = value.toObject();
        if (!row.value(QStringLiteral("referrer")).isString() || !row.value(QStringLiteral("ext")).isString()) {
            *error = QStringLiteral("a row without its referrer or its file type");
            return false;
        }
        const QString clicks = row.value(QStringLiteral("clicks")).toString();
        bool number = false;
        const std::uint32_t count = clicks.isEmpty() ? 1 : clicks.toUInt(&number);
        if (!clicks.isEmpty() && !number) {
            *error = QStringLiteral("a row whose clicks are not a number: %1").arg(clicks);
            return false;
        }
        const QByteArray referrer = bytesOf(row.value(QStringLiteral("referrer")));
        const QByteArray landing = bytesOf(row.value(QStringLiteral("landing")));
        const QByteArray ext = bytesOf(row.value(QStringLiteral("ext")));
        read.part.addEntry(std::string_view(referrer.constData(), std::size_t(referrer.size())),
                           std::string_view(landing.constData(), std::size_t(landing.size())),
                           row.value(QStringLiteral("bot")).toBool(),
                           ExtensionIndexOfCode(std::string_view(ext.constData(), std::size_t(ext.size()))), count);
    }
    read.part.lines = std::int64_t(top.value(QStringLiteral("lines_scanned")).toDouble());
    read.part.links = std::int64_t(top.value(QStringLiteral("links_found")).toDouble());
    read.part.hiddenCrawlerLines = std::int64_t(top.value(QStringLiteral("hidden_crawler_lines")).toDouble());
    read.part.hiddenSpamLines = std::int64_t(top.value(QStringLiteral("hidden_spam_lines")).toDouble());
    for (const QJsonValue& value : top.value(QStringLiteral("unreadable")).toArray()) {
        const QJsonObject problem = value.toObject();
        read.unreadable.append(
            {problem.value(QStringLiteral("path")).toString(), problem.value(QStringLiteral("error")).toString()});
    }
    results = std::move(read);
    return true;
}

bool MergeSavedResults(const QStringList& paths, SavedResults& merged, QString* error)
{
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        SavedResults next;
        QString why;
        if (!ReadSavedResults(file.readAll(), next, &why)) {
            *error = QStringLiteral("%1: %2").arg(path, why);
            return false;
        }
        if (next.bySite) {
            *error = QStringLiteral("%1: its rows are grouped by site; merge results written without --by-site (and "
                                    "group the merge)")
                         .arg(path);
            return false;
        }
        if (next.stopped) {
            *error = QStringLiteral("%1: the scan was stopped before its end").arg(path);
            return false;
        }
        if (i == 0) {
            merged = std::move(next);
            continue;
        }
        const ScanSettings& a = merged.settings;
        const ScanSettings& b = next.settings;
        QString differs;
        if (a.strYourWebsite != b.strYourWebsite)
            differs = QStringLiteral("own domain '%1', not '%2'").arg(b.strYourWebsite, a.strYourWebsite);
        else if (a.bRemoveDupes != b.bRemoveDupes)
            differs = QStringLiteral("duplicate removal %1").arg(b.bRemoveDupes ? "on" : "off");
        else if (a.bGetFileTypes != b.bGetFileTypes)
            differs = QStringLiteral("type codes %1").arg(b.bGetFileTypes ? "on" : "off");
        else if (a.bHttps != b.bHttps)
            differs = QStringLiteral("https referrers %1").arg(b.bHttps ? "on" : "off");
        else if (a.bHideCrawlers != b.bHideCrawlers)
            differs = QStringLiteral("crawlers %1").arg(b.bHideCrawlers ? "hidden" : "shown");
        else if (a.bHideSpam != b.bHideSpam)
            differs = QStringLiteral("referrer spam %1").arg(b.bHideSpam ? "hidden" : "shown");
        if (!differs.isEmpty()) {
            *error = QStringLiteral("%1 was made with other settings than %2 (%3); results merge only when their "
                                    "settings are the same")
                         .arg(path, paths[0], differs);
            return false;
        }
        merged.filesDone
            = std::int32_t(std::min<std::int64_t>(std::int64_t(merged.filesDone) + next.filesDone, INT32_MAX));
        merged.part.merge(std::move(next.part));
        merged.unreadable += next.unreadable;
    }
    return true;
}

} // namespace backtrail::engine
