#include "ScanDriver.h"
#include "ScanWork.h"

namespace backtrail::engine {

using namespace scanwork;

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

} // namespace backtrail::engine
