#pragma once

#include "ScanDriver.h"
#include "ScanFrontEnd.h"
#include "engine/base/Settings.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace backtrail::engine {

/// Runs scans on a thread of their own for a front end that lives on another
/// thread (a window's), so that the window's thread never waits for a scan
/// and no scan ever runs the window's events from inside itself.
///
/// What a scan tells its front end reaches `target` as queued calls on the
/// thread of `context`, in the order the scan told it; the file list is read
/// from a copy taken when the scan starts, and the settings too. The one call
/// the scan waits for is the statistics box, which holds the scan until the
/// user closes it, as the box says the scan has finished. Stop is a flag that
/// the scan looks at every few milliseconds.
class BackgroundScan
{
public:
    /// `target` and `context` (usually the same window) outlive this object.
    BackgroundScan(ScanFrontEnd& target, QObject& context);
    /// Asks a running scan to stop and waits for its thread.
    ~BackgroundScan();
    BackgroundScan(const BackgroundScan&) = delete;
    BackgroundScan& operator=(const BackgroundScan&) = delete;

    /// The scanner, to set up between scans (threads, lists, details) and to
    /// read once a scan has ended. While a scan runs only its thread uses it.
    Scanner& scanner() { return *scan; }
    const Scanner& scanner() const { return *scan; }

    /// The settings a scan (or ShowResults) reads, copied from `values`.
    /// Ignored while a scan runs.
    void useSettings(const ScanSettings& values);

    /// Starts a scan of the target's selected files with a copy of `values`;
    /// `ended` runs on the context's thread after everything the scan told the
    /// front end. Ignored (false) while a scan runs.
    bool start(const ScanSettings& values, std::function<void()> ended);
    /// Asks the running scan to stop before its next line.
    void stop() { stopAsked.store(true, std::memory_order_relaxed); }
    /// From start() until just before `ended` runs.
    bool running() const { return active; }

private:
    class Relay;
    ScanSettings settings;
    std::atomic<bool> stopAsked {false};
    std::atomic<bool> abandoned {false};
    std::unique_ptr<Relay> relay;
    std::unique_ptr<Scanner> scan;
    std::thread worker;
    QObject receiver; // on the context's thread: where a scan's end is told
    bool active = false;
};

} // namespace backtrail::engine
