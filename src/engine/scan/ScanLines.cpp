#include "ScanDriver.h"
#include "ScanWork.h"

#include "ScanFrontEnd.h"
#include "engine/fields/FileType.h"
#include "engine/fields/LogProbe.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"

#include <algorithm>
#include <array>
#include <bit>

namespace backtrail::engine {

using namespace scanwork;

bool Scanner::scanLines(const Task& task, LogSource& input, TaskResult& result, bool midFile, bool yieldWhileReading,
                        CrawlerList& crawlers)
{
    LogSource* const source = &input;
    const ReferrerMatcher& matcher = *task.matcher;
    const SpamList& spamHosts = *task.spam;
    ScanPart& part = result.part;
    W3cFields fields;
    std::string remainder;
    OwnLineMarks remainderMarks; // a pending line's, marked again: its block's marks have moved on
    std::string scratch;
    int linesToClockCheck = kLinesPerClockCheck;
    Clock::time_point lastYield = Clock::now();
    ReferrerMatcher::Referrer referrer;
    std::size_t start = 0;
    LineShapeReader shapes(matcher.format());
    // Whether a line of no known shape may be a W3C line under field names
    // that an earlier piece gave.
    const bool w3cPossible = matcher.format() == LogFormat::Auto || matcher.format() == LogFormat::W3c;

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
        std::string_view referrer;
        std::string held; // a JSON line's referrer, unescaped
        std::uint64_t hash = 0;
        std::string_view landing;
        LineTime time;
        std::uint8_t bot = kPersonMark;
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
            remainderMarks.mark(p.line);
            ReferrerMatcher::Remainder(p.line, remainderMarks, p.referrer, remainder);
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

    // A small plain file gets a block its size (a folder of logs holds many
    // small ones, and each megabyte block would be cleared and faulted in).
    constexpr std::size_t kBlock = std::size_t(1) << 20;
    const std::size_t block = source->compressed() || task.bytes <= 0
        ? kBlock
        : std::clamp(std::bit_ceil(std::size_t(task.bytes) + 1), std::size_t(4096), kBlock);
    LineScanner scanner(block);
    // Whether the file's first lines look like an access log's.
    LogProbe probe(!midFile && task.bounds.begin == 0);
    auto readLine = [&](std::string_view line, const LineMarks& marks) {
        if (task.lineLimit >= 0 ? part.lines >= task.lineLimit : stopFlag.load(std::memory_order_relaxed)) {
            result.stopped = true;
            return false;
        }
        part.countLine();
        if (probe.wants())
            probe.look(line, marks, shapes, fields);
        if (!line.empty() && line.front() == '#') {
            fields.readDirective(line);
            result.namedFields = result.namedFields || fields.count > 0;
        }
        // Only a line with an address, or a JSON object, can have a referrer.
        if (marks.next(Mark::Scheme, 0) == std::string_view::npos && (line.empty() || line.front() != '{'))
            return countedLine();
        LineFields lineFields = shapes.read(line, marks, fields, true);
        if (midFile && !result.namedFields && lineFields.shape != LineShape::Json && w3cPossible)
            result.needsEarlierFields = true;
        if (matcher.findReferrer(line, marks, lineFields, referrer, start)) {
            const std::uint64_t referrerHash = part.textHash(referrer.text);
            // When: a line outside the date range (or without a time while one is set) is no referrer line.
            const LineTime time = FindLineTime(line, marks, fields);
            // Before the piece names its W3C fields, a time can only come from the
            // line's own text; a missing one may need the fields an earlier piece named.
            if (midFile && !result.namedFields && !time.valid)
                result.needsEarlierFields = true;
            if (!task.range.contains(time)) {
                ++part.outsideRangeLines;
                return countedLine();
            }
            // Who clicked: a user agent on the crawler list, or an address the
            // crawler wrote into its user agent, makes the line a crawler's; the
            // list's pattern also tells which kind of crawler.
            // A line of a known shape is told by its user-agent field.
            std::uint8_t bot = kPersonMark;
            if (lineFields.known()) {
                ReadAgentField(line, marks, lineFields);
                if (lineFields.agent.data() != nullptr)
                    bot = crawlers.crawlerMark(UserAgentText(lineFields, scratch));
                if (bot == kPersonMark && referrer.inAgent)
                    bot = kCrawlerMark;
            } else {
                const UserAgentSpan agent = FindUserAgent(line, marks, fields);
                if (agent.found())
                    bot = crawlers.crawlerMark(UserAgentText(line, agent, scratch));
                if (bot == kPersonMark && (referrer.closedByParen || agent.contains(start)))
                    bot = kCrawlerMark;
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
            p.landing = LandingPath(line, marks, fields, p.scratch);
            // Before the piece names its W3C fields, a landing page can only come from a
            // quoted request; an empty one may need the fields an earlier piece named.
            if (midFile && !result.namedFields && p.landing.empty())
                result.needsEarlierFields = true;
            p.line = line;
            p.referrer = referrer.text;
            if (lineFields.shape == LineShape::Json) {
                p.held.assign(referrer.text); // the reader's memory is the next line's
                p.referrer = p.held;
            }
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
    const std::string_view noLog = probe.verdict(readToEnd && !result.stopped);
    result.noLogReason = QString::fromLatin1(noLog.data(), qsizetype(noLog.size()));
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

} // namespace backtrail::engine
