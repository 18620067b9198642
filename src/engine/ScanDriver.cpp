#include "ScanDriver.h"

#include "Classify.h"
#include "FileRoutines.h"
#include "LineScanner.h"
#include "ListKillDupes.h"
#include "LogReader.h"
#include "LogSource.h"
#include "ScanFrontEnd.h"

#include <QFileInfo>

namespace backtrail::engine {

namespace {

using Clock = std::chrono::steady_clock;
// Lines between two looks at the clock: a clock read costs about as much as
// scanning a short line, so looking every line would slow the scan visibly.
constexpr int kLinesPerClockCheck = 512;

std::int64_t uniqueLinks(const ScanState& state)
{
    return std::int64_t(state.counters.LinksFound) - state.DuplicatesRemoved;
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

Scanner::Scanner(ScanFrontEnd& fe, const ScanSettings& values)
    : frontEnd(fe)
    , settings(values)
{
}

bool Scanner::StartScan()
{
    if (scanning)
        return false;
    RunningFlag guard(scanning);
    current.reset();
    frontEnd.clearResults();
    ScanSelectedFiles();
    return true;
}

void Scanner::showProgress()
{
    frontEnd.setProgress(current.progress.value, current.progress.maximum);
}

void Scanner::ScanSelectedFiles()
{
    const int count = frontEnd.fileCount();
    for (int i = 0; i < count; ++i) {
        if (!frontEnd.fileSelected(i))
            continue;
        const QString path = JoinPath(frontEnd.fileFolder(i), frontEnd.fileName(i));
        SetProgressRange(path);
        ReadLogFile(path);
    }
    if (settings.bRemoveDupes)
        ListKillDupes(current, frontEnd);
    frontEnd.addResults(FillResults(current.lists, settings.bGetFileTypes));
    if (current.counters.StopRequested)
        return;
    frontEnd.setStatus(CompletionText(current));
    if (settings.bDisplayStats)
        frontEnd.showStatistics(StatisticsTitle(), StatisticsText(current));
    frontEnd.scanCompleted();
}

void Scanner::SetProgressRange(const QString& path)
{
    // The range is the file's line count, so each line read moves the bar one
    // step. A compressed file would have to be decompressed twice for that;
    // its bar counts compressed bytes instead, which moves just as evenly.
    progressInBytes = false;
    std::int64_t range = 0;
    if (frontEnd.showsProgress()) {
        progressInBytes = LogSource::isGzipFile(path);
        // Counting a large file takes a while: let the front end handle events meanwhile.
        Clock::time_point lastYield = Clock::now();
        range = progressInBytes ? QFileInfo(path).size() : xfileLines(path, [&] {
            if (Clock::now() - lastYield >= yieldInterval) {
                frontEnd.yieldToEvents();
                lastYield = Clock::now();
            }
        });
    }
    current.progress.setRange(range);
    showProgress();
    frontEnd.yieldToEvents();
}

void Scanner::ReadLogFile(const QString& path)
{
    if (!xdirExists(path))
        return;
    QString error;
    const std::unique_ptr<LogSource> source = LogSource::open(path, &error);
    if (!source) {
        frontEnd.fileUnreadable(path, error);
        return;
    }

    const QByteArray ownDomain = settings.strYourWebsite.toUtf8();
    const ReferrerMatcher matcher(std::string_view(ownDomain.constData(), std::size_t(ownDomain.size())),
                                  settings.bHttps);
    ScanCounters& counters = current.counters;
    WorkingLists& lists = current.lists;
    W3cFields fields;
    std::string remainder;
    std::string scratch;
    bool stopped = false;
    std::int64_t unshownSteps = 0;
    int linesToClockCheck = kLinesPerClockCheck;
    Clock::time_point lastYield = Clock::now();

    auto advanceProgress = [&] {
        if (progressInBytes) {
            current.progress.value = 0;
            current.progress.step(source->fileBytesRead());
        } else {
            current.progress.step(unshownSteps);
        }
        unshownSteps = 0;
    };
    auto yieldIfDue = [&] {
        const Clock::time_point now = Clock::now();
        if (now - lastYield < yieldInterval)
            return;
        advanceProgress();
        showProgress();
        frontEnd.yieldToEvents();
        lastYield = Clock::now();
    };

    LineScanner scanner;
    ReferrerMatcher::Referrer referrer;
    const bool readToEnd = scanner.run(*source, [&](std::string_view line, std::size_t scheme) {
        if (counters.StopRequested) {
            stopped = true;
            return false;
        }
        SaturatingIncrement(counters.LinesScanned);
        if (!line.empty() && line.front() == '#')
            fields.readDirective(line);
        if (matcher.takeReferrer(line, scheme, referrer, remainder)) {
            SaturatingIncrement(counters.LinksFound);
            lists.List2.append(remainder);
            lists.List1.append(referrer.text);
            lists.bot.push_back(referrer.closedByParen ? 1 : 0);
            lists.landing.append(LandingPath(line, fields, scratch));
        }
        ++unshownSteps;
        if (--linesToClockCheck == 0) {
            linesToClockCheck = kLinesPerClockCheck;
            yieldIfDue();
        }
        return true;
    });

    if (stopped) {
        frontEnd.setStatus(QStringLiteral("Cancelled"));
        current.progress.value = 0.01;
        showProgress();
        return;
    }
    advanceProgress();
    showProgress();
    if (!readToEnd) {
        frontEnd.fileUnreadable(path, source->errorText());
        return;
    }
    SaturatingIncrement(counters.FilesDone);
    frontEnd.setStatus(FinishedText(counters));
}

} // namespace backtrail::engine
