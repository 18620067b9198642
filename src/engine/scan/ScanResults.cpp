#include "ScanDriver.h"
#include "ScanWork.h"

#include "ListKillDupes.h"
#include "ScanFrontEnd.h"
#include "engine/results/Classify.h"
#include "engine/results/formats/Formats.h"

#include <thread>

namespace backtrail::engine {

using namespace scanwork;

void Scanner::finishScan(ScanPart total, bool spamHidden)
{
    const bool collapsed = total.collapses();
    lastCollapsed = collapsed;
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

ScanPart Scanner::resultsAsPart() const
{
    const WorkingLists& lists = current.lists;
    ScanPart part(lastCollapsed, current.detailsCollected);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::uint32_t count = i < lists.counts.size() && lists.hasCounts() ? lists.counts[i] : 1;
        const LineTime first = i < lists.firstSeen.size() ? lists.firstSeen[i] : LineTime();
        const LineTime last = i < lists.lastSeen.size() ? lists.lastSeen[i] : first;
        // A crawler's mark keeps its kind of crawler.
        const std::uint8_t bot = i < lists.bot.size() ? lists.bot[i] : kPersonMark;
        const std::size_t entry = part.addEntry(lists.List1[i], lists.landing[i], bot,
                                                i < lists.List2.size() ? lists.List2[i] : 255, count, first, last);
        if (!part.collectsDetails())
            continue;
        EntryDetails& into = part.details();
        current.details.visitLandingNumbers(i, [&](std::uint32_t page, std::uint64_t clicks) {
            into.addLanding(std::uint32_t(entry), current.details.landingName(page), std::uint32_t(clicks));
        });
        current.details.visitDays(i, [&](std::int32_t day, std::uint64_t clicks) {
            into.addDay(std::uint32_t(entry), day, std::uint32_t(clicks));
        });
    }
    part.lines = current.counters.LinesScanned;
    part.links = current.counters.LinksFound;
    part.hiddenCrawlerLines = current.HiddenCrawlerLines;
    part.hiddenSpamLines = current.HiddenSpamLines;
    part.outsideRangeLines = current.OutsideRangeLines;
    return part;
}

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

ResultsToWrite ResultsToWriteOf(const ScanState& state)
{
    ResultsToWrite scan;
    scan.stopped = state.counters.StopRequested;
    scan.filesDone = state.counters.FilesDone;
    scan.linesScanned = state.counters.LinesScanned;
    scan.linksFound = state.counters.LinksFound;
    scan.duplicatesRemoved = state.DuplicatesRemoved;
    scan.hiddenCrawlerLines = state.HiddenCrawlerLines;
    scan.hiddenSpamLines = state.HiddenSpamLines;
    scan.outsideRangeLines = state.OutsideRangeLines;
    scan.lists = &state.lists;
    scan.details = state.detailsCollected ? &state.details : nullptr;
    return scan;
}

RowDetails Scanner::details(std::span<const std::size_t> entries) const
{
    return SumRowDetails(current.lists, current.detailsCollected ? &current.details : nullptr, entries);
}

} // namespace backtrail::engine
