#include "ScanProgress.h"

#include <algorithm>

namespace backtrail::shell {

namespace {

// What the scan adds to a file's size for its maximum, and reports as a file opens.
constexpr double kRangeExtra = 1.01;
constexpr double kOpened = 0.01;

} // namespace

void ScanProgress::start(std::int64_t totalBytes)
{
    *this = ScanProgress();
    total = double(std::max<std::int64_t>(totalBytes, 0));
}

double ScanProgress::report(double value, double maximum)
{
    if (frozen)
        return shown;
    const double size = std::max(0.0, maximum - kRangeExtra);
    if (fileSize >= 0 && (size != fileSize || value < fileRead)) {
        finished += fileSize;
        fileRead = 0;
    }
    fileSize = size;
    fileRead = std::max(fileRead, value <= kOpened ? 0.0 : std::min(value, size));
    if (total > 0)
        shown = std::max(shown, std::min(1.0, (finished + fileRead) / total));
    return shown;
}

} // namespace backtrail::shell
