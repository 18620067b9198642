#include "ScanCommand.h"

#include "CliFrontEnd.h"
#include "Formats.h"
#include "Output.h"
#include "ScanInputs.h"
#include "ScanOptions.h"
#include "StateFile.h"
#include "TextOutput.h"

#include "engine/base/BuildInfo.h"
#include "engine/base/Settings.h"
#include "engine/results/Grouping.h"
#include "engine/results/SavedResults.h"
#include "engine/scan/ScanDriver.h"
#include "engine/visitors/VisitorLists.h"

#include <QCommandLineParser>
#include <QDir>

#include <memory>
#include <vector>

namespace backtrail::cli {

using namespace backtrail::engine;

std::atomic<int>& InterruptCount()
{
    static std::atomic<int> count {0};
    return count;
}

namespace {

enum class Format { Table, Tsv, Json, Html, Report };

} // namespace

int RunScanCommand(const QStringList& arguments, const SettingsStore& store, CommandStreams streams)
{
    QCommandLineParser parser;
    AddScanOptions(parser);
    auto usageError = [&](const QString& message) {
        streams.err << "backtrail-scan: " << Utf8(message) << "\nTry 'backtrail-scan --help'.\n";
        return int(ExitStatus::Usage);
    };
    if (!parser.parse(QStringList {QStringLiteral("backtrail-scan")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        streams.out << Utf8(parser.helpText());
        return int(ExitStatus::Ok);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        streams.out << "backtrail-scan " << build::kVersion << '\n';
        return int(ExitStatus::Ok);
    }

    ScanSettings settings = ReadScanSettings(store);
    if (const QString wrong = ApplyScanOptions(parser, settings); !wrong.isEmpty())
        return usageError(wrong);
    const QString formatName = parser.value(QStringLiteral("format"));
    Format chosen;
    if (formatName == u"table")
        chosen = Format::Table;
    else if (formatName == u"tsv")
        chosen = Format::Tsv;
    else if (formatName == u"json")
        chosen = Format::Json;
    else if (formatName == u"html")
        chosen = Format::Html;
    else if (formatName == u"report")
        chosen = Format::Report;
    else
        return usageError(QStringLiteral("unknown format '%1' (use table, tsv, json, html or report)").arg(formatName));
    int threadCount = 0;
    if (parser.isSet(QStringLiteral("threads"))) {
        bool number = false;
        threadCount = parser.value(QStringLiteral("threads")).toInt(&number);
        if (!number || threadCount < 1 || threadCount > 1024)
            return usageError(QStringLiteral("--threads takes a number from 1 to 1024, not '%1'")
                                  .arg(parser.value(QStringLiteral("threads"))));
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return usageError(QStringLiteral("no log file given"));

    const bool merging = parser.isSet(QStringLiteral("merge"));
    SavedResults merged;
    if (merging) {
        for (const QString& name :
             {QStringLiteral("domain"), QStringLiteral("dupes"), QStringLiteral("no-dupes"), QStringLiteral("types"),
              QStringLiteral("no-types"), QStringLiteral("https"), QStringLiteral("no-https"), QStringLiteral("bots"),
              QStringLiteral("no-bots"), QStringLiteral("spam"), QStringLiteral("no-spam"), QStringLiteral("since"),
              QStringLiteral("until"), QStringLiteral("threads")}) {
            if (parser.isSet(name))
                return usageError(
                    QStringLiteral("--%1 does not go with --merge: the results carry their settings").arg(name));
        }
        QString why;
        if (!MergeSavedResults(paths, merged, &why)) {
            streams.err << "backtrail-scan: " << Utf8(why) << '\n';
            return int(ExitStatus::Usage);
        }
        settings = merged.settings;
        if (parser.isSet(QStringLiteral("details")) && !merged.details)
            return usageError(QStringLiteral("--details needs results that were written with --details"));
        if (chosen == Format::Report && !merged.details)
            return usageError(QStringLiteral("--format report needs results that were written with --details"));
    }

    // The file list: each file as given, each folder as all the files it lists.
    std::vector<Entry> entries;
    std::vector<Problem> missing;
    if (!merging)
        ListInputs(paths, entries, missing);

    VisitorLists lists = LoadVisitorLists(parser.value(QStringLiteral("crawler-list")),
                                          parser.value(QStringLiteral("spam-list")), store.fileName());
    for (const QString& problem : lists.problems)
        streams.err << "backtrail-scan: " << Utf8(problem) << '\n';
    if (!lists.usable)
        return int(ExitStatus::Usage);

    const bool quietRun = parser.isSet(QStringLiteral("quiet"));
    streams.progressBar = streams.progressBar && !quietRun;
    QStringList files;
    for (const Entry& entry : entries)
        files.push_back(QDir(entry.folder).filePath(entry.name));
    if (merging)
        files = paths;
    // Results written with their details carry them into the merge; a report
    // always shows each row's landing pages and days.
    const bool withDetails
        = parser.isSet(QStringLiteral("details")) || (merging && merged.details) || chosen == Format::Report;
    const bool bySite = parser.isSet(QStringLiteral("by-site"));

    // With --state: the results so far, and of each file only what lies beyond what was read.
    const QString statePath = parser.value(QStringLiteral("state"));
    ScanStateFile kept;
    std::vector<FileRange> ranges;
    if (!statePath.isEmpty()) {
        if (merging)
            return usageError(QStringLiteral("--state does not go with --merge"));
        SavedResults wanted;
        wanted.settings = settings;
        wanted.details = withDetails;
        wanted.bySite = bySite;
        QString why;
        if (!OpenStateFile(statePath, wanted, kept, &why)) {
            streams.err << "backtrail-scan: " << Utf8(why) << '\n';
            return int(ExitStatus::Usage);
        }
        if (!PlanStateReads(files, kept, ranges, &why)) {
            streams.err << "backtrail-scan: " << Utf8(why) << '\n';
            return int(ExitStatus::FileProblem);
        }
    }
    CliFrontEnd frontEnd(std::move(entries), streams);
    frontEnd.ranges = std::move(ranges);
    for (const Problem& problem : missing)
        frontEnd.fileUnreadable(problem.path, problem.error);
    Scanner scanner(frontEnd, settings);
    scanner.setThreads(threadCount);
    scanner.setVisitorLists(lists.crawlers, std::move(lists.spam));
    scanner.setCollectDetails(withDetails);
    frontEnd.attach(scanner);
    if (!statePath.isEmpty())
        scanner.setEarlierResults(std::move(kept.results.part));
    if (merging)
        scanner.ShowResults(std::move(merged.part), merged.filesDone, merged.unreadable);
    else
        scanner.StartScan();
    frontEnd.endBar();

    const ScanState& state = scanner.state();
    // The state is written as the rows stand before any grouping, and
    // replaces FILE only once the output is written too; a stopped run, or
    // one where a file could not be read to its end, leaves it as it was.
    const bool fileFailed = frontEnd.problems.size() > missing.size();
    std::unique_ptr<Output> stateOut;
    if (!statePath.isEmpty() && !state.counters.StopRequested && !fileFailed) {
        stateOut = std::make_unique<Output>(streams.err, statePath);
        WriteJson(*stateOut, scanner, frontEnd.rows, frontEnd.status, {}, settings, false, withDetails, {},
                  scanner.threadCount(), StateMembers(kept.marks, bySite));
    } else if (!statePath.isEmpty() && fileFailed) {
        streams.err << "backtrail-scan: " << Utf8(statePath)
                    << ": not written, for a file could not be read to its end; it is left as it was\n";
    }
    std::vector<std::vector<std::size_t>> siteMembers;
    if (bySite)
        frontEnd.rows = GroupBySite(frontEnd.rows, &siteMembers);
    const ResultTable& rows = frontEnd.rows;
    Output out(streams.out, parser.value(QStringLiteral("output")));
    switch (chosen) {
    case Format::Table:
        WriteTable(out, rows);
        break;
    case Format::Tsv:
        WriteTsv(out, rows);
        break;
    case Format::Json:
        WriteJson(out, scanner, rows, frontEnd.status, frontEnd.problems, settings,
                  parser.isSet(QStringLiteral("by-site")), withDetails, siteMembers, scanner.threadCount());
        break;
    case Format::Html:
        WriteHtml(out, state.lists);
        break;
    case Format::Report:
        WriteReport(out, scanner, rows, frontEnd.status, frontEnd.problems, settings, files,
                    parser.isSet(QStringLiteral("by-site")), siteMembers);
        break;
    }
    QString writeError;
    if (!out.finish(&writeError)) {
        streams.err << "backtrail-scan: cannot write " << Utf8(parser.value(QStringLiteral("output"))) << ": "
                    << Utf8(writeError) << '\n';
        return int(ExitStatus::FileProblem);
    }
    if (stateOut && !stateOut->finish(&writeError)) {
        streams.err << "backtrail-scan: cannot write " << Utf8(statePath) << ": " << Utf8(writeError) << '\n';
        return int(ExitStatus::FileProblem);
    }
    if (!quietRun)
        streams.err << Utf8(frontEnd.status) << '\n';
    if (state.counters.StopRequested)
        return int(ExitStatus::Interrupted);
    return frontEnd.problems.empty() ? int(ExitStatus::Ok) : int(ExitStatus::FileProblem);
}

} // namespace backtrail::cli
