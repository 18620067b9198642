#pragma once

#include <QStringList>

#include <atomic>
#include <iosfwd>

namespace backtrail::engine {
class SettingsStore;
}

namespace backtrail::cli {

/// Exit statuses of backtrail-scan.
enum class ExitStatus : int {
    Ok = 0,
    FileProblem = 1, ///< a file was missing or could not be read; the others were scanned
    Usage = 2,
    Interrupted = 130, ///< stopped by Ctrl+C; what was found is still printed
};

/// Where the scanner's interrupt requests arrive: a signal handler raises the
/// count, and the scan stops at its next yield once it is non-zero.
std::atomic<int>& InterruptCount();

struct CommandStreams
{
    std::ostream& out;
    std::ostream& err;
    bool progressBar = false; ///< draw a progress bar on `err` (it is a terminal)
    std::size_t outWidth = 0; ///< `out`'s width in columns when it is a terminal; 0 when it is none
};

/// Runs `backtrail-scan` with the given arguments (without the program name):
/// scans the files, prints the rows to `out` or the --output file and reports
/// on `err`. Settings come from `store` unless options override them.
int RunScanCommand(const QStringList& arguments, const engine::SettingsStore& store, CommandStreams streams);

} // namespace backtrail::cli
