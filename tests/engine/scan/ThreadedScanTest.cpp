// Scans on several threads, with files cut into pieces, against the scan on
// one thread: the same rows, counters, texts and unreadable files, and after a
// Stop the sequential scan of a prefix of the lines.
#include "DriverFixture.h"

#include "engine/aggregate/ScanPart.h"
#include "engine/input/LineScanner.h"

#include <optional>
#include <random>

using namespace backtrail::engine;
using namespace backtrail::testing;

namespace {

std::string randomLog(std::mt19937& random, int lines)
{
    static const char* const kReferrers[]
        = {"http://a.example/",     "https://b.example/x?q=1", "http://mysite.example/", "http://c.example/p.jpg", "-",
           "http://d.example/(bot)"};
    static const char* const kPaths[] = {"/", "/a.gif", "/doc.pdf", "/index.html", "/x.zip?y"};
    static const char* const kEnds[] = {"\n", "\r\n", "\r"};
    std::string log;
    for (int i = 0; i < lines; ++i) {
        switch (random() % 12) {
        case 0:
            log += std::string(random() % 3, ' ');
            break; // an empty or blank line
        case 1:
            log += "#Fields: date time cs-uri-stem cs-uri-query cs(Referer)";
            break;
        case 2:
            log += "2015-05-17 10:05:03 /w3c/" + std::to_string(random() % 5) + " q=" + std::to_string(random() % 3)
                + " http://w3c" + std::to_string(random() % 4) + ".example/";
            break;
        default: {
            std::string referrer = kReferrers[random() % std::size(kReferrers)];
            if (random() % 3 == 0)
                referrer += std::to_string(random() % 40);
            log += "10.0.0.1 - - [17/May/2015:10:05:03 +0000] \"GET "
                + std::string(kPaths[random() % std::size(kPaths)]) + " HTTP/1.1\" 200 1 \"" + referrer
                + "\" \"UA +http://ua.example/bot)\"";
        }
        }
        log += kEnds[random() % (random() % 4 == 0 ? 3 : 1)];
    }
    if (random() % 4 == 0 && !log.empty())
        log.pop_back(); // the last line without its end
    return log;
}

// The first `count` lines of a log with their line ends, by the reader's rule.
std::string firstLines(const std::string& log, std::int64_t count)
{
    std::size_t p = 0;
    for (std::int64_t n = 0; n < count && p < log.size(); ++n) {
        const std::size_t end = log.find_first_of("\r\n", p);
        if (end == std::string::npos)
            return log;
        p = end + 1;
        if (log[end] == '\r' && p < log.size() && log[p] == '\n')
            ++p;
    }
    return log.substr(0, p);
}

std::int64_t lineCount(const std::string& log)
{
    std::int64_t n = 0;
    for (std::size_t p = 0; p < log.size(); ++n) {
        const std::size_t end = log.find_first_of("\r\n", p);
        if (end == std::string::npos)
            return n + 1;
        p = end + 1;
        if (log[end] == '\r' && p < log.size() && log[p] == '\n')
            ++p;
    }
    return n;
}

std::vector<std::string> rowsOf(const ResultTable& rows)
{
    std::vector<std::string> all;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow r = rows.row(i);
        all.push_back(std::string(r.type) + "|" + std::string(r.clicks) + "|" + std::string(r.referrer) + "|"
                      + std::string(r.landing));
    }
    return all;
}

struct Outcome
{
    std::vector<std::string> rows;
    ScanCounters counters;
    std::int32_t removed = 0;
    std::vector<QString> texts; // every status text but the progress
    std::vector<std::pair<QString, QString>> unreadable;
};

class ThreadedScan : public Driver
{
protected:
    Outcome scan(int threads, std::int64_t pieceBytes, const std::function<void(Scanner&)>& onYield = {})
    {
        frontEnd.statuses.clear();
        frontEnd.unreadable.clear();
        frontEnd.statistics.clear();
        Scanner scanner(frontEnd, settings);
        scanner.setThreads(threads);
        scanner.setPieceBytes(pieceBytes);
        scanner.setYieldInterval(std::chrono::nanoseconds(0));
        frontEnd.onYield = onYield ? std::function<void()>([&] { onYield(scanner); }) : std::function<void()>();
        scanner.StartScan();
        return {rowsOf(frontEnd.rows), scanner.state().counters, scanner.state().DuplicatesRemoved, frontEnd.statuses,
                frontEnd.unreadable};
    }
};

TEST_F(ThreadedScan, EqualsTheSequentialScanWhateverTheThreadsAndPieces)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        frontEnd.files.clear();
        const int files = 1 + int(random() % 4);
        for (int f = 0; f < files; ++f) {
            std::string bytes = randomLog(random, int(random() % 400));
            // A gzip file is cut into pieces as it is inflated (one that names its
            // W3C fields first is read on in one piece); one may end in damage.
            if (random() % 3 == 0) {
                if (random() % 3 == 0)
                    bytes = "#Fields: date time cs-uri-stem cs-uri-query cs(Referer)\n" + bytes;
                bytes = GzipMember(bytes);
                if (random() % 4 == 0)
                    bytes.resize(bytes.size() - std::min<std::size_t>(bytes.size(), 1 + random() % 40));
            }
            addFile(QStringLiteral("r%1-%2.log").arg(round).arg(f), bytes);
        }
        if (round % 5 == 0)
            frontEnd.files.push_back({QStringLiteral("missing.log"), true});
        settings.bRemoveDupes = random() % 3 != 0;
        settings.bHttps = random() % 2 == 0;
        const Outcome sequential = scan(1, 0);
        const int threads = 2 + int(random() % 4);
        const std::int64_t pieces = 40 + std::int64_t(random() % 3000);
        const Outcome threaded = scan(threads, pieces);
        EXPECT_EQ(threaded.rows, sequential.rows) << threads << " threads, pieces of " << pieces;
        EXPECT_EQ(threaded.counters.LinesScanned, sequential.counters.LinesScanned);
        EXPECT_EQ(threaded.counters.LinksFound, sequential.counters.LinksFound);
        EXPECT_EQ(threaded.counters.FilesDone, sequential.counters.FilesDone);
        EXPECT_EQ(threaded.removed, sequential.removed);
        EXPECT_EQ(threaded.texts, sequential.texts);
        EXPECT_EQ(threaded.unreadable, sequential.unreadable);
    }
}

// A gzip file whose pieces would have to hold a line longer than the longest
// kept whole is read on from that line in one piece: the line is cut where
// the sequential scan cuts it.
TEST_F(ThreadedScan, AGzipLineLongerThanTheCapIsCutAsInOnePiece)
{
    std::mt19937 random(3);
    std::string log = randomLog(random, 300);
    log += "\n1.1.1.1 - - [17/May/2015:10:05:03 +0000] \"GET /long HTTP/1.1\" 200 1 \"http://long.example/";
    log.append(kMaxLineBytes + 1000, 'x');
    log += "\" \"UA\"\n" + randomLog(random, 300);
    addFile(QStringLiteral("long.log.gz"), GzipMember(log, 1));
    settings.bRemoveDupes = true;
    const Outcome sequential = scan(1, 0);
    const Outcome threaded = scan(2, 4096);
    EXPECT_EQ(threaded.rows, sequential.rows);
    EXPECT_EQ(threaded.counters.LinesScanned, sequential.counters.LinesScanned);
    EXPECT_EQ(threaded.counters.LinksFound, sequential.counters.LinksFound);
    EXPECT_EQ(threaded.texts, sequential.texts);
    EXPECT_EQ(sequential.counters.LinesScanned, lineCount(log));
}

TEST_F(ThreadedScan, AStoppedScanKeepsWhatTheSequentialScanOfAPrefixKeeps)
{
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        frontEnd.files.clear();
        std::vector<std::string> logs;
        for (int f = 0; f < 3; ++f) {
            logs.push_back(randomLog(random, 200 + int(random() % 3000)));
            addFile(QStringLiteral("s%1-%2.log").arg(round).arg(f),
                    random() % 3 == 0 ? GzipMember(logs.back()) : logs.back());
        }
        settings.bRemoveDupes = random() % 3 != 0;
        const int stopAt = 1 + int(random() % 6);
        const Outcome stopped = scan(2 + int(random() % 3), 100 + std::int64_t(random() % 5000), [&](Scanner& s) {
            if (frontEnd.yields >= stopAt)
                s.StopScan();
        });
        ASSERT_TRUE(stopped.counters.StopRequested);

        // The same lines read on one thread from logs cut after them.
        std::int64_t left = stopped.counters.LinesScanned;
        frontEnd.files.clear();
        for (std::size_t f = 0; f < logs.size(); ++f) {
            const std::int64_t lines = lineCount(logs[f]);
            addFile(QStringLiteral("p%1-%2.log").arg(round).arg(f), firstLines(logs[f], std::min(left, lines)));
            left -= std::min(left, lines);
        }
        const Outcome prefix = scan(1, 0);
        EXPECT_EQ(stopped.rows, prefix.rows);
        EXPECT_EQ(stopped.counters.LinesScanned, prefix.counters.LinesScanned);
        EXPECT_EQ(stopped.counters.LinksFound, prefix.counters.LinksFound);
        EXPECT_LE(stopped.counters.FilesDone, prefix.counters.FilesDone);
        EXPECT_EQ(stopped.removed, prefix.removed);
    }
}

TEST(ScanPartMerge, PiecesMergedInOrderEqualTheWholeAndMergingIsAssociative)
{
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        const bool collapse = random() % 2 == 0;
        // Some entries come as results read back, whose last time may follow the first.
        std::vector<std::tuple<std::string, std::string, bool, std::uint8_t, LineTime, std::optional<LineTime>>> lines;
        const bool readBack = random() % 3 == 0;
        // Few referrers, or so many that a later part often has far more
        // entries than the one it is merged into.
        const unsigned referrers = random() % 2 == 0 ? 30 : 500;
        for (int i = int(random() % 300); i > 0; --i) {
            // Few distinct seconds and offsets, so that instants tie; some lines without a time.
            LineTime time;
            time.valid = random() % 6 != 0;
            time.year = 2026;
            time.month = 12;
            time.day = std::uint8_t(1 + random() % 3);
            time.hour = std::uint8_t(random() % 3);
            time.offsetMinutes = std::int16_t(60 * (int(random() % 3) - 1));
            std::optional<LineTime> last;
            if (readBack && random() % 4 == 0) {
                last = time;
                last->hour = std::uint8_t(time.hour + random() % 2);
            }
            lines.emplace_back("http://r" + std::to_string(random() % referrers) + ".example/",
                               "/p" + std::to_string(100 + random() % 600), random() % 5 == 0,
                               std::uint8_t(random() % 32), time, last);
        }
        auto partOf = [&](std::size_t from, std::size_t to) {
            ScanPart part(collapse, true);
            // Room made ahead, too little or too much, changes nothing but memory.
            if (random() % 2 == 0)
                part.reserve(random() % 400);
            for (std::size_t i = from; i < to; ++i) {
                if (i == from + 7 && random() % 4 == 0)
                    part.reserve(random() % 6000);
                part.countLine();
                const auto& [referrer, landing, bot, type, time, last] = lines[i];
                const std::uint8_t kind = type; // clang 14 cannot capture a structured binding
                if (last)
                    part.addEntry(referrer, landing, bot, type, 1, time, *last);
                else
                    part.add(referrer, landing, bot, time, [kind] { return kind; });
            }
            return part;
        };
        std::vector<std::size_t> cuts {0, lines.size()};
        for (int c = 0; c < 3; ++c)
            cuts.push_back(lines.empty() ? 0 : random() % lines.size());
        std::sort(cuts.begin(), cuts.end());
        ScanPart a = partOf(cuts[0], cuts[1]), b = partOf(cuts[1], cuts[2]), c = partOf(cuts[2], cuts[3]),
                 d = partOf(cuts[3], cuts[4]);
        // (a merge b) merge (c merge d) against ((a merge b) merge c) merge d and the whole.
        ScanPart left = partOf(cuts[0], cuts[2]);
        left.merge(partOf(cuts[2], cuts[3]));
        left.merge(partOf(cuts[3], cuts[4]));
        a.merge(std::move(b));
        c.merge(std::move(d));
        a.merge(std::move(c));
        ScanPart whole = partOf(0, lines.size());
        EntryDetails wholeDetails = whole.takeDetails();
        wholeDetails.index(whole.size());
        const WorkingLists w = whole.takeEntries();
        for (ScanPart* merged : {&a, &left}) {
            EntryDetails details = merged->takeDetails();
            details.index(merged->size());
            ASSERT_EQ(merged->lines, whole.lines);
            ASSERT_EQ(merged->links, whole.links);
            const WorkingLists m = merged->takeEntries();
            ASSERT_EQ(m.size(), w.size());
            for (std::size_t i = 0; i < w.size(); ++i) {
                EXPECT_EQ(m.List1[i], w.List1[i]);
                EXPECT_EQ(m.landing[i], w.landing[i]);
                EXPECT_EQ(m.isBot(i), w.isBot(i));
                EXPECT_EQ(m.List2[i], w.List2[i]);
                EXPECT_EQ(m.firstSeen[i], w.firstSeen[i]);
                EXPECT_EQ(m.lastSeen[i], w.lastSeen[i]);
                if (!collapse) {
                    // An entry for each line: its own landing page and times.
                    const auto& [referrer, landing, bot, type, time, last] = lines[i];
                    EXPECT_EQ(m.landing[i], landing);
                    EXPECT_EQ(m.firstSeen[i], time);
                    EXPECT_EQ(m.lastSeen[i], last.value_or(time));
                }
                if (collapse) {
                    EXPECT_EQ(m.counts[i], w.counts[i]);
                    const std::size_t entry[] = {i};
                    EXPECT_EQ(details.landingsOf(entry), wholeDetails.landingsOf(entry));
                    EXPECT_EQ(details.daysOf(entry), wholeDetails.daysOf(entry));
                }
            }
        }
    }
}

TEST(ScanPartMerge, AFewEntriesMergedBeforeManyLeaveTheManyWhereTheyLie)
{
    // A short log before a long one: the long one's entries are not copied,
    // so the merge never holds them twice.
    for (const bool details : {false, true}) {
        ScanPart few(true, details);
        ScanPart many(true, details);
        LineTime time;
        time.valid = true;
        for (int i = 0; i < 50; ++i)
            few.add("http://r" + std::to_string(i * 7) + ".example/", "/a", i % 5 == 0, time, [] { return 1; });
        for (int i = 0; i < 2000; ++i)
            many.add("http://r" + std::to_string(i) + ".example/", "/b", i % 5 == 0, time, [] { return 2; });
        std::vector<const char*> bytes;
        for (std::size_t i = 0; i < many.size(); ++i)
            bytes.push_back(many.entries().List1[i].data());
        few.merge(std::move(many));
        ASSERT_EQ(few.size(), 50u + 2000u - 50u);
        std::size_t at = 50;
        for (int i = 0; i < 2000; ++i) {
            if (i % 7 == 0 && i / 7 < 50)
                continue; // the earlier part's entry stays, with both counts
            EXPECT_EQ(few.entries().List1[at].data(), bytes[std::size_t(i)]) << "entry " << i << " was copied";
            ++at;
        }
        EXPECT_EQ(few.entries().counts[1], 2u);
        EXPECT_EQ(few.entries().List2[1], 1u);
    }
}

} // namespace

namespace {

// A file list whose front end names the part of each file to read.
struct RangedFrontEnd : FakeFrontEnd
{
    std::vector<FileRange> ranges;
    FileRange fileRange(int index) const override { return ranges[std::size_t(index)]; }
};

} // namespace

// A part of a file (plain or gzip, whole lines from one line end to another),
// on any threads and pieces, reads what a file of just those bytes reads.
TEST_F(ThreadedScan, PartOfAFileReadsWhatAFileOfItsBytesReads)
{
    std::mt19937 random(29);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        std::string log = randomLog(random, int(random() % 400));
        // No W3C field names: a part read by itself does not know those before it.
        for (std::size_t at = log.find('#'); at != std::string::npos; at = log.find('#', at))
            log[at] = '-';
        std::vector<std::size_t> starts {0};
        for (std::size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
            starts.push_back(at + 1);
        std::size_t begin = starts[random() % starts.size()];
        std::size_t end = starts[random() % starts.size()];
        if (begin > end)
            std::swap(begin, end);
        const bool gzip = random() % 3 == 0;
        const QString name = QStringLiteral("part%1.log").arg(round);
        WriteBytes(dir.filePath(name), gzip ? GzipMember(log) : log);

        frontEnd.files = {{QStringLiteral("bytes.log"), true}};
        WriteBytes(dir.filePath(QStringLiteral("bytes.log")), log.substr(begin, end - begin));
        const Outcome wanted = scan(1, 0);

        RangedFrontEnd ranged;
        ranged.folder = dir.path();
        ranged.files = {{name, true}};
        ranged.ranges = {FileRange {std::int64_t(begin), random() % 4 ? std::int64_t(end) : -1, {}}};
        if (ranged.ranges[0].end < 0)
            WriteBytes(dir.filePath(name), log.substr(0, end));
        Scanner scanner(ranged, settings);
        scanner.setThreads(1 + int(random() % 3));
        scanner.setPieceBytes(64 + std::int64_t(random() % 2000));
        scanner.StartScan();
        EXPECT_EQ(rowsOf(ranged.rows), wanted.rows);
        EXPECT_EQ(scanner.state().counters.LinesScanned, wanted.counters.LinesScanned);
        EXPECT_EQ(scanner.state().counters.LinksFound, wanted.counters.LinksFound);
        EXPECT_EQ(scanner.state().counters.FilesDone, 1);
        EXPECT_TRUE(ranged.unreadable.empty());
    }
}
