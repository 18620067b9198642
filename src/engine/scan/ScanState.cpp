#include "ScanState.h"

namespace backtrail::engine {

void ScanState::reset()
{
    counters = ScanCounters();
    DuplicatesRemoved = 0;
    HiddenCrawlerLines = 0;
    HiddenSpamLines = 0;
    OutsideRangeLines = 0;
    lists.clear();
    details = EntryDetails();
    detailsCollected = false;
    progress = Progress();
}

} // namespace backtrail::engine
