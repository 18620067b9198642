#pragma once

#include <cstdint>

namespace backtrail::shell {

/// The share of a whole scan that has been read, for the progress bar. The
/// scan reports each file on its own: the bytes taken from it so far (packed
/// bytes for a gzip file) against its size plus 1.01, starting at 0.01 as it
/// opens the file. Counted over the sizes of all the files the scan reads, the
/// bar moves on from file to file instead of starting again with each one.
class ScanProgress
{
public:
    /// A scan of files whose sizes add up to `totalBytes` starts.
    void start(std::int64_t totalBytes);
    /// The scan's report on the file it reads; returns the share of the whole
    /// scan read, 0 to 1, never less than the share before. A report whose
    /// size differs from the last one's, or whose value is smaller, is of the
    /// next file: the last one is counted as read.
    double report(double value, double maximum);
    /// A stop was asked for: the share stays where it is until the next start.
    void freeze() { frozen = true; }

private:
    double total = 0;
    double finished = 0; // the sizes of the files read before the present one
    double fileSize = -1; // the present file's, -1 before the first report
    double fileRead = 0;
    double shown = 0;
    bool frozen = false;
};

} // namespace backtrail::shell
