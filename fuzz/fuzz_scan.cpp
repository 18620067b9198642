// Arbitrary bytes as a log file: read in memory by the line scanner and the
// referrer tests, and scanned by the scanner (from a file that lives in
// memory) through a front end that records what it is told. Both must agree (for a gzip file, on the bytes
// it inflates to), and the counters and working lists must fit together on
// every input.
//
// The first bytes choose the settings and how the bytes are cut into reads:
//   0: bit 0 remove duplicates, 1 type codes, 2 https, 3 statistics box,
//      4 yield on every clock check, 5 press Stop at a yield, 6 show progress,
//      7 the in-memory reading only (a file scan costs far more than the reading)
//   1: own domain (low 3 bits; 7 takes the next (byte >> 4) bytes as the domain)
//   2: the line scanner's first block size, 1 to 64 bytes (low 6 bits), and the
//      scanner's threads, 1 to 4 (top 2 bits; with more than one the file is
//      cut into pieces of a few hundred bytes)
//   3: the largest read the in-memory source hands out, 1 to 256 bytes
//   4: the yield at which Stop is pressed
// The rest is the log.

#include "../tests/engine/PlainLineFields.h"
#include "FuzzSupport.h"

#include "engine/base/Settings.h"
#include "engine/fields/LogReader.h"
#include "engine/fields/UserAgent.h"
#include "engine/input/LineScanner.h"
#include "engine/input/LogSource.h"
#include "engine/results/Classify.h"
#include "engine/scan/ListKillDupes.h"
#include "engine/scan/ScanDriver.h"
#include "engine/scan/ScanFrontEnd.h"
#include "engine/visitors/CrawlerKinds.h"
#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/SpamList.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace backtrail::engine;
using backtrail::fuzz::ByteReader;
using backtrail::fuzz::HasPrefixAnyCase;

const QString kWaitText = QStringLiteral("Removing Duplicates...  Please Wait.");

// A log held in memory, handed out in reads of at most `step` bytes.
class MemorySource final : public LogSource
{
public:
    MemorySource(std::string_view log, std::size_t largestRead)
        : LogSource(-1)
        , bytes(log)
        , step(largestRead)
    {
    }
    std::int64_t read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min({size, step, bytes.size() - at});
        if (n > 0)
            std::memcpy(buffer, bytes.data() + at, n);
        at += n;
        taken += std::int64_t(n);
        return std::int64_t(n);
    }
    bool compressed() const override { return false; }

private:
    std::string_view bytes;
    std::size_t step;
    std::size_t at = 0;
};

// The log's lines as its format defines them: CR LF, a lone CR or a lone LF
// ends a line, the last line needs no terminator.
std::vector<std::string_view> ReferenceLines(std::string_view log)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < log.size()) {
        if (log[i] != '\n' && log[i] != '\r') {
            ++i;
            continue;
        }
        lines.push_back(log.substr(start, i - start));
        if (log[i] == '\r' && i + 1 < log.size() && log[i + 1] == '\n')
            ++i;
        start = ++i;
    }
    if (start < log.size())
        lines.push_back(log.substr(start));
    return lines;
}

// The line with every occurrence of `referrer` taken out, searched left to right.
std::string ReferenceRemainder(std::string_view line, std::string_view referrer)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = line.find(referrer); at != std::string_view::npos; at = line.find(referrer, from)) {
        out.append(line.substr(from, at - from));
        from = at + referrer.size();
    }
    out.append(line.substr(from));
    return out;
}

bool IsAddress(std::string_view entry, bool https)
{
    return HasPrefixAnyCase(entry, "http://") || (https && HasPrefixAnyCase(entry, "https://"))
        || HasPrefixAnyCase(entry, "android-app://");
}

void CheckListsInStep(const WorkingLists& lists)
{
    // A scan keeps each entry's type instead of its remainder.
    FUZZ_CHECK(lists.List1.size() == lists.List2.size());
    FUZZ_CHECK(lists.landing.size() == lists.List1.size());
    FUZZ_CHECK(lists.bot.size() == lists.List1.size());
}

// Working-list entries as plain strings: the in-memory reading's result.
struct Entries
{
    std::vector<std::string> referrer;
    std::vector<std::string> rest;
    std::vector<std::string> landing;
    std::vector<std::uint8_t> bot;
    std::vector<std::uint32_t> counts;

    std::size_t size() const { return referrer.size(); }

    // Duplicate removal as its rule reads: equal referrers both of a person
    // or both of a crawler (of any kind) collapse into the first, which keeps
    // its place and side entries (its kind of crawler too) and counts them all.
    void mergeDuplicates()
    {
        Entries merged;
        std::map<std::pair<std::string, bool>, std::size_t> firstAt;
        for (std::size_t i = 0; i < size(); ++i) {
            const auto [at, fresh] = firstAt.emplace(std::make_pair(referrer[i], bot[i] != kPersonMark), merged.size());
            if (!fresh) {
                ++merged.counts[at->second];
                continue;
            }
            merged.referrer.push_back(referrer[i]);
            merged.rest.push_back(rest[i]);
            merged.landing.push_back(landing[i]);
            merged.bot.push_back(bot[i]);
            merged.counts.push_back(1);
        }
        *this = std::move(merged);
    }
};

bool SameEntries(const WorkingLists& lists, const Entries& expected, bool counted)
{
    if (lists.size() != expected.size() || lists.bot != expected.bot || lists.hasCounts() != counted)
        return false;
    if (counted && lists.counts != expected.counts)
        return false;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (lists.List1[i] != expected.referrer[i] || lists.landing[i] != expected.landing[i])
            return false;
        if (lists.List2[i] != ExtensionIndex(expected.rest[i]))
            return false;
    }
    return true;
}

// Reads the log in memory the way the scanner reads a file, checking each
// line and each referrer against a plain reading of their rules.
Entries ReadInMemory(std::string_view log, const ScanSettings& settings, std::size_t blockSize, std::size_t largestRead)
{
    const QByteArray ownDomain = settings.strYourWebsite.toUtf8();
    const std::string_view domain(ownDomain.constData(), std::size_t(ownDomain.size()));
    const ReferrerMatcher matcher(domain, settings.bHttps);
    LineShapeReader shapes;
    const std::vector<std::string_view> expectedLines = ReferenceLines(log);
    Entries lists;
    W3cFields fields;
    backtrail::testing::PlainW3cNames names;
    std::string remainder;
    std::string scratch;
    std::size_t lineCount = 0;

    MemorySource source(log, largestRead);
    LineScanner scanner(blockSize);
    const bool readToEnd = scanner.run(source, [&](std::string_view line, const LineMarks& marks) {
        FUZZ_CHECK(lineCount < expectedLines.size());
        FUZZ_CHECK(line == expectedLines[lineCount]);
        ++lineCount;
        FUZZ_CHECK(marks.next(Mark::Scheme, 0) == line.find("://"));
        FUZZ_CHECK(marks.next(Mark::Quote, 0) == line.find('"'));
        FUZZ_CHECK(marks.next(Mark::Bracket, 0) == line.find('['));
        if (!line.empty() && line.front() == '#')
            fields.readDirective(line);
        if (line.starts_with("#Fields:"))
            names = backtrail::testing::PlainW3cSplit(line.substr(8));

        LineFields read = shapes.read(line, marks, fields, true);
        ReferrerMatcher::Referrer referrer;
        std::size_t start = 0;
        const bool taken = matcher.findReferrer(line, marks, read, referrer, start);
        // Each line against a plain reading of its fields; Qt's JSON reader and
        // the scanner's may part on damaged JSON, so there only what is taken
        // is checked.
        const backtrail::testing::PlainReferrer plain
            = backtrail::testing::PlainFieldReferrer(line, names, domain, settings.bHttps);
        const bool json = read.shape == LineShape::Json
            || backtrail::testing::PlainShape(line, names).shape == backtrail::testing::PlainFields::Json;
        FUZZ_CHECK(json || taken == plain.found);
        if (fields.count == 0)
            FUZZ_CHECK(taken == matcher.IsReferrerLine(line));
        if (!taken)
            return true;
        const std::string text(referrer.text);
        FUZZ_CHECK(json || (text == plain.text && referrer.inAgent == plain.inAgent));
        if (read.inLine() || !read.known())
            FUZZ_CHECK(line.substr(start, text.size()) == text);
        FUZZ_CHECK(IsAddress(text, settings.bHttps));
        ReferrerMatcher::Remainder(line, marks, text, remainder);
        FUZZ_CHECK(remainder == ReferenceRemainder(line, text));

        lists.rest.push_back(remainder);
        lists.referrer.push_back(text);
        // Who clicked, the plain way: a user agent that a crawler pattern
        // matches (marked with the kind of crawler of the first pattern, read
        // without the scan's cache), else the address a crawler wrote into its
        // user agent (a line of a known shape), or a ")" closing the address or
        // the address inside the user agent (a line of none).
        std::string agentScratch;
        std::uint8_t mark = kPersonMark;
        auto markOf = [&](std::string_view userAgent) {
            mark = CrawlerList::Shipped().markOf(userAgent);
            FUZZ_CHECK((mark != kPersonMark) == CrawlerList::Shipped().matches(userAgent));
        };
        if (read.known()) {
            ReadAgentField(line, marks, read);
            if (read.agent.data() != nullptr)
                markOf(UserAgentText(read, agentScratch));
            if (mark == kPersonMark && referrer.inAgent)
                mark = kCrawlerMark;
        } else {
            const UserAgentSpan agent = FindUserAgent(line, fields);
            if (agent.found())
                markOf(UserAgentText(line, agent, agentScratch));
            if (mark == kPersonMark && (referrer.closedByParen || agent.contains(matcher.addressStart(line))))
                mark = kCrawlerMark;
        }
        lists.bot.push_back(mark);
        lists.landing.emplace_back(LandingPath(line, fields, scratch));
        return true;
    });
    FUZZ_CHECK(readToEnd);
    FUZZ_CHECK(lineCount == expectedLines.size());
    return lists;
}

// A front end with one file, which records what the scan tells it and checks
// the working lists when duplicate removal begins.
class RecordingFrontEnd final : public ScanFrontEnd
{
public:
    QString folder;
    QString name;
    bool progressShown = true;
    int stopAtYield = -1;
    const Scanner* scanner = nullptr;
    Scanner* stopper = nullptr;

    int yields = 0;
    int completed = 0;
    int statistics = 0;
    int clears = 0;
    bool dedupeStarted = false;
    std::int64_t entriesBeforeDedupe = -1;
    std::int32_t linksBeforeDedupe = -1;
    std::size_t rows = 0;
    bool rowsAdded = false;
    int unreadable = 0;
    QString lastStatus;

    int fileCount() const override { return 1; }
    bool fileSelected(int) const override { return true; }
    QString fileFolder(int) const override { return folder; }
    QString fileName(int) const override { return name; }
    void setStatus(const QString& text) override
    {
        lastStatus = text;
        if (text == kWaitText && scanner) {
            FUZZ_CHECK(!dedupeStarted);
            dedupeStarted = true;
            CheckListsInStep(scanner->state().lists);
            entriesBeforeDedupe = std::int64_t(scanner->state().lists.size());
            linksBeforeDedupe = scanner->state().counters.LinksFound;
        }
    }
    void setProgress(double value, double maximum) override
    {
        FUZZ_CHECK(value >= 0);
        FUZZ_CHECK(value <= maximum || (value == 0 && maximum == 0));
    }
    bool showsProgress() const override { return progressShown; }
    void yieldToEvents() override
    {
        if (yields++ == stopAtYield && stopper)
            stopper->StopScan();
    }
    void showStatistics(const QString&, const QString&) override { ++statistics; }
    void scanCompleted() override { ++completed; }
    void clearResults() override { ++clears; }
    void addResults(ResultTable table) override
    {
        FUZZ_CHECK(!rowsAdded);
        rowsAdded = true;
        rows = table.size();
    }
    void fileUnreadable(const QString&, const QString&) override { ++unreadable; }
};

// The log the scanner reads: a file that lives in memory only (no temporary
// file on disk), opened by the scanner through its /proc/self/fd name.
int g_log = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    backtrail::fuzz::UsePlainPages();
    g_log = ::memfd_create("fuzz.log", MFD_CLOEXEC);
    if (g_log < 0)
        backtrail::fuzz::Fail("a log file in memory", __FILE__, __LINE__);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader input(data, size);
    const std::uint8_t flags = input.take();
    const std::uint8_t domainChoice = input.take();
    const std::uint8_t blockChoice = input.take();
    const std::size_t blockSize = 1 + blockChoice % 64;
    const int threads = 1 + (blockChoice >> 6);
    const std::size_t largestRead = 1 + std::size_t(input.take());
    const int stopAtYield = input.take();
    // Each entry's clicks per landing page and day, counted as the lines are read.
    const bool details = domainChoice & 8;

    ScanSettings settings;
    settings.bRemoveDupes = flags & 1;
    settings.bGetFileTypes = flags & 2;
    settings.bHttps = flags & 4;
    settings.bDisplayStats = flags & 8;
    const bool yieldOften = flags & 16;
    const bool pressStop = flags & 32;
    const bool showProgress = flags & 64;
    static const char* const kDomains[] = {"mysite.example", "", kPlaceholderDomain, "http", ".", "://", "\xc3\x84"};
    if ((domainChoice & 7) < 7) {
        settings.strYourWebsite = QString::fromUtf8(kDomains[domainChoice & 7]);
    } else {
        const std::string_view own = input.take(domainChoice >> 4);
        settings.strYourWebsite = QString::fromUtf8(own.data(), qsizetype(own.size()));
    }
    const std::string_view log = input.rest();
    const bool gzip = log.size() >= 2 && log[0] == '\x1f' && log[1] == '\x8b';

    // The in-memory reading (a gzip log is read there as its raw bytes).
    Entries expected = ReadInMemory(log, settings, blockSize, largestRead);
    std::size_t expectedLines = ReferenceLines(log).size();
    std::size_t expectedLinks = expected.size();
    if (flags & 128)
        return 0;

    // The same bytes as a file, scanned by the scanner.
    FUZZ_CHECK(::ftruncate(g_log, 0) == 0);
    FUZZ_CHECK(::pwrite(g_log, log.data(), log.size(), 0) == ssize_t(log.size()));
    const QString folder = QStringLiteral("/proc/self/fd");
    const QString name = QString::number(g_log);
    const QString path = folder + u'/' + name;

    RecordingFrontEnd frontEnd;
    frontEnd.folder = folder;
    frontEnd.name = name;
    frontEnd.progressShown = showProgress;
    frontEnd.stopAtYield = pressStop ? stopAtYield : -1;
    Scanner scanner(frontEnd, settings);
    frontEnd.scanner = &scanner;
    frontEnd.stopper = &scanner;
    if (yieldOften)
        scanner.setYieldInterval(std::chrono::nanoseconds(0));
    // The lists are made once: building the shipped spam list anew cost more than most runs.
    static const auto spamHosts = std::make_shared<const SpamList>(SpamList::Shipped());
    scanner.setVisitorLists(CrawlerList::Shipped(), spamHosts);
    scanner.setThreads(threads);
    scanner.setCollectDetails(details);
    scanner.setPieceBytes(threads > 1 ? std::int64_t(16 + 7 * largestRead) : 0);
    FUZZ_CHECK(scanner.StartScan());
    FUZZ_CHECK(!scanner.running());

    const ScanState& state = scanner.state();
    const ScanCounters& counters = state.counters;
    const WorkingLists& lists = state.lists;
    const bool stopped = counters.StopRequested;

    // The invariants of every scan, stopped or not.
    CheckListsInStep(lists);
    FUZZ_CHECK(frontEnd.clears == 1);
    FUZZ_CHECK(frontEnd.rowsAdded);
    FUZZ_CHECK(frontEnd.rows == lists.size());
    FUZZ_CHECK(counters.LinksFound >= 0 && state.DuplicatesRemoved >= 0);
    if (settings.bRemoveDupes) {
        FUZZ_CHECK(frontEnd.dedupeStarted);
        FUZZ_CHECK(frontEnd.linksBeforeDedupe == counters.LinksFound);
        // Equal referrers collapse as they are read: duplicate removal finds them gone.
        FUZZ_CHECK(frontEnd.entriesBeforeDedupe == std::int64_t(lists.size()));
        FUZZ_CHECK(std::int64_t(state.DuplicatesRemoved) + std::int64_t(lists.size()) == counters.LinksFound);
        FUZZ_CHECK(lists.hasCounts() && lists.counts.size() == lists.size());
        std::int64_t clicks = 0;
        for (const std::uint32_t count : lists.counts) {
            FUZZ_CHECK(count >= 1);
            clicks += count;
        }
        FUZZ_CHECK(clicks == counters.LinksFound);
    } else {
        FUZZ_CHECK(!frontEnd.dedupeStarted);
        FUZZ_CHECK(std::int64_t(lists.size()) == counters.LinksFound);
        FUZZ_CHECK(state.DuplicatesRemoved == 0);
    }
    for (std::size_t i = 0; i < lists.size(); ++i)
        FUZZ_CHECK(IsAddress(lists.List1[i], settings.bHttps));
    // An entry's landing pages hold all of its clicks, its days those of its lines with a time.
    FUZZ_CHECK(state.detailsCollected == (details && settings.bRemoveDupes));
    for (std::size_t i = 0; details && i < lists.size(); ++i) {
        const RowDetails row = scanner.details(std::span<const std::size_t>(&i, 1));
        std::uint64_t onPages = 0;
        for (const LandingClicks& landing : row.landings)
            onPages += landing.clicks;
        std::uint64_t onDays = 0;
        for (const DayClicks& day : row.days)
            onDays += day.clicks;
        const std::uint64_t clicks = lists.hasCounts() ? lists.counts[i] : 1;
        FUZZ_CHECK(onPages == clicks);
        FUZZ_CHECK(onDays <= clicks && (onDays > 0) == lists.firstSeen[i].valid);
    }

    if (stopped) {
        FUZZ_CHECK(frontEnd.completed == 0 && frontEnd.statistics == 0);
        FUZZ_CHECK(counters.FilesDone <= 1);
        FUZZ_CHECK(std::size_t(counters.LinksFound) <= expectedLinks || gzip);
        return 0;
    }
    FUZZ_CHECK(frontEnd.completed == 1);
    FUZZ_CHECK(frontEnd.statistics == (settings.bDisplayStats ? 1 : 0));
    FUZZ_CHECK(frontEnd.lastStatus == CompletionText(state));
    FUZZ_CHECK(counters.FilesDone + frontEnd.unreadable == 1);
    if (gzip) {
        // A gzip log: the file is reported when its inflated bytes end in a
        // failure; otherwise the in-memory reading of those bytes is what the
        // file scan must have seen.
        std::string inflated;
        const std::unique_ptr<LogSource> source = LogSource::open(path, nullptr);
        FUZZ_CHECK(source);
        char block[4096];
        std::int64_t got = 0;
        while ((got = source->read(block, sizeof block)) > 0)
            inflated.append(block, std::size_t(got));
        if (got < 0) {
            FUZZ_CHECK(frontEnd.unreadable == 1);
            return 0;
        }
        expected = ReadInMemory(inflated, settings, blockSize, largestRead);
        expectedLines = ReferenceLines(inflated).size();
        expectedLinks = expected.size();
    }

    // The file scan saw what the in-memory reading saw.
    FUZZ_CHECK(frontEnd.unreadable == 0);
    FUZZ_CHECK(std::size_t(counters.LinesScanned) == expectedLines);
    FUZZ_CHECK(std::size_t(counters.LinksFound) == expectedLinks);
    if (settings.bRemoveDupes)
        expected.mergeDuplicates();
    FUZZ_CHECK(SameEntries(lists, expected, settings.bRemoveDupes));
    return 0;
}
