#pragma once

#include "ScanState.h"
#include "Settings.h"

#include <QString>

#include <chrono>

namespace backtrail::engine {

class ScanFrontEnd;

/// "COMPLETE: 2 files done : 1500 lines scanned : 40 links found : 25
/// duplicates removed : 15 unique links", the status line after a scan.
QString CompletionText(const ScanState& state);

/// The five lines of the statistics box, joined by CR LF.
QString StatisticsText(const ScanState& state);

/// "Finished 1 files : Scanned 700 lines : found 12 links", the status line
/// after each file, with the running totals of the scan.
QString FinishedText(const ScanCounters& counters);

/// The title of the statistics box.
inline QString StatisticsTitle()
{
    return QStringLiteral("Scan Finished");
}

/// Runs scans for one front end: walks the selected files of its file list,
/// reads each, removes duplicates, fills the result rows and reports.
///
/// Everything runs on the caller's thread. The scan yields to the front end at
/// each file's start and every 15 ms or so while reading, so a window stays
/// responsive and a Stop click lands between two lines.
class Scanner
{
public:
    /// `settings` is read as the scan goes, so changes take effect at the next step that reads them.
    explicit Scanner(ScanFrontEnd& frontEnd, const ScanSettings& settings = Globals());

    /// Starts a scan: resets the scan state, removes the result rows and runs
    /// ScanSelectedFiles. Ignored (returns false) while a scan is running.
    bool StartScan();
    /// Asks the running scan to stop before its next line.
    void StopScan() { current.counters.StopRequested = true; }
    bool running() const { return scanning; }

    const ScanState& state() const { return current; }

    /// How long the reader goes between two yields (15 ms unless set; 0
    /// yields every few hundred lines, which tests use to stop mid-file).
    void setYieldInterval(std::chrono::nanoseconds interval) { yieldInterval = interval; }

private:
    void ScanSelectedFiles();
    void SetProgressRange(const QString& path);
    void ReadLogFile(const QString& path);
    void showProgress();

    ScanFrontEnd& frontEnd;
    const ScanSettings& settings;
    ScanState current;
    bool scanning = false;
    bool progressInBytes = false; // the bar counts a compressed file's bytes, not its lines
    std::chrono::nanoseconds yieldInterval = std::chrono::milliseconds(15);
};

} // namespace backtrail::engine
