#include "ScanDriver.h"

#include "engine/results/Classify.h"
#include "engine/input/FilePieces.h"
#include "engine/input/FileRoutines.h"
#include "engine/input/LineScanner.h"
#include "engine/fields/LineTime.h"
#include "ListKillDupes.h"
#include "engine/fields/LogReader.h"
#include "engine/input/LogSource.h"
#include "ScanFrontEnd.h"
#include "engine/visitors/SpamList.h"
#include "engine/fields/UserAgent.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace backtrail::engine {

namespace {

using Clock = std::chrono::steady_clock;
// Lines between two looks at the clock: a clock read costs about as much as
// scanning a short line, so looking every line would slow the scan visibly.
constexpr int kLinesPerClockCheck = 512;
// A plain file is cut into pieces only when it is this large: smaller ones
// are read whole, next to the other files.
constexpr std::int64_t kSmallestPiece = std::int64_t(32) << 20;
// Nor is a piece larger than this: each piece's part holds the different
// referrers of its bytes until it is merged, and a few are in flight at once,
// so smaller pieces keep memory near what the answer needs.
constexpr std::int64_t kLargestPiece = std::int64_t(64) << 20;

std::int64_t uniqueLinks(const ScanState& state)
{
    return std::int64_t(state.counters.LinksFound) - state.DuplicatesRemoved;
}

std::int32_t capped(std::int64_t value)
{
    return std::int32_t(std::min<std::int64_t>(value, INT32_MAX));
}

// RAII guard: a scan is running for as long as it lives.
struct RunningFlag
{
    explicit RunningFlag(bool& value)
        : flag(value)
    {
        flag = true;
    }
    ~RunningFlag() { flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    bool& flag;
};

} // namespace

QString CompletionText(const ScanState& state)
{
    const ScanCounters& c = state.counters;
    return QStringLiteral("COMPLETE: %1 files done : %2 lines scanned : %3 links found : %4 duplicates removed : %5 "
                          "unique links")
        .arg(c.FilesDone)
        .arg(c.LinesScanned)
        .arg(c.LinksFound)
        .arg(state.DuplicatesRemoved)
        .arg(uniqueLinks(state));
}

QString StatisticsText(const ScanState& state)
{
    const ScanCounters& c = state.counters;
    return QStringLiteral("%1 files done\r\n%2 lines scanned\r\n%3 links found\r\n%4 duplicates removed\r\n%5 unique "
                          "links")
        .arg(c.FilesDone)
        .arg(c.LinesScanned)
        .arg(c.LinksFound)
        .arg(state.DuplicatesRemoved)
        .arg(uniqueLinks(state));
}

QString FinishedText(const ScanCounters& c)
{
    return QStringLiteral("Finished %1 files : Scanned %2 lines : found %3 links")
        .arg(c.FilesDone)
        .arg(c.LinesScanned)
        .arg(c.LinksFound);
}

/// One piece of work: a piece of a selected file (the whole file when it is
/// not cut), read into a part of its own.
struct Scanner::Task
{
    int file = 0; // its place among the selected files
    QString path;
    FilePiece piece;
    bool whole = true;
    std::int64_t bytes = 0; // the piece's size on disk, for the progress bar
    // What the scan reads with, fixed when it starts.
    const ReferrerMatcher* matcher = nullptr;
    const SpamList* spam = nullptr;
    bool collapse = true;
    bool hideCrawlers = false;
    bool hideSpam = false;
    bool details = false;
    DateRange range;
    // Read this many lines and stop there, whatever the stop flag says (-1:
    // read to the end unless stopped): a stopped file read again as one piece.
    std::int64_t lineLimit = -1;
};

struct Scanner::TaskResult
{
    TaskResult(bool collapse, bool details)
        : part(collapse, details)
    {
    }
    ScanPart part;
    bool opened = false;
    bool readToEnd = false; // read to its end: neither stopped nor failed
    bool stopped = false;
    QString error; // why the piece could not be opened or read to its end
    // W3C field names in force at the piece's end, whether the piece named
    // them itself, and whether it took a landing page from W3C fields before
    // it did (those depend on the pieces before it).
    W3cFields endFields;
    bool namedFields = false;
    bool landingsNeedEarlierFields = false;
    std::atomic<std::int64_t> bytesRead {0};
    // Set by the worker when it is done with the piece (release), read by the
    // merging thread (acquire): what the worker wrote is then visible.
    std::atomic<bool> ready {false};
};

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

void Scanner::runTask(const Task& task, TaskResult& result, bool yieldWhileReading, int helpers)
{
    QString error;
    std::unique_ptr<LogSource> source
        = task.whole ? LogSource::open(task.path, &error) : OpenPiece(task.path, task.piece, &error);
    if (!source) {
        result.error = error;
        return;
    }
    result.opened = true;
    if (helpers > 0 && source->compressed() && task.lineLimit < 0) {
        scanInPieces(task, result, std::move(source), helpers);
        return;
    }
    // Each task asks its own copy: the copy's cache of answers is the task's alone.
    CrawlerList crawlers = crawlerList;
    const bool compressed = source->compressed();
    reserveEntries(result.part, compressed, task.bytes);
    const bool readToEnd
        = scanLines(task, *source, result, !task.whole && task.piece.begin > 0, yieldWhileReading, crawlers);
    if (readToEnd && !result.stopped)
        noteEntries(result.part, compressed, task.bytes);
    result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
    if (result.stopped)
        return;
    if (!readToEnd) {
        result.error = source->errorText();
        return;
    }
    result.readToEnd = true;
}

namespace {

// The inflated bytes of a gzip file are cut into pieces of about this size.
constexpr std::size_t kInflatedPiece = std::size_t(32) << 20;
// Pieces taken and not yet merged, at most.
constexpr std::size_t kPiecesInFlight = 4;
// A thread's buffer for the pieces it takes, kept from piece to piece: in
// huge pages, whose first touch costs far less than that of 8,000 small ones.
using PieceBuffer = std::vector<char, HugePageAllocator<char>>;

// Where a piece of `bytes` may end: just after its last line end, a CR that
// may be the first half of a CR LF counting only when the next byte is known
// (or `final`: no byte follows). 0 when there is none.
std::size_t lastLineEnd(std::string_view bytes, bool final)
{
    if (const void* lf = ::memrchr(bytes.data(), '\n', bytes.size()))
        return std::size_t(static_cast<const char*>(lf) - bytes.data()) + 1;
    const std::size_t known = final ? bytes.size() : bytes.size() - std::min<std::size_t>(bytes.size(), 1);
    if (const void* cr = ::memrchr(bytes.data(), '\r', known))
        return std::size_t(static_cast<const char*>(cr) - bytes.data()) + 1;
    return 0;
}

} // namespace

void Scanner::scanInPieces(const Task& task, TaskResult& result, std::unique_ptr<LogSource> source, int helpers)
{
    // The threads that take pieces inflate them as they take them.
    source->readOnCallerThread();
    // Pieces are taken from the stream under `readLock`, one thread at a time
    // and in order; the merging side is under `lock` (taken inside readLock).
    std::mutex readLock;
    std::string carried; // read and not yet in a piece
    bool allTaken = false; // the stream is taken to its end or to a failure
    bool readFailed = false;
    bool firstPiece = true;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::unique_ptr<TaskResult>> pieces;
    std::size_t merged = 0;
    bool stopped = false;
    bool failed = false; // a piece that read on from the stream failed
    QString failure;
    bool readAgain = false; // a piece needed W3C field names that an earlier one set
    W3cFields fieldsSoFar;

    // Takes the next piece into `buffer` (under readLock): whole lines of
    // the stream, or, when no line end comes within the longest line kept
    // whole (or the file names W3C fields first), the rest of the stream,
    // read on as one piece. Each thread reads into a buffer of its own, kept
    // from piece to piece; its size is its capacity, `used` the piece.
    const std::size_t pieceSize = pieceBytes > 0 ? std::size_t(pieceBytes) : kInflatedPiece;
    const std::size_t block = std::min(pieceSize, std::size_t(1) << 20);
    auto takePiece = [&](PieceBuffer& buffer) -> std::unique_ptr<LogSource> {
        if (buffer.size() < pieceSize + block)
            buffer.resize(pieceSize + block);
        std::size_t used = carried.size();
        std::memcpy(buffer.data(), carried.data(), used);
        carried.clear();
        auto bytes = [&] { return std::string_view(buffer.data(), used); };
        const bool first = std::exchange(firstPiece, false);
        // The bytes before this hold no line end to cut after (but for a CR
        // at its very end, whose next byte was not known yet).
        std::size_t searched = 0;
        for (;;) {
            if (used >= pieceSize) {
                // A piece is cut only below the longest line kept whole, so
                // that every line in it is whole.
                const bool namesFields = first && buffer.front() == '#';
                if (namesFields || used >= kMaxLineBytes) {
                    allTaken = true;
                    return LogSource::fromBytes(bytes(), source.get());
                }
                const std::size_t from = searched > 0 ? searched - 1 : 0;
                if (const std::size_t cut = lastLineEnd(bytes().substr(from), false); cut > 0) {
                    carried.assign(buffer.data() + from + cut, used - from - cut);
                    used = from + cut;
                    return LogSource::fromBytes(bytes());
                }
                searched = used;
            }
            if (buffer.size() < used + block)
                buffer.resize(buffer.size() * 2);
            const std::int64_t got = source->read(buffer.data() + used, block);
            result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
            if (got <= 0) {
                allTaken = true;
                readFailed = got < 0;
                // Before a failure only whole lines are read, as in one piece.
                if (readFailed)
                    used = lastLineEnd(bytes(), true);
                return LogSource::fromBytes(bytes());
            }
            used += std::size_t(got);
        }
    };

    // Merges the pieces read so far in order (under lock).
    auto mergeReady = [&] {
        while (merged < pieces.size() && pieces[merged]->ready.load() && !stopped && !failed) {
            TaskResult& r = *pieces[merged];
            if (merged > 0 && r.landingsNeedEarlierFields && fieldsSoFar.count > 0)
                readAgain = true;
            if (r.namedFields || merged == 0)
                fieldsSoFar = r.endFields;
            result.namedFields = result.namedFields || r.namedFields;
            result.part.merge(std::move(r.part));
            stopped = r.stopped;
            if (!r.stopped && !r.readToEnd) {
                failed = true;
                failure = r.error;
            }
            pieces[merged].reset();
            ++merged;
        }
    };

    auto work = [&](CrawlerList crawlers) {
        PieceBuffer buffer;
        for (;;) {
            std::unique_lock<std::mutex> reading(readLock);
            if (allTaken)
                return;
            TaskResult* into = nullptr;
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] {
                    return stopped || failed || stopFlag.load(std::memory_order_relaxed)
                        || pieces.size() < merged + kPiecesInFlight;
                });
                if (stopped || failed || stopFlag.load(std::memory_order_relaxed))
                    return;
                index = pieces.size();
                pieces.push_back(std::make_unique<TaskResult>(task.collapse, task.details));
                into = pieces.back().get();
            }
            const std::unique_ptr<LogSource> piece = takePiece(buffer);
            // A piece that reads on from the stream holds it until it is done.
            if (piece->inMemory())
                reading.unlock();
            const bool complete = scanLines(task, *piece, *into, index > 0, false, crawlers);
            into->readToEnd = complete && !into->stopped;
            if (!complete)
                into->error = piece->errorText();
            {
                const std::lock_guard<std::mutex> hold(lock);
                into->ready.store(true);
                mergeReady();
            }
            changed.notify_all();
        }
    };

    std::vector<std::thread> pool;
    for (int h = 0; h < helpers; ++h) {
        try {
            pool.emplace_back(work, crawlerList);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(crawlerList);
    for (std::thread& t : pool)
        t.join();
    mergeReady();
    result.endFields = fieldsSoFar;
    result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
    // Taking pieces ended with a stop between two of them: what was read is
    // a prefix of the lines all the same.
    if (!stopped && !failed && !allTaken)
        stopped = true;
    if (!stopped && !failed && readFailed) {
        failed = true;
        failure = source->errorText();
    }
    if (readAgain) {
        // The file is read again in one piece (up to the line where a stop ended it).
        Task again = task;
        again.lineLimit = stopped ? result.part.lines : -1;
        TaskResult redo(task.collapse, task.details);
        runTask(again, redo, false);
        result.part = std::move(redo.part);
        result.endFields = redo.endFields;
        result.namedFields = redo.namedFields;
        stopped = redo.stopped;
        failed = !redo.stopped && !redo.readToEnd;
        failure = redo.error;
    }
    result.stopped = stopped;
    if (failed)
        result.error = failure;
    else if (!stopped)
        result.readToEnd = true;
}

bool Scanner::scanLines(const Task& task, LogSource& input, TaskResult& result, bool midFile, bool yieldWhileReading,
                        CrawlerList& crawlers)
{
    LogSource* const source = &input;
    const ReferrerMatcher& matcher = *task.matcher;
    const SpamList& spamHosts = *task.spam;
    ScanPart& part = result.part;
    W3cFields fields;
    W3cTimeFields timeFields;
    std::string remainder;
    std::string scratch;
    int linesToClockCheck = kLinesPerClockCheck;
    Clock::time_point lastYield = Clock::now();
    ReferrerMatcher::Referrer referrer;
    std::size_t start = 0;

    auto checkIn = [&] {
        result.bytesRead.store(source->fileBytesRead(), std::memory_order_relaxed);
        if (!yieldWhileReading || Clock::now() - lastYield < yieldInterval)
            return;
        current.progress.value = 0;
        current.progress.step(source->fileBytesRead());
        // The counters run along with the reading here, as the sequential scan's do.
        current.counters.LinesScanned = capped(linesBefore + part.lines);
        current.counters.LinksFound = capped(linksBefore + part.links);
        showProgress();
        frontEnd.yieldToEvents();
        if (current.counters.StopRequested)
            stopFlag.store(true, std::memory_order_relaxed);
        lastYield = Clock::now();
    };

    // Every line read ends here, referrer line or not.
    auto countedLine = [&] {
        if (--linesToClockCheck == 0) {
            linesToClockCheck = kLinesPerClockCheck;
            checkIn();
        }
        return true;
    };

    // Referrer lines are counted a few referrer lines after they are read,
    // so that the lookups of several lines are under way at once: while the
    // lines after it are read, a line's slot in the lookup table is fetched,
    // then its entry's place, then the entry's text.
    struct Pending
    {
        std::string_view line;
        std::size_t start = 0;
        std::string_view referrer;
        std::uint64_t hash = 0;
        std::string_view landing;
        LineTime time;
        bool bot = false;
        std::string scratch; // what the landing page may be made in
    };
    constexpr std::size_t kPending = 8;
    constexpr std::size_t kEntryAge = 2; // lines after its own when its entry's place is fetched
    constexpr std::size_t kTextAge = 5; // and when the entry's text is
    std::array<Pending, kPending> pending;
    std::size_t oldest = 0;
    std::size_t waiting = 0;
    auto countOldest = [&] {
        Pending& p = pending[oldest];
        part.add(p.referrer, p.hash, p.landing, p.bot, p.time, [&] {
            ReferrerMatcher::Remainder(p.line, p.start, p.referrer, remainder);
            return ExtensionIndex(remainder);
        });
        oldest = (oldest + 1) % kPending;
        --waiting;
    };
    auto countWaiting = [&] {
        while (waiting > 0)
            countOldest();
    };
    auto aged = [&](std::size_t age) -> const Pending& { return pending[(oldest + waiting - 1 - age) % kPending]; };

    LineScanner scanner;
    auto readLine = [&](std::string_view line, std::size_t scheme) {
        if (task.lineLimit >= 0 ? part.lines >= task.lineLimit : stopFlag.load(std::memory_order_relaxed)) {
            result.stopped = true;
            return false;
        }
        part.countLine();
        if (!line.empty() && line.front() == '#') {
            fields.readDirective(line);
            timeFields.readDirective(line);
            result.namedFields = result.namedFields || fields.count > 0;
        }
        if (matcher.findReferrer(line, scheme, referrer, start)) {
            const std::uint64_t referrerHash = part.textHash(referrer.text);
            // When: a line outside the date range (or without a time while one is set) is no referrer line.
            const LineTime time = FindLineTime(line, timeFields);
            // Before the piece names its W3C fields, a time can only come from the
            // line's own text; a missing one may need the fields an earlier piece named.
            if (midFile && !result.namedFields && !time.valid)
                result.landingsNeedEarlierFields = true;
            if (!task.range.contains(time)) {
                ++part.outsideRangeLines;
                return countedLine();
            }
            // Who clicked: an address the crawler wrote into its user agent, or
            // a user agent on the crawler list, makes the line a crawler's.
            bool bot = referrer.closedByParen;
            if (!bot) {
                const UserAgentSpan agent = FindUserAgent(line, fields);
                bot = agent.contains(start)
                    || (agent.found() && crawlers.isCrawler(UserAgentText(line, agent, scratch)));
            }
            if (bot && task.hideCrawlers) {
                ++part.hiddenCrawlerLines;
                return countedLine();
            }
            if (task.hideSpam && spamHosts.isSpam(ReferrerHost(referrer.text))) {
                ++part.hiddenSpamLines;
                return countedLine();
            }
            if (waiting == kPending)
                countOldest();
            Pending& p = pending[(oldest + waiting) % kPending];
            ++waiting;
            p.landing = LandingPath(line, fields, p.scratch);
            // Before the piece names its W3C fields, a landing page can only come from a
            // quoted request; an empty one may need the fields an earlier piece named.
            if (midFile && !result.namedFields && p.landing.empty())
                result.landingsNeedEarlierFields = true;
            p.line = line;
            p.start = start;
            p.referrer = referrer.text;
            p.hash = referrerHash;
            p.time = time;
            p.bot = bot;
            part.prefetchEntry(referrerHash, bot, ScanPart::Lookup::Slot);
            if (waiting > kEntryAge)
                part.prefetchEntry(aged(kEntryAge).hash, aged(kEntryAge).bot, ScanPart::Lookup::Place);
            if (waiting > kTextAge)
                part.prefetchEntry(aged(kTextAge).hash, aged(kTextAge).bot, ScanPart::Lookup::Text);
        }
        return countedLine();
    };
    const bool readToEnd = scanner.run(*source, readLine, countWaiting);
    countWaiting();
    result.endFields = fields;
    return readToEnd;
}

void Scanner::reserveEntries(ScanPart& part, bool compressed, std::int64_t bytes) const
{
    const std::int64_t entries = entriesRead[compressed].load(std::memory_order_relaxed);
    const std::int64_t read = bytesRead[compressed].load(std::memory_order_relaxed);
    if (entries <= 0 || read <= 0 || bytes <= 0)
        return;
    // Never more than the largest part so far had: a small file of distinct
    // referrers before a large one must not make the large one's table huge.
    const double likely = double(entries) / double(read) * double(bytes);
    part.reserve(std::size_t(std::min(likely, double(largestPart[compressed].load(std::memory_order_relaxed)))));
}

void Scanner::noteEntries(const ScanPart& part, bool compressed, std::int64_t bytes)
{
    entriesRead[compressed].fetch_add(std::int64_t(part.size()), std::memory_order_relaxed);
    bytesRead[compressed].fetch_add(bytes, std::memory_order_relaxed);
    std::int64_t largest = largestPart[compressed].load(std::memory_order_relaxed);
    while (std::int64_t(part.size()) > largest
           && !largestPart[compressed].compare_exchange_weak(largest, std::int64_t(part.size()),
                                                             std::memory_order_relaxed)) { }
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
                                  settings.bHttps);
    const int workers = threadCount();

    // The selected files in list order, each cut into its pieces.
    QStringList paths;
    for (int i = 0; i < frontEnd.fileCount(); ++i) {
        if (frontEnd.fileSelected(i))
            paths << JoinPath(frontEnd.fileFolder(i), frontEnd.fileName(i));
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
        Task whole {f,          path,     FilePiece(),  true,     info.size(), &matcher,
                    &spamHosts, collapse, hideCrawlers, hideSpam, details,     range};
        // A W3C log names its fields in its first lines, which every piece would need.
        QFile probe(path);
        char first = 0;
        const bool cuttable = workers > 1 && !LogSource::isGzipFile(path) && probe.open(QIODevice::ReadOnly)
            && probe.getChar(&first) && first != '#';
        const std::int64_t size = info.size();
        const std::int64_t target
            = pieceBytes > 0 ? pieceBytes : std::clamp(size / (workers * 4), kSmallestPiece, kLargestPiece);
        if (!cuttable || size <= target) {
            tasks.push_back(whole);
            continue;
        }
        for (const FilePiece& piece : CutAtLineEnds(path, target)) {
            const std::int64_t end = piece.end < 0 ? size : piece.end;
            tasks.push_back({f, path, piece, false, std::max<std::int64_t>(0, end - piece.begin), &matcher, &spamHosts,
                             collapse, hideCrawlers, hideSpam, details, range});
        }
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

    // Merges a part into another; in a threaded scan on a thread of its own
    // while the caller's thread goes on yielding to the front end, for a
    // large part takes longer than the front end may wait.
    auto mergeYielding = [&](ScanPart& into, ScanPart&& more) {
        std::atomic<bool> merged {false};
        std::thread merger;
        if (threaded) {
            try {
                merger = std::thread([&] {
                    into.merge(std::move(more));
                    const std::lock_guard<std::mutex> hold(lock);
                    merged.store(true, std::memory_order_release);
                    readyChanged.notify_all();
                });
            } catch (const std::system_error&) {
            }
        }
        if (!merger.joinable()) {
            into.merge(std::move(more));
            return;
        }
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(lock);
                readyChanged.wait_for(hold, yieldInterval, [&] { return merged.load(std::memory_order_acquire); });
            }
            if (merged.load(std::memory_order_acquire))
                break;
            frontEnd.yieldToEvents();
            if (current.counters.StopRequested)
                stopFlag.store(true, std::memory_order_relaxed);
        }
        merger.join();
    };

    ScanPart total(collapse, details);
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
        bool failed = false;
        for (std::size_t k = begin; k < end; ++k) {
            await(k, doneBefore, total, file);
            TaskResult& r = *results[k];
            doneBefore += r.bytesRead.load();
            if (!r.opened && k == begin) {
                failure = r.error;
                failed = true;
                break;
            }
            if (r.landingsNeedEarlierFields && fieldsSoFar.count > 0)
                needsWholeRead = true;
            if (r.namedFields || k == begin)
                fieldsSoFar = r.endFields;
            mergeYielding(file, std::move(r.part));
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
            again.whole = true;
            again.piece = FilePiece();
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
        mergeYielding(total, std::move(file));
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

void Scanner::finishScan(ScanPart total, bool spamHidden)
{
    const bool collapsed = total.collapses();
    setCounters(total);
    current.detailsCollected = total.collectsDetails();
    current.details = total.takeDetails();
    current.lists = total.takeEntries();
    total = ScanPart(); // its lookup table is not needed any more
    // The details are indexed for the rows' entries while the rows are made
    // (on another core when there is one: neither reads what the other writes).
    const std::size_t entries = current.lists.size();
    std::thread indexing;
    if (threadCount() > 1 && !current.details.empty()) {
        try {
            indexing = std::thread([this, entries] { current.details.index(entries); });
        } catch (const std::system_error&) {
        }
    }
    if (!indexing.joinable() && !current.details.empty())
        current.details.index(entries);
    struct Joining
    {
        std::thread& thread;
        ~Joining()
        {
            if (thread.joinable())
                thread.join();
        }
    } joining {indexing};
    if (collapsed)
        ListKillDupes(current, frontEnd);
    // With spam hidden no entry is spam: the rows need not be looked up again.
    ResultTable rows
        = FillResults(current.lists, settings.bGetFileTypes, spamHidden ? nullptr : &spamList(), threadCount());
    if (indexing.joinable())
        indexing.join();
    frontEnd.addResults(std::move(rows));
    if (current.counters.StopRequested)
        return;
    frontEnd.setStatus(CompletionText(current));
    if (settings.bDisplayStats)
        frontEnd.showStatistics(StatisticsTitle(), StatisticsText(current));
    frontEnd.scanCompleted();
}

bool Scanner::ShowResults(ScanPart part, std::int32_t filesDone, const QList<QPair<QString, QString>>& unreadable)
{
    if (scanning)
        return false;
    RunningFlag guard(scanning);
    beginScan();
    for (const auto& [path, reason] : unreadable)
        frontEnd.fileUnreadable(path, reason);
    current.counters.FilesDone = filesDone;
    finishScan(std::move(part), false);
    return true;
}

} // namespace backtrail::engine

namespace backtrail::engine {

DateRange RangeOf(const ScanSettings& settings)
{
    DateRange range;
    const QByteArray since = settings.strDateSince.toUtf8();
    const QByteArray until = settings.strDateUntil.toUtf8();
    if (const auto bound = ParseRangeBound(std::string_view(since.constData(), std::size_t(since.size())), false))
        range.since = *bound;
    if (const auto bound = ParseRangeBound(std::string_view(until.constData(), std::size_t(until.size())), true))
        range.until = *bound;
    return range;
}

RowDetails Scanner::details(std::span<const std::size_t> entries) const
{
    RowDetails result;
    const WorkingLists& lists = current.lists;
    for (const std::size_t e : entries) {
        if (e >= lists.size())
            continue;
        if (e < lists.firstSeen.size())
            KeepEarlier(result.firstSeen, lists.firstSeen[e]);
        if (e < lists.lastSeen.size())
            KeepLater(result.lastSeen, lists.lastSeen[e]);
    }
    if (current.detailsCollected) {
        result.landings = current.details.landingsOf(entries);
        result.days = current.details.daysOf(entries);
        return result;
    }
    // Entries that stand for one line each: the line's landing page and day.
    std::map<std::string_view, std::uint64_t> landings;
    std::map<std::int32_t, std::uint64_t> days;
    for (const std::size_t e : entries) {
        if (e >= lists.size() || lists.hasCounts())
            continue;
        ++landings[lists.landing[e]];
        if (e < lists.firstSeen.size() && lists.firstSeen[e].valid)
            ++days[lists.firstSeen[e].localDay()];
    }
    for (const auto& [path, clicks] : landings)
        result.landings.push_back({std::string(path), clicks});
    std::stable_sort(result.landings.begin(), result.landings.end(),
                     [](const LandingClicks& a, const LandingClicks& b) { return a.clicks > b.clicks; });
    for (const auto& [day, clicks] : days)
        result.days.push_back({day, clicks});
    return result;
}

} // namespace backtrail::engine
