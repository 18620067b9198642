#include "SavedResults.h"

#include "Classify.h"
#include "engine/fields/LineTime.h"
#include "engine/visitors/CrawlerKinds.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace backtrail::engine {

namespace {

QByteArray bytesOf(const QJsonValue& value)
{
    return ResultsTextBytes(value.toString());
}

// The largest count a result may hold: every integer up to it is exact in
// JSON's doubles, and no log of this world has that many lines.
constexpr double kMostCount = 9007199254740992.0; // 2^53

// A counter of the results: a whole number from 0 to kMostCount, else -1.
// Results written before a counter was kept have none: 0.
std::int64_t counterOf(const QJsonValue& value)
{
    if (value.isUndefined())
        return 0;
    if (!value.isDouble())
        return -1;
    const double number = value.toDouble();
    if (!(number >= 0 && number <= kMostCount) || number != double(std::int64_t(number)))
        return -1;
    return std::int64_t(number);
}

std::uint32_t clicksOf(const QJsonValue& value, bool* ok)
{
    const double clicks = value.toDouble(-1);
    *ok = clicks >= 0 && clicks <= double(UINT32_MAX) && clicks == double(std::uint64_t(clicks));
    return *ok ? std::uint32_t(clicks) : 0;
}

// A row's "landings" and "days", added to its entry's details.
bool readDetails(const QJsonObject& row, std::uint32_t entry, std::uint32_t rowClicks, EntryDetails& details,
                 QString* error)
{
    const QJsonValue landings = row.value(QStringLiteral("landings"));
    const QJsonValue days = row.value(QStringLiteral("days"));
    if (!landings.isArray() || !days.isArray()) {
        *error = QStringLiteral("a row without its landings or days (write the results with --details)");
        return false;
    }
    std::uint64_t landingClicks = 0;
    for (const QJsonValue& value : landings.toArray()) {
        bool ok = false;
        const std::uint32_t clicks = clicksOf(value.toObject().value(QStringLiteral("clicks")), &ok);
        const QByteArray path = bytesOf(value.toObject().value(QStringLiteral("path")));
        if (!ok) {
            *error = QStringLiteral("a landing page whose clicks are not a count");
            return false;
        }
        landingClicks += clicks;
        details.addLanding(entry, std::string_view(path.constData(), std::size_t(path.size())), clicks);
    }
    std::uint64_t dayClicks = 0;
    for (const QJsonValue& value : days.toArray()) {
        bool ok = false;
        const std::uint32_t clicks = clicksOf(value.toObject().value(QStringLiteral("clicks")), &ok);
        const QByteArray date = bytesOf(value.toObject().value(QStringLiteral("date")));
        std::int32_t day = 0;
        if (!ok || !ReadDayText(std::string_view(date.constData(), std::size_t(date.size())), day)) {
            *error = QStringLiteral("a day that is no date with a count: %1").arg(QString::fromUtf8(date));
            return false;
        }
        dayClicks += clicks;
        details.addDay(entry, day, clicks);
    }
    // Every click has its landing page; a click without a time has no day.
    if (landingClicks != rowClicks || dayClicks > rowClicks) {
        *error = QStringLiteral("a row whose landing pages or days do not add up to its clicks");
        return false;
    }
    return true;
}

} // namespace

QByteArray ResultsTextBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype plain = 0; // start of the run not yet converted
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (unit < 0xDC80 || unit > 0xDCFF)
            continue;
        bytes += QStringView(text).mid(plain, i - plain).toUtf8();
        bytes += char(unit - 0xDC00);
        plain = i + 1;
    }
    if (plain == 0)
        return text.toUtf8();
    bytes += QStringView(text).mid(plain).toUtf8();
    return bytes;
}

bool ReadSavedResults(const QByteArray& json, SavedResults& results, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("not JSON: %1").arg(parseError.errorString());
        return false;
    }
    return ReadSavedResults(document.object(), results, error);
}

bool ReadSavedResults(const QJsonObject& top, SavedResults& results, QString* error)
{
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
    read.settings.strDateSince = settings.value(QStringLiteral("since")).toString();
    read.settings.strDateUntil = settings.value(QStringLiteral("until")).toString();
    // Results written before lines were read by their shape name no log format:
    // they go on as the default reads (most lines' referrers are the same).
    const QJsonValue format = settings.value(QStringLiteral("log_format"));
    if (format.isUndefined()) {
        read.settings.logFormat = LogFormat::Auto;
    } else {
        const QByteArray name = format.toString().toLatin1();
        if (!LogFormatFromName(std::string_view(name.constData(), std::size_t(name.size())), read.settings.logFormat)) {
            *error = QStringLiteral("its log format '%1' is none this program knows").arg(format.toString());
            return false;
        }
    }
    read.details = settings.value(QStringLiteral("details")).toBool();
    read.bySite = settings.value(QStringLiteral("by_site")).toBool();
    read.bySource = settings.value(QStringLiteral("by_source")).toBool();
    read.stopped = top.value(QStringLiteral("stopped")).toBool();
    // The counters: whole numbers that a scan can have counted.
    const char* const counterKeys[] = {"files_done",           "lines_scanned",     "links_found",
                                       "hidden_crawler_lines", "hidden_spam_lines", "lines_outside_range"};
    std::int64_t counters[6] = {};
    for (int k = 0; k < 6; ++k) {
        counters[k] = counterOf(top.value(QLatin1String(counterKeys[k])));
        if (counters[k] < 0) {
            *error = QStringLiteral("its %1 is no count a scan can have made").arg(QLatin1String(counterKeys[k]));
            return false;
        }
    }
    if (counters[0] > INT32_MAX || counters[2] + counters[3] + counters[4] + counters[5] > counters[1]) {
        *error = QStringLiteral("its counters do not add up (more links and hidden lines than lines scanned)");
        return false;
    }
    read.filesDone = std::int32_t(counters[0]);
    read.part = ScanPart(read.settings.bRemoveDupes, read.details);
    std::int64_t clicksInRows = 0;
    for (const QJsonValue& value : rowsValue.toArray()) {
        const QJsonObject row = value.toObject();
        if (!value.isObject() || !row.value(QStringLiteral("referrer")).isString()
            || !row.value(QStringLiteral("ext")).isString()) {
            *error = QStringLiteral("a row without its referrer or its file type");
            return false;
        }
        const QString clicks = row.value(QStringLiteral("clicks")).toString();
        bool number = false;
        const std::uint32_t count = clicks.isEmpty() ? 1 : clicks.toUInt(&number);
        if ((!clicks.isEmpty() && (!number || count == 0)) || (clicks.isEmpty() && read.settings.bRemoveDupes)) {
            *error = QStringLiteral("a row whose clicks are not a number: %1").arg(clicks);
            return false;
        }
        clicksInRows += count;
        const QByteArray referrer = bytesOf(row.value(QStringLiteral("referrer")));
        const QByteArray landing = bytesOf(row.value(QStringLiteral("landing")));
        const QByteArray ext = bytesOf(row.value(QStringLiteral("ext")));
        LineTime seen[2];
        const char* const seenKeys[] = {"first_seen", "last_seen"};
        for (int k = 0; k < 2; ++k) {
            const QByteArray text = bytesOf(row.value(QLatin1String(seenKeys[k])));
            if (text.isEmpty())
                continue;
            seen[k] = FindLineTime(std::string_view(text.constData(), std::size_t(text.size())), W3cFields());
            if (!seen[k].valid) {
                *error = QStringLiteral("a row whose %1 is no time: %2").arg(QLatin1String(seenKeys[k]), text);
                return false;
            }
        }
        if (seen[0].valid && seen[1].valid && seen[1].instant() < seen[0].instant()) {
            *error = QStringLiteral("a row last seen before it was first seen: %1").arg(QString::fromUtf8(referrer));
            return false;
        }
        // A crawler's row names its kind of crawler as its source.
        const QByteArray crawlerKind = row.value(QStringLiteral("source_kind")).toString() == u"crawler"
            ? bytesOf(row.value(QStringLiteral("source")))
            : QByteArray();
        const std::uint8_t bot = !row.value(QStringLiteral("bot")).toBool()
            ? kPersonMark
            : CrawlerKindMark(std::string_view(crawlerKind.constData(), std::size_t(crawlerKind.size())));
        const std::size_t entry = read.part.addEntry(
            std::string_view(referrer.constData(), std::size_t(referrer.size())),
            std::string_view(landing.constData(), std::size_t(landing.size())), bot,
            ExtensionIndexOfCode(std::string_view(ext.constData(), std::size_t(ext.size()))), count, seen[0], seen[1]);
        if (read.details && read.part.collectsDetails()
            && !readDetails(row, std::uint32_t(entry), count, read.part.details(), error))
            return false;
    }
    // Each link found is a click of a row (rows grouped by site hold the same clicks).
    if (clicksInRows != counters[2]) {
        *error = QStringLiteral("its rows hold %1 clicks, not the %2 links found").arg(clicksInRows).arg(counters[2]);
        return false;
    }
    read.part.lines = counters[1];
    read.part.links = counters[2];
    read.part.hiddenCrawlerLines = counters[3];
    read.part.hiddenSpamLines = counters[4];
    read.part.outsideRangeLines = counters[5];
    for (const QJsonValue& value : top.value(QStringLiteral("unreadable")).toArray()) {
        const QJsonObject problem = value.toObject();
        read.unreadable.append(
            {problem.value(QStringLiteral("path")).toString(), problem.value(QStringLiteral("error")).toString()});
    }
    results = std::move(read);
    return true;
}

QString SettingsDifference(const SavedResults& first, const SavedResults& next)
{
    const ScanSettings& a = first.settings;
    const ScanSettings& b = next.settings;
    if (a.strYourWebsite != b.strYourWebsite)
        return QStringLiteral("own domain '%1', not '%2'").arg(b.strYourWebsite, a.strYourWebsite);
    if (a.bRemoveDupes != b.bRemoveDupes)
        return QStringLiteral("duplicate removal %1").arg(b.bRemoveDupes ? "on" : "off");
    if (a.bGetFileTypes != b.bGetFileTypes)
        return QStringLiteral("type codes %1").arg(b.bGetFileTypes ? "on" : "off");
    if (a.bHttps != b.bHttps)
        return QStringLiteral("https referrers %1").arg(b.bHttps ? "on" : "off");
    if (a.bHideCrawlers != b.bHideCrawlers)
        return QStringLiteral("crawlers %1").arg(b.bHideCrawlers ? "hidden" : "shown");
    if (a.bHideSpam != b.bHideSpam)
        return QStringLiteral("referrer spam %1").arg(b.bHideSpam ? "hidden" : "shown");
    if (a.logFormat != b.logFormat)
        return QStringLiteral("log format %1")
            .arg(QLatin1String(LogFormatName(b.logFormat).data(), qsizetype(LogFormatName(b.logFormat).size())));
    if (a.strDateSince != b.strDateSince || a.strDateUntil != b.strDateUntil)
        return QStringLiteral("dates from '%1' to '%2'").arg(b.strDateSince, b.strDateUntil);
    if (first.details != next.details)
        return QStringLiteral("details %1").arg(next.details ? "written" : "not written");
    if (first.bySite != next.bySite)
        return QStringLiteral("rows %1").arg(next.bySite ? "grouped by site" : "not grouped by site");
    return {};
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
        if (next.bySource) {
            *error = QStringLiteral("%1: its rows are grouped by source; merge results written without --by-source "
                                    "(and group the merge)")
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
        const QString differs = SettingsDifference(merged, next);
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
