#include "ScanOptions.h"

#include "engine/results/formats/TextOutput.h"

#include "engine/fields/LineShape.h"
#include "engine/fields/LineTime.h"
#include "engine/fields/OwnSite.h"

#include <optional>
#include <tuple>

namespace backtrail::cli {

using namespace backtrail::engine;

namespace {

// A pair of --X/--no-X switches: the store's value unless one of them is given.
bool switchValue(const QCommandLineParser& parser, const QString& name, bool stored, QString* conflict)
{
    const bool on = parser.isSet(name);
    const bool off = parser.isSet(QStringLiteral("no-") + name);
    if (on && off)
        *conflict = QStringLiteral("--%1 and --no-%1 exclude each other").arg(name);
    return on ? true : off ? false : stored;
}

} // namespace

void AddScanOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Scans web-server access logs for the outside pages that send visitors to the site,\n"
                       "and prints one row per referring address with its clicks and the type of file asked for."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption domain(QStringLiteral("domain"),
                                    QStringLiteral("Own domain. ") + QLatin1String(engine::kOwnDomainHelp),
                                    QStringLiteral("TEXT"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("Output format: table (default), tsv, json, html, or report (one web page to share, "
                       "with a chart, search and each row's details)."),
        QStringLiteral("FORMAT"), QStringLiteral("table"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write the output to FILE (replaced only when complete)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption sort(QStringLiteral("sort"),
                                  QStringLiteral("Write the rows by clicks (most first), referrer (letter case "
                                                 "ignored) or first-seen (earliest first) in the table, TSV and "
                                                 "JSON (the report sorts in its page, html is the export's list); "
                                                 "default: in the order their referrers were first found. On a "
                                                 "terminal the table fits its width and ends with the number of "
                                                 "rows."),
                                  QStringLiteral("ORDER"));
    const QCommandLineOption bySite(QStringLiteral("by-site"),
                                    QStringLiteral("One row per referring site, crawlers apart, clicks summed."));
    const QCommandLineOption bySource(
        QStringLiteral("by-source"),
        QStringLiteral("One row per source (search engine, social network, AI assistant, website, kind of crawler, "
                       "spam site), clicks summed; with --details in JSON each gives its search words with their "
                       "clicks."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("No progress and no completion text."));
    const QCommandLineOption merge(QStringLiteral("merge"),
                                   QStringLiteral("Merge results that --format json wrote (the FILEs), in this order, "
                                                  "into what one scan of all their files gives; results written with "
                                                  "--details keep them. The results keep every byte of the logs: a "
                                                  "byte that is no UTF-8 is written as a lone surrogate, \\udc80 to "
                                                  "\\udcff."));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Read with N threads (default: one for each core; 1: one after "
                                                    "another on one thread)."),
                                     QStringLiteral("N"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(domain);
    const std::pair<const char*, const char*> switches[] = {
        {"dupes", "Remove duplicates and count clicks"},
        {"types", "Give each row a type code"},
        {"https", "Also find https:// referrers"},
    };
    for (const auto& [name, text] : switches) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text) + "."));
        parser.addOption(QCommandLineOption(QStringLiteral("no-") + QString::fromLatin1(name),
                                            QStringLiteral("Do not: ") + QString::fromLatin1(text).toLower() + "."));
    }
    // Crawlers and referrer spam are shown unless hidden: --no-bots and --no-spam hide them.
    const std::pair<const char*, const char*> visitors[] = {
        {"bots", "crawlers' lines (typed BOT)"},
        {"spam", "referrer spam (typed SPM)"},
    };
    for (const auto& [name, text] : visitors) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QStringLiteral("Show ") + text + "."));
        parser.addOption(QCommandLineOption(
            QStringLiteral("no-") + QString::fromLatin1(name),
            QStringLiteral("Hide ") + text + QStringLiteral(": such lines are scanned but are no referrer lines.")));
    }
    const QCommandLineOption crawlerList(
        QStringLiteral("crawler-list"),
        QStringLiteral("Tell crawlers by the patterns of FILE (a crawler-user-agents JSON list) instead of the "
                       "shipped list."),
        QStringLiteral("FILE"));
    const QCommandLineOption spamList(QStringLiteral("spam-list"),
                                      QStringLiteral("Tell referrer spam by the hosts of FILE (one a line) instead of "
                                                     "the shipped list; the user's spam.txt is read as well."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption sourceLists(
        QStringLiteral("source-lists"),
        QStringLiteral("Tell search engines, social networks and AI assistants by the SearchEngines.yml, "
                       "Socials.yml and AIAssistants.yml of DIR instead of the shipped lists."),
        QStringLiteral("DIR"));
    parser.addOption(crawlerList);
    parser.addOption(spamList);
    parser.addOption(sourceLists);
    const QCommandLineOption since(QStringLiteral("since"),
                                   QStringLiteral("Only lines from DATE on (2026-12-08 is the whole day; "
                                                  "2026-12-08T10:00 or 2026-12-08T10:00:30 that second), by the time "
                                                  "the line writes."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption until(QStringLiteral("until"),
                                   QStringLiteral("Only lines up to DATE (2026-12-08 includes all of that day)."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption logFormat(QStringLiteral("log-format"), QString::fromLatin1(engine::kLogFormatHelp),
                                       QStringLiteral("SHAPE"));
    const QCommandLineOption details(QStringLiteral("details"),
                                     QStringLiteral("In JSON, give each row its landing pages and its clicks per "
                                                    "day (a report always has them)."));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral(
            "Keep the results and what was read of each log in FILE, and on the next run with the same FILE read "
            "only what is new: the output is that of one scan of all the content read. A log is known by its "
            "content (its first 4 KiB, decompressed), not by its name, so lines appended, rotation by renaming "
            "(to .1, to .gz), copytruncate and the same log under two names are each read once; a log that is "
            "gone keeps its results. A last line without its line end waits for the next run. Give the logs "
            "oldest first (access.log.1 before access.log), as one scan would read them. What the state "
            "cannot know: a log written anew from its start whose first lines are those read before (the run "
            "says so and stops), a copy cut short of what was read (taken for one written anew), lines inserted "
            "before the end of what was read, and logs whose lines end in a lone CR. FILE is replaced only when "
            "a run ends complete; a state of other settings, a damaged one or another program's is refused and "
            "left as it was."),
        QStringLiteral("FILE"));
    const QCommandLineOption follow(
        QStringLiteral("follow"),
        QStringLiteral("After the scan, keep watching the files and folders given (new files in a folder too), read "
                       "what is new every --interval seconds, rotation handled as --state does, and replace the "
                       "--output FILE (needed) whenever something changed; with --state the state too. Ctrl+C ends "
                       "it with a last read and write (exit status 130)."));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("With --follow, look for what is new every SECONDS (default 5)."),
                                      QStringLiteral("SECONDS"));
    parser.addOption(since);
    parser.addOption(until);
    parser.addOption(logFormat);
    parser.addOption(state);
    parser.addOption(follow);
    parser.addOption(interval);
    parser.addOption(details);
    parser.addOption(format);
    parser.addOption(output);
    parser.addOption(sort);
    parser.addOption(bySite);
    parser.addOption(bySource);
    parser.addOption(quiet);
    parser.addOption(threads);
    parser.addOption(merge);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Log files to scan, in this order; a folder stands for all its files."),
                                 QStringLiteral("FILE..."));
}

QString ApplyScanOptions(const QCommandLineParser& parser, ScanSettings& settings)
{
    const QCommandLineOption since(QStringLiteral("since"));
    const QCommandLineOption until(QStringLiteral("until"));
    QString conflict;
    settings.bRemoveDupes = switchValue(parser, QStringLiteral("dupes"), settings.bRemoveDupes, &conflict);
    settings.bGetFileTypes = switchValue(parser, QStringLiteral("types"), settings.bGetFileTypes, &conflict);
    settings.bHttps = switchValue(parser, QStringLiteral("https"), settings.bHttps, &conflict);
    settings.bHideCrawlers = !switchValue(parser, QStringLiteral("bots"), !settings.bHideCrawlers, &conflict);
    settings.bHideSpam = !switchValue(parser, QStringLiteral("spam"), !settings.bHideSpam, &conflict);
    if (!conflict.isEmpty())
        return conflict;
    if (parser.isSet(QStringLiteral("domain")))
        settings.strYourWebsite = parser.value(QStringLiteral("domain"));
    if (parser.isSet(QStringLiteral("log-format"))) {
        const QByteArray name = parser.value(QStringLiteral("log-format")).toLatin1();
        if (!LogFormatFromName(std::string_view(name.constData(), std::size_t(name.size())), settings.logFormat))
            return QStringLiteral("--log-format takes auto, access, w3c, json or text, not '%1'")
                .arg(parser.value(QStringLiteral("log-format")));
    }
    for (const auto& [option, value, isEnd] :
         {std::tuple(&since, &settings.strDateSince, false), std::tuple(&until, &settings.strDateUntil, true)}) {
        if (!parser.isSet(*option))
            continue;
        if (!ParseRangeBound(Utf8(parser.value(*option)), isEnd))
            return (QStringLiteral("--%1 takes a date (2026-12-08) or a date and time (2026-12-08T10:00 "
                                   "or 2026-12-08T10:00:30), not '%2'")
                        .arg(option->names().first(), parser.value(*option)));
        *value = parser.value(*option);
    }
    if (const std::optional<std::int64_t> from = ParseRangeBound(Utf8(settings.strDateSince), false),
        to = ParseRangeBound(Utf8(settings.strDateUntil), true);
        from && to && *from > *to)
        return (QStringLiteral("the date range is empty: --since %1 comes after --until %2")
                    .arg(settings.strDateSince, settings.strDateUntil));
    return {};
}

} // namespace backtrail::cli
