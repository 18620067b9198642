#pragma once

// What the scanner's sources share and nothing outside them sees: a piece of
// work and what reading it found, and the limits the reading keeps to.

#include "ScanDriver.h"

#include "engine/aggregate/ScanPart.h"
#include "engine/fields/LineTime.h"
#include "engine/fields/LogReader.h"
#include "engine/input/FilePieces.h"
#include "engine/visitors/SpamList.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace backtrail::engine {

namespace scanwork {

using Clock = std::chrono::steady_clock;
// Lines between two looks at the clock: a clock read costs about as much as
// scanning a short line, so looking every line would slow the scan visibly.
constexpr int kLinesPerClockCheck = 512;
// A plain file is cut into pieces only when it is this large: smaller ones
// are read whole, next to the other files.
constexpr std::int64_t kSmallestPiece = std::int64_t(32) << 20;
// Nor is a piece larger than this: each piece's part holds the different
// referrers of its bytes until it is merged, and a few are in flight at once,
// so smaller pieces keep memory near what the answer needs.
constexpr std::int64_t kLargestPiece = std::int64_t(64) << 20;

inline std::int64_t uniqueLinks(const ScanState& state)
{
    return std::int64_t(state.counters.LinksFound) - state.DuplicatesRemoved;
}

inline std::int32_t capped(std::int64_t value)
{
    return std::int32_t(std::min<std::int64_t>(value, INT32_MAX));
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

} // namespace scanwork

/// One piece of work: a piece of a selected file (the whole file when it is
/// not cut), read into a part of its own.
struct Scanner::Task
{
    int file = 0; // its place among the selected files
    QString path;
    FilePiece piece;
    bool whole = true;
    std::int64_t bytes = 0; // the piece's size on disk, for the progress bar
    // What the scan reads with, fixed when it starts.
    const ReferrerMatcher* matcher = nullptr;
    const SpamList* spam = nullptr;
    bool collapse = true;
    bool hideCrawlers = false;
    bool hideSpam = false;
    bool details = false;
    DateRange range;
    // Read this many lines and stop there, whatever the stop flag says (-1:
    // read to the end unless stopped): a stopped file read again as one piece.
    std::int64_t lineLimit = -1;
    // The part of the file to read when not all of it (a gzip file or one with
    // a prefix is then read as one piece through a window).
    FileRange bounds;
};

struct Scanner::TaskResult
{
    TaskResult(bool collapse, bool details)
        : part(collapse, details)
    {
    }
    ScanPart part;
    bool opened = false;
    bool readToEnd = false; // read to its end: neither stopped nor failed
    bool stopped = false;
    QString error; // why the piece could not be opened or read to its end
    // W3C field names in force at the piece's end, whether the piece named
    // them itself, and whether, before it did, it read a line that W3C field
    // names would read otherwise (a landing page or time it found none of, or
    // a line with an address of no known shape): those depend on the pieces
    // before it.
    W3cFields endFields;
    bool namedFields = false;
    bool needsEarlierFields = false;
    // Why the piece's first bytes look like no access log (empty: they look
    // like one, or the piece starts inside its file).
    QString noLogReason;
    std::atomic<std::int64_t> bytesRead {0};
    // Set by the worker when it is done with the piece (release), read by the
    // merging thread (acquire): what the worker wrote is then visible.
    std::atomic<bool> ready {false};
};

} // namespace backtrail::engine
