#include "ScanDriver.h"
#include "ScanWork.h"

#include "ListKillDupes.h"
#include "ScanFrontEnd.h"
#include "engine/fields/LineTime.h"
#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/FilePieces.h"
#include "engine/input/FileRoutines.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"
#include "engine/results/Classify.h"
#include "engine/visitors/SpamList.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace backtrail::engine {

using namespace scanwork;

Scanner::Scanner(ScanFrontEnd& fe, const ScanSettings& values)
    : frontEnd(fe)
    , settings(values)
{
}

void Scanner::setVisitorLists(const CrawlerList& crawlers, std::shared_ptr<const SpamList> spamHosts)
{
    crawlerList = crawlers;
    spam = std::move(spamHosts);
}

const SpamList& Scanner::spamList() const
{
    if (!spam)
        spam = std::make_shared<const SpamList>(SpamList::Shipped());
    return *spam;
}

int Scanner::threadCount() const
{
    if (threads > 0)
        return threads;
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

bool Scanner::StartScan()
{
    if (scanning)
        return false;
    RunningFlag guard(scanning);
    beginScan();
    ScanSelectedFiles();
    return true;
}

void Scanner::beginScan()
{
    current.reset();
    stopFlag.store(false);
    frontEnd.clearResults();
}

void Scanner::showProgress()
{
    frontEnd.setProgress(current.progress.value, current.progress.maximum);
}

void Scanner::setCounters(const ScanPart& total)
{
    current.counters.LinesScanned = capped(total.lines);
    current.counters.LinksFound = capped(total.links);
    current.HiddenCrawlerLines = total.hiddenCrawlerLines;
    current.HiddenSpamLines = total.hiddenSpamLines;
    current.OutsideRangeLines = total.outsideRangeLines;
}

void Scanner::SetProgressRange(const QString& path)
{
    // The bar counts the bytes taken from the file (compressed bytes for a
    // gzip file) as the readers take them: it moves as evenly as lines
    // would, and needs no pass over the file before it is read.
    current.progress.setRange(frontEnd.showsProgress() ? QFileInfo(path).size() : 0);
    showProgress();
    frontEnd.yieldToEvents();
}

void Scanner::ScanSelectedFiles()
{
    for (int k = 0; k < 2; ++k) {
        entriesRead[k].store(0, std::memory_order_relaxed);
        bytesRead[k].store(0, std::memory_order_relaxed);
        largestPart[k].store(0, std::memory_order_relaxed);
    }
    // What the reading depends on is fixed as the scan starts: every piece of
    // every file must be read alike.
    const bool collapse = settings.bRemoveDupes;
    const bool hideCrawlers = settings.bHideCrawlers;
    const bool hideSpam = settings.bHideSpam;
    const bool details = collectDetails;
    // Made here, before any worker reads it.
    const SpamList& spamHosts = spamList();
    const DateRange range = RangeOf(settings);
    const QByteArray ownDomain = settings.strYourWebsite.toUtf8();
    const ReferrerMatcher matcher(std::string_view(ownDomain.constData(), std::size_t(ownDomain.size())),
                                  settings.bHttps, settings.logFormat);
    const int workers = threadCount();

    // The selected files in list order, each cut into its pieces.
    QStringList paths;
    std::vector<FileRange> ranges;
    for (int i = 0; i < frontEnd.fileCount(); ++i) {
        if (frontEnd.fileSelected(i)) {
            paths << JoinPath(frontEnd.fileFolder(i), frontEnd.fileName(i));
            ranges.push_back(frontEnd.fileRange(i));
        }
    }
    std::vector<Task> tasks;
    std::vector<std::size_t> firstTask(std::size_t(paths.size()) + 1, 0);
    for (int f = 0; f < paths.size(); ++f) {
        firstTask[std::size_t(f)] = tasks.size();
        const QString& path = paths[f];
        // A path that is no ordinary file (gone, hidden) is passed over without a word.
        if (!xdirExists(path))
            continue;
        const QFileInfo info(path);
        Task whole {f,        path,         FilePiece(), true,    info.size(), &matcher, &spamHosts,
                    collapse, hideCrawlers, hideSpam,    details, range,       -1,       FileRange()};
        // A W3C log names its fields in its first lines, which every piece would need.
        QFile probe(path);
        char first = 0;
        const bool gzip = LogSource::isGzipFile(path);
        const bool cuttable
            = workers > 1 && !gzip && probe.open(QIODevice::ReadOnly) && probe.getChar(&first) && first != '#';
        // A part of a file: a plain one is cut within the part, anything else
        // is read through a window on the whole file.
        const FileRange& bounds = ranges[std::size_t(f)];
        const std::int64_t size = bounds.end < 0 ? info.size() : std::min<std::int64_t>(bounds.end, info.size());
        const std::int64_t begin = std::min(bounds.begin, size);
        if (!bounds.whole() && (gzip || !bounds.prefix.empty() || !cuttable)) {
            whole.bounds = bounds;
            whole.bytes = gzip ? info.size() : size - begin;
            tasks.push_back(whole);
            continue;
        }
        const std::int64_t target
            = pieceBytes > 0 ? pieceBytes : std::clamp(size / (workers * 4), kSmallestPiece, kLargestPiece);
        if (bounds.whole() && (!cuttable || size <= target)) {
            tasks.push_back(whole);
            continue;
        }
        for (const FilePiece& piece : CutAtLineEnds(path, target)) {
            // The cuts and the part's ends are all line ends; a file with nothing
            // new still has its (empty) piece, and is done.
            const FilePiece within {std::max(piece.begin, begin), piece.end < 0 ? size : std::min(piece.end, size)};
            if (within.begin < within.end)
                tasks.push_back({f, path, within, false, within.end - within.begin, &matcher, &spamHosts, collapse,
                                 hideCrawlers, hideSpam, details, range, -1, FileRange()});
        }
        if (tasks.size() == firstTask[std::size_t(f)])
            tasks.push_back({f, path, FilePiece {begin, begin}, false, 0, &matcher, &spamHosts, collapse, hideCrawlers,
                             hideSpam, details, range, -1, FileRange()});
    }
    firstTask[std::size_t(paths.size())] = tasks.size();

    std::vector<std::unique_ptr<TaskResult>> results;
    results.reserve(tasks.size());
    for (std::size_t k = 0; k < tasks.size(); ++k)
        results.push_back(std::make_unique<TaskResult>(collapse, details));

    // The workers take the tasks in order; the caller's thread merges them in
    // the same order as they become ready.
    std::mutex lock;
    std::condition_variable readyChanged;
    std::atomic<std::size_t> nextTask {0};
    std::vector<std::thread> pool;
    const bool threaded = workers > 1 && !tasks.empty();
    // A worker starts a task only among the first `readAhead` tasks from the
    // one the caller's thread waits for, so that finished parts do not pile
    // up in memory while the merging lags (under `lock`).
    const std::size_t readAhead = std::size_t(workers);
    std::size_t awaited = 0;
    // The workers start when the first file is reached, after the front end
    // has had its first chance to handle events (a Stop click there stops
    // the scan before its first line, as it would stop the sequential one).
    auto startWorkers = [&] {
        if (!threaded || !pool.empty())
            return;
        for (int w = 0; w < std::min<int>(workers, int(tasks.size())); ++w) {
            pool.emplace_back([&] {
                for (std::size_t k = nextTask++; k < tasks.size(); k = nextTask++) {
                    {
                        std::unique_lock<std::mutex> hold(lock);
                        while (k >= awaited + readAhead && !stopFlag.load(std::memory_order_relaxed))
                            readyChanged.wait_for(hold, std::chrono::milliseconds(10));
                    }
                    // The last tasks leave workers without work: a gzip file among
                    // them is scanned in pieces by as many threads as are idle.
                    const std::size_t left = tasks.size() - k;
                    runTask(tasks[k], *results[k], false, left < std::size_t(workers) ? workers - int(left) : 0);
                    const std::lock_guard<std::mutex> hold(lock);
                    results[k]->ready.store(true, std::memory_order_release);
                    readyChanged.notify_all();
                }
            });
        }
    };
    // Leaves nothing running on every way out; after a complete scan every
    // task is done anyway, and the workers that are not end at their next line.
    struct JoinPool
    {
        std::vector<std::thread>& threads;
        std::atomic<bool>& stop;
        void join()
        {
            if (threads.empty())
                return;
            stop.store(true);
            for (std::thread& t : threads)
                t.join();
            threads.clear();
        }
        ~JoinPool() { join(); }
    } joinPool {pool, stopFlag};

    // Waits for task k, yielding to the front end meanwhile (or, on one
    // thread, reads it here).
    auto await = [&](std::size_t k, std::int64_t doneBefore, const ScanPart& total, const ScanPart& file) {
        if (!threaded) {
            linesBefore = total.lines + file.lines;
            linksBefore = total.links + file.links;
            runTask(tasks[k], *results[k], true);
            return;
        }
        startWorkers();
        std::unique_lock<std::mutex> hold(lock);
        // The tasks before k are merged or passed over: the workers may read on.
        awaited = std::max(awaited, k);
        readyChanged.notify_all();
        while (!results[k]->ready.load(std::memory_order_acquire)) {
            readyChanged.wait_for(hold, yieldInterval);
            hold.unlock();
            // The file's bytes read so far, over all its pieces.
            std::int64_t bytes = doneBefore;
            for (std::size_t j = k; j < firstTask[std::size_t(tasks[k].file) + 1]; ++j)
                bytes += results[j]->bytesRead.load(std::memory_order_relaxed);
            current.progress.value = 0;
            current.progress.step(bytes);
            showProgress();
            frontEnd.yieldToEvents();
            if (current.counters.StopRequested)
                stopFlag.store(true, std::memory_order_relaxed);
            hold.lock();
        }
    };

    // Merges a part into another, then lets the front end see to a stop asked
    // for meanwhile (the front end runs on a thread of its own, or is a
    // command line that only looks at Ctrl+C: nothing waits on the merge).
    auto mergeParts = [&](ScanPart& into, ScanPart&& more) {
        into.merge(std::move(more));
        if (!threaded)
            return;
        frontEnd.yieldToEvents();
        if (current.counters.StopRequested)
            stopFlag.store(true, std::memory_order_relaxed);
    };

    ScanPart total(collapse, details);
    if (earlier && earlier->collapses() == total.collapses() && earlier->collectsDetails() == total.collectsDetails())
        total = std::move(*earlier);
    earlier.reset();
    setCounters(total);
    bool stopped = false;
    for (int f = 0; f < paths.size(); ++f) {
        const QString& path = paths[f];
        if (stopped) {
            // What the sequential scan does with the files after a stop: it
            // opens each, then stops before its first line.
            SetProgressRange(path);
            if (!xdirExists(path))
                continue;
            QString error;
            const std::unique_ptr<LogSource> source = LogSource::open(path, &error);
            if (!source) {
                frontEnd.fileUnreadable(path, error);
                continue;
            }
            // A file without a line is read to its end before the stop is looked at.
            char first = 0;
            const std::int64_t got = source->read(&first, 1);
            if (got == 0) {
                SaturatingIncrement(current.counters.FilesDone);
                frontEnd.setStatus(FinishedText(current.counters));
            } else if (got < 0) {
                frontEnd.fileUnreadable(path, source->errorText());
            } else {
                frontEnd.setStatus(QStringLiteral("Cancelled"));
                current.progress.value = 0.01;
                showProgress();
            }
            continue;
        }
        SetProgressRange(path);
        const std::size_t begin = firstTask[std::size_t(f)];
        const std::size_t end = firstTask[std::size_t(f) + 1];
        if (begin == end)
            continue;
        ScanPart file(collapse, details);
        W3cFields fieldsSoFar;
        bool needsWholeRead = false;
        std::int64_t doneBefore = 0;
        QString failure;
        QString noLog;
        bool failed = false;
        for (std::size_t k = begin; k < end; ++k) {
            await(k, doneBefore, total, file);
            TaskResult& r = *results[k];
            doneBefore += r.bytesRead.load();
            if (k == begin)
                noLog = r.noLogReason;
            if (!r.opened && k == begin) {
                failure = r.error;
                failed = true;
                break;
            }
            if (r.needsEarlierFields && fieldsSoFar.count > 0)
                needsWholeRead = true;
            if (r.namedFields || k == begin)
                fieldsSoFar = r.endFields;
            mergeParts(file, std::move(r.part));
            if (r.stopped) {
                stopped = true;
                break;
            }
            if (!r.readToEnd) {
                // The sequential reader ends the file at the failure: later pieces are not read.
                failure = r.error;
                failed = true;
                break;
            }
        }
        if (needsWholeRead && !failed) {
            // A piece began under W3C field names that an earlier piece set:
            // its landing pages are read again with the file as one piece (up
            // to the line where a stop ended it).
            Task again = tasks[begin];
            const FileRange& bounds = ranges[std::size_t(f)];
            again.whole = bounds.whole();
            again.piece = bounds.whole() ? FilePiece() : FilePiece {bounds.begin, bounds.end};
            again.lineLimit = stopped ? file.lines : -1;
            TaskResult redo(collapse, details);
            linesBefore = total.lines;
            linksBefore = total.links;
            runTask(again, redo, true);
            file = std::move(redo.part);
            stopped = redo.stopped;
            failed = !redo.stopped && !redo.readToEnd;
            failure = redo.error;
        }
        mergeParts(total, std::move(file));
        setCounters(total);
        if (stopped) {
            frontEnd.setStatus(QStringLiteral("Cancelled"));
            current.progress.value = 0.01;
            showProgress();
            continue;
        }
        current.progress.value = 0;
        current.progress.step(doneBefore);
        showProgress();
        if (!noLog.isEmpty())
            frontEnd.fileLooksLikeNoLog(path, noLog);
        if (failed) {
            frontEnd.fileUnreadable(path, failure);
            continue;
        }
        SaturatingIncrement(current.counters.FilesDone);
        frontEnd.setStatus(FinishedText(current.counters));
    }
    joinPool.join();
    finishScan(std::move(total), hideSpam);
}

} // namespace backtrail::engine
