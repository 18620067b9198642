#pragma once

#include "engine/input/FilePieces.h"
#include "engine/results/ResultTable.h"

#include <QString>

namespace backtrail::engine {

/// What a scan needs from the program that runs it. The desktop window and the
/// command-line scanner implement it, and tests fake it. The engine never
/// prints, shows a box or touches a widget: it tells the front end, which
/// decides how a status text or a progress step is shown.
class ScanFrontEnd
{
public:
    virtual ~ScanFrontEnd() = default;

    // The file list, read entry by entry as the scan reaches it.
    virtual int fileCount() const = 0;
    virtual bool fileSelected(int index) const = 0;
    /// The folder the file list shows when the scan reaches entry `index`.
    virtual QString fileFolder(int index) const = 0;
    virtual QString fileName(int index) const = 0;
    /// The part of entry `index` to read (the whole file unless the front
    /// end knows that some of it was read before).
    virtual FileRange fileRange(int index) const
    {
        (void)index;
        return {};
    }

    /// Replaces the status line (the status bar's second panel).
    virtual void setStatus(const QString& text) = 0;
    /// Moves the progress bar; value and maximum are in lines, minimum 0.
    virtual void setProgress(double value, double maximum) = 0;
    /// False when nobody sees the progress bar (a scanner writing to a file,
    /// say): the scan then skips the pass that counts each file's lines.
    virtual bool showsProgress() const { return true; }
    /// Lets the front end handle what is pending (clicks, Ctrl+C) before the scan goes on.
    virtual void yieldToEvents() = 0;
    /// Shows the statistics box and returns when the user has closed it.
    virtual void showStatistics(const QString& title, const QString& text) = 0;
    /// A scan that was not stopped has ended and reported its totals.
    virtual void scanCompleted() = 0;

    /// The result rows are removed at the start of a scan ...
    virtual void clearResults() = 0;
    /// ... and filled at its end, also after a stop.
    virtual void addResults(ResultTable rows) = 0;

    /// A file that could not be opened or read to its end; what was read of it is kept.
    virtual void fileUnreadable(const QString& path, const QString& reason) = 0;
    /// A file whose first bytes look like no access log (binary bytes, or no
    /// line of a known shape or with an address): it is scanned all the same.
    virtual void fileLooksLikeNoLog(const QString& path, const QString& reason)
    {
        (void)path;
        (void)reason;
    }
};

} // namespace backtrail::engine
