#pragma once

#include "ScanState.h"
#include "engine/aggregate/EntryDetails.h"
#include "engine/aggregate/ScanPart.h"
#include "engine/base/Settings.h"
#include "engine/fields/LineTime.h"
#include "engine/results/RowDetails.h"
#include "engine/visitors/CrawlerList.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace backtrail::engine {

class LogSource;
struct ResultsToWrite;
class ScanFrontEnd;
class SpamList;

/// "COMPLETE: 2 files done : 1500 lines scanned : 40 links found : 25
/// duplicates removed : 15 unique links", the status line after a scan.
QString CompletionText(const ScanState& state);

/// The scan's counters, entries and details as the results' formats take
/// them (pointing into `state`); the front end adds the settings, the status
/// line and the files.
ResultsToWrite ResultsToWriteOf(const ScanState& state);

/// The five lines of the statistics box, joined by CR LF.
QString StatisticsText(const ScanState& state);

/// "Finished 1 files : Scanned 700 lines : found 12 links", the status line
/// after each file, with the running totals of the scan.
QString FinishedText(const ScanCounters& counters);

/// The title of the statistics box.
inline QString StatisticsTitle()
{
    return QStringLiteral("Scan Finished");
}

/// The date range of the settings' since and until texts ("2026-12-08", or a
/// date and time); a text that is empty or no such bound leaves its end open.
DateRange RangeOf(const ScanSettings& settings);

/// Runs scans for one front end: walks the selected files of its file list,
/// reads each, removes duplicates, fills the result rows and reports.
///
/// The files are read by worker threads, a large plain file in pieces cut at
/// line ends, each piece into a ScanPart of its own; the caller's thread merges
/// the parts in file and piece order and reports each file as the sequential
/// scan would, so the outcome is the same whatever the number of threads.
/// With one thread everything runs on the caller's thread. The caller's thread
/// yields to the front end every 10 ms or so while it waits for the workers,
/// and after each merge, so the front end moves its progress bar and a stop
/// it was asked for (Ctrl+C, a Stop click passed on by BackgroundScan) lands
/// while the workers read; every worker looks at the stop
/// flag before each line, and what a stopped scan keeps is exactly what the
/// sequential scan would have read up to some line.
class Scanner
{
public:
    /// `settings` is read as the scan goes, so changes take effect at the next step that reads them.
    explicit Scanner(ScanFrontEnd& frontEnd, const ScanSettings& settings = Globals());

    /// Starts a scan: resets the scan state, removes the result rows and runs
    /// ScanSelectedFiles. Ignored (returns false) while a scan is running.
    bool StartScan();
    /// Asks the running scan to stop before its next line.
    void StopScan()
    {
        current.counters.StopRequested = true;
        stopFlag.store(true, std::memory_order_relaxed);
    }
    bool running() const { return scanning; }

    /// Shows results made elsewhere (another machine's scan read back) as if
    /// this scan had made them: the working lists, counters and rows, the
    /// duplicate-removal texts, the completion text and the statistics box.
    /// `unreadable` names the files that scan could not read, with the reason.
    /// Ignored (returns false) while a scan is running.
    bool ShowResults(ScanPart part, std::int32_t filesDone, const QList<QPair<QString, QString>>& unreadable);

    const ScanState& state() const { return current; }

    /// How long the reader goes between two yields (10 ms unless set; 0
    /// yields every few hundred lines, which tests use to stop mid-file).
    void setYieldInterval(std::chrono::nanoseconds interval) { yieldInterval = interval; }
    /// Threads that read (0, the default: one for each core; 1: the
    /// sequential scan on the caller's thread).
    void setThreads(int count) { threads = count; }
    int threadCount() const;
    /// The lists that tell crawlers' lines and referrer spam from people's
    /// clicks: by default the shipped crawler list and the shipped spam list.
    /// A referrer line whose address starts inside its user agent, whose
    /// referrer a ")" closes, or whose user agent `crawlers` matches is a
    /// crawler's; a referrer whose host `spam` lists is spam (typed "SPM").
    void setVisitorLists(const CrawlerList& crawlers, std::shared_ptr<const SpamList> spam);
    /// The spam list the scan types its rows with.
    const SpamList& spamList() const;

    /// Whether scans count each row's clicks per landing page and per day
    /// (off unless set: it costs memory per distinct pair). Without, a row that
    /// collapses equal referrers has no details; one that does not stands for
    /// one line and has that line's.
    void setCollectDetails(bool on) { collectDetails = on; }
    /// The details of the last scan's entries (rows in working-list order),
    /// summed over the entries given (the referrers of a site row, say).
    RowDetails details(std::span<const std::size_t> entries) const;

    /// Results found before, which the next scan's follow as if it had read
    /// their lines first (a state read back): the scan's counters and rows
    /// are then those of both. Ignored unless made with the same duplicate
    /// removal and details as the scan; used by one scan only.
    void setEarlierResults(ScanPart part) { earlier = std::move(part); }

    /// The results of the last scan as a part that the next scan's can follow
    /// (setEarlierResults): its entries with their clicks, bot flags, types,
    /// landing pages, times and details, and its counters; what reading back
    /// the results it wrote would give.
    ScanPart resultsAsPart() const;

    /// The size of the pieces a large plain file is cut into (0: chosen from
    /// the file's size and the threads); tests cut files into small pieces.
    void setPieceBytes(std::int64_t bytes) { pieceBytes = bytes; }

private:
    struct Task;
    struct TaskResult;
    void beginScan();
    void ScanSelectedFiles();
    void SetProgressRange(const QString& path);
    /// Reads a task into its result; `helpers` threads more may help with a gzip file.
    void runTask(const Task& task, TaskResult& result, bool yieldWhileReading, int helpers = 0);
    /// Reads the lines of a source into the result's part; false when the source failed.
    bool scanLines(const Task& task, LogSource& source, TaskResult& result, bool midFile, bool yieldWhileReading,
                   CrawlerList& crawlers);
    /// Reads a gzip file cut into pieces at line ends as it is inflated, each
    /// piece read by whichever of this thread and `helpers` more is free, and
    /// merged in order: the result is that of reading the file in one piece.
    void scanInPieces(const Task& task, TaskResult& result, std::unique_ptr<LogSource> source, int helpers);
    /// Makes room in a part for the entries its bytes will likely hold, as
    /// those read before had them; and counts a part read.
    void reserveEntries(ScanPart& part, bool compressed, std::int64_t bytes) const;
    void noteEntries(const ScanPart& part, bool compressed, std::int64_t bytes);
    void finishScan(ScanPart total, bool spamHidden);
    void showProgress();
    void setCounters(const ScanPart& total);

    ScanFrontEnd& frontEnd;
    const ScanSettings& settings;
    ScanState current;
    std::atomic<bool> stopFlag {false};
    /// Entries and file bytes of the tasks read so far, and the most entries
    /// one of them had, plain and compressed apart: a task's part makes room
    /// for as many entries a byte from the start.
    std::array<std::atomic<std::int64_t>, 2> entriesRead {};
    std::array<std::atomic<std::int64_t>, 2> bytesRead {};
    std::array<std::atomic<std::int64_t>, 2> largestPart {};
    bool scanning = false;
    int threads = 0;
    std::int64_t pieceBytes = 0;
    CrawlerList crawlerList = CrawlerList::Shipped();
    bool collectDetails = false;
    std::optional<ScanPart> earlier;
    bool lastCollapsed = true; // the last scan collapsed equal referrers
    mutable std::shared_ptr<const SpamList> spam; // the shipped list when none is set
    // Lines and links before the piece read on the caller's thread, for its running counters.
    std::int64_t linesBefore = 0;
    std::int64_t linksBefore = 0;
    std::chrono::nanoseconds yieldInterval = std::chrono::milliseconds(10);
};

} // namespace backtrail::engine
