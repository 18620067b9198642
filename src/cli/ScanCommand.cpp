#include "ScanCommand.h"

#include "CliFrontEnd.h"
#include "FollowedFiles.h"
#include "ScanInputs.h"
#include "ScanOptions.h"
#include "StateFile.h"

#include "engine/base/BuildInfo.h"
#include "engine/base/Settings.h"
#include "engine/results/Grouping.h"
#include "engine/results/RowSources.h"
#include "engine/results/SavedResults.h"
#include "engine/results/formats/Formats.h"
#include "engine/results/formats/Output.h"
#include "engine/results/formats/TextOutput.h"
#include "engine/scan/ScanDriver.h"
#include "engine/visitors/VisitorLists.h"

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <memory>
#include <optional>
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
    RowSort sort = RowSort::Standing;
    if (parser.isSet(QStringLiteral("sort")) && !RowSortFromName(Utf8(parser.value(QStringLiteral("sort"))), sort))
        return usageError(QStringLiteral("--sort takes clicks, referrer or first-seen, not '%1'")
                              .arg(parser.value(QStringLiteral("sort"))));
    int threadCount = 0;
    if (parser.isSet(QStringLiteral("threads"))) {
        bool number = false;
        threadCount = parser.value(QStringLiteral("threads")).toInt(&number);
        if (!number || threadCount < 1 || threadCount > 1024)
            return usageError(QStringLiteral("--threads takes a number from 1 to 1024, not '%1'")
                                  .arg(parser.value(QStringLiteral("threads"))));
    }
    if (parser.isSet(QStringLiteral("by-site")) && parser.isSet(QStringLiteral("by-source")))
        return usageError(QStringLiteral("--by-site and --by-source exclude each other"));
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

    VisitorLists lists
        = LoadVisitorLists(parser.value(QStringLiteral("crawler-list")), parser.value(QStringLiteral("spam-list")),
                           store.fileName(), parser.value(QStringLiteral("source-lists")));
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
    const bool bySource = parser.isSet(QStringLiteral("by-source"));

    // With --state: the results so far, and of each file only what lies beyond
    // what was read. --follow reads on as the files grow, with a state of its
    // own when none is given.
    const QString statePath = parser.value(QStringLiteral("state"));
    const QString outputPath = parser.value(QStringLiteral("output"));
    const bool follow = parser.isSet(QStringLiteral("follow"));
    double interval = 5;
    if (follow) {
        bool number = false;
        if (parser.isSet(QStringLiteral("interval")))
            interval = parser.value(QStringLiteral("interval")).toDouble(&number);
        if (parser.isSet(QStringLiteral("interval")) && (!number || !(interval >= 0.01 && interval <= 86400)))
            return usageError(QStringLiteral("--interval takes seconds from 0.01 to 86400, not '%1'")
                                  .arg(parser.value(QStringLiteral("interval"))));
        if (merging)
            return usageError(QStringLiteral("--follow does not go with --merge"));
        if (outputPath.isEmpty())
            return usageError(QStringLiteral("--follow needs --output FILE, which it replaces as the logs grow"));
    }
    if (merging && !statePath.isEmpty())
        return usageError(QStringLiteral("--state does not go with --merge"));
    const bool tracking = !statePath.isEmpty() || follow;
    ScanStateFile kept;
    if (tracking) {
        SavedResults wanted;
        wanted.settings = settings;
        wanted.details = withDetails;
        wanted.bySite = bySite;
        QString why;
        if (!OpenStateFile(statePath.isEmpty() ? QString() : statePath, wanted, kept, &why)) {
            streams.err << "backtrail-scan: " << Utf8(why) << '\n';
            return int(ExitStatus::Usage);
        }
    }
    // One scan of the files listed (of each the part in `ranges`, after the
    // earlier results) and its output written; a state too. The exit status.
    auto scanAndWrite = [&](std::vector<Entry> list, std::vector<FileRange> ranges,
                            std::optional<ScanPart>& earlierPart, bool later) {
        CliFrontEnd frontEnd(std::move(list), streams);
        frontEnd.ranges = std::move(ranges);
        for (const Problem& problem : missing)
            frontEnd.fileUnreadable(problem.path, problem.error);
        Scanner scanner(frontEnd, settings);
        scanner.setThreads(threadCount);
        scanner.setVisitorLists(lists.crawlers, lists.spam);
        scanner.setCollectDetails(withDetails);
        frontEnd.attach(scanner);
        if (earlierPart)
            scanner.setEarlierResults(std::move(*earlierPart));
        earlierPart.reset();
        if (merging)
            scanner.ShowResults(std::move(merged.part), merged.filesDone, merged.unreadable);
        else
            scanner.StartScan();
        frontEnd.endBar();

        const ScanState& state = scanner.state();
        // Stopped while following: the last output and state written stand.
        if (later && state.counters.StopRequested)
            return int(ExitStatus::Interrupted);
        // The state is written as the rows stand before any grouping, and
        // replaces FILE only once the output is written too; a stopped run, or
        // one where a file could not be read to its end, leaves it as it was.
        const bool fileFailed = frontEnd.problems.size() > missing.size();
        // Each row's source, found as the row is written (a crawler's row keeps
        // its kind of crawler through the state too).
        RowSourcesOut sources;
        sources.lists = lists.sources.get();
        sources.spam = lists.spam.get();
        // What the formats write besides the rows; the state names no unreadable files.
        ResultsToWrite scan = ResultsToWriteOf(state);
        scan.settings = settings;
        scan.status = frontEnd.status;
        scan.files = files;
        std::unique_ptr<Output> stateOut;
        if (!statePath.isEmpty() && !state.counters.StopRequested && !fileFailed) {
            stateOut = std::make_unique<Output>(streams.err, statePath);
            WriteJson(*stateOut, scan, frontEnd.rows, false, withDetails, {}, scanner.threadCount(), sources,
                      StateMembers(kept.marks, bySite));
        } else if (!statePath.isEmpty() && fileFailed) {
            streams.err << "backtrail-scan: " << Utf8(statePath)
                        << ": not written, for a file could not be read to its end; it is left as it was\n";
        }
        if (follow && !state.counters.StopRequested)
            earlierPart = scanner.resultsAsPart();
        // Rows grouped by site take their first row's source, without search words.
        std::vector<std::vector<std::size_t>> siteMembers;
        const bool grouped = bySite || bySource;
        ResultTable ungrouped;
        if (bySource) {
            sources.bySource = true;
            sources.memberSources = RowSources(frontEnd.rows, *lists.sources, sources.spam);
            ungrouped = frontEnd.rows.share();
            frontEnd.rows
                = GroupBySource(ungrouped, sources.memberSources, settings.bGetFileTypes, sources.rows, &siteMembers);
            sources.memberRows = &ungrouped;
            sources.members = siteMembers;
        } else if (bySite) {
            ungrouped = frontEnd.rows.share();
            frontEnd.rows = GroupBySite(ungrouped, &siteMembers);
            RowSourceFinder find(*lists.sources, sources.spam);
            for (const std::vector<std::size_t>& members : siteMembers) {
                sources.rows.push_back(members.empty() ? Source() : find(ungrouped.row(members.front())));
                sources.rows.back().keyword.clear();
            }
        }
        scan.unreadable = frontEnd.problems;
        const ResultTable& rows = frontEnd.rows;
        const RowOrder order = SortedRows(rows, sort);
        Output out(streams.out, outputPath);
        switch (chosen) {
        case Format::Table:
            WriteTable(out, rows, sources, outputPath.isEmpty() ? streams.outWidth : 0, order);
            break;
        case Format::Tsv:
            WriteTsv(out, rows, sources, order);
            break;
        case Format::Json:
            WriteJson(out, scan, rows, grouped, withDetails, siteMembers, scanner.threadCount(), sources, {}, order);
            break;
        case Format::Html:
            WriteHtml(out, state.lists);
            break;
        case Format::Report:
            WriteReport(out, scan, rows, grouped, siteMembers);
            break;
        }
        QString writeError;
        if (!out.finish(&writeError)) {
            streams.err << "backtrail-scan: cannot write " << Utf8(outputPath) << ": " << Utf8(writeError) << '\n';
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
    };

    FollowedFiles followed;
    std::optional<ScanPart> earlier;
    if (tracking)
        earlier = std::move(kept.results.part);
    // Ctrl+C while following: one last round reads what is new and writes it
    // (a Ctrl+C more stops that round, and the last output written stands).
    bool lastRound = false;
    const int interrupted = int(ExitStatus::Interrupted);
    for (int round = 0;; ++round) {
        if (round > 0) {
            // Waits, then reads on in the files that changed (and the new ones of a folder).
            if (!FollowedFiles::wait(interval)) {
                InterruptCount().store(0);
                lastRound = true;
            }
            entries.clear();
            missing.clear();
            ListInputs(paths, entries, missing);
            missing.clear(); // a file gone keeps its results
            followed.keepChanged(entries);
            if (entries.empty()) {
                if (lastRound)
                    return interrupted;
                continue;
            }
            files.clear();
            for (const Entry& entry : entries)
                files.push_back(QDir(entry.folder).filePath(entry.name));
        }
        if (follow && round == 0)
            followed.note(entries); // as they are before they are read
        std::vector<FileRange> ranges;
        if (tracking) {
            QString why;
            const std::size_t problemsBefore = missing.size();
            if (!PlanStateReads(files, kept, ranges, missing, &why)) {
                streams.err << "backtrail-scan: " << Utf8(why) << '\n';
                return int(ExitStatus::FileProblem);
            }
            // A file that could not be looked at is not scanned: it is said once.
            for (std::size_t p = problemsBefore; p < missing.size(); ++p) {
                const qsizetype at = files.indexOf(missing[p].path);
                if (at < 0)
                    continue;
                files.removeAt(at);
                entries.erase(entries.begin() + at);
                ranges.erase(ranges.begin() + at);
            }
            if (round > 0 && std::all_of(ranges.begin(), ranges.end(), [](const FileRange& r) {
                    return r.end >= 0 && r.end <= r.begin;
                })) {
                if (lastRound)
                    return interrupted;
                continue; // nothing new: the output stands
            }
        }
        const int status = scanAndWrite(std::move(entries), std::move(ranges), earlier, round > 0);
        if (!follow || lastRound || (status != int(ExitStatus::Ok) && status != int(ExitStatus::FileProblem)))
            return lastRound ? interrupted : status;
        entries.clear();
    }
}
} // namespace backtrail::cli
