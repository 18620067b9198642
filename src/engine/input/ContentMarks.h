#pragma once

#include "FilePieces.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace backtrail::engine {

/// How many bytes at a log's start tell its content from another's.
constexpr std::int64_t kHeadBytes = 4096;

/// What is remembered of a log's content that was read: enough to know it
/// again under any name, plain or compressed, and to tell whether it grew
/// since (the line read last is still where it was) or was written anew.
struct ReadMark
{
    std::uint64_t headHash = 0; ///< TextHash of the first headBytes bytes (after decompression)
    std::int64_t headBytes = 0; ///< min(kHeadBytes, readBytes) when the content was first read
    std::int64_t readBytes = 0; ///< read up to here: just after the last line end read
    std::uint64_t lastLineHash = 0; ///< TextHash of the last line read, its line end included
    std::int64_t lastLineBytes = 0;
    /// The W3C "#Fields:" line in force at readBytes, with its line end: the
    /// lines after it are read by these names. Empty when none.
    std::string fields;
    /// A gzip file read to its end that holds this content: its size and a
    /// hash of its first and last 64 KiB as stored. The same file again is
    /// known without being inflated. 0 when none.
    std::int64_t packedBytes = 0;
    std::uint64_t packedHash = 0;
};

/// What a look at a log found, against the marks of what was read before.
enum class ReadFinding {
    NoLine, ///< not one whole line: nothing to read yet
    New, ///< content not read before: read from its start
    Known, ///< read before, and grown (or not) since: read what lies beyond
    Rewritten, ///< starts as content read before, but the line read last is not where it was
};

struct ReadPlan
{
    ReadFinding finding = ReadFinding::NoLine;
    int known = -1; ///< the mark of the content it continues (Known, Rewritten)
    FileRange range; ///< what to read: whole lines only, never a last line without its line end
    ReadMark mark; ///< the mark once `range` is read
};

/// Looks at a log (plain or gzip) against the marks of what was read before:
/// whether its content was read before (its first bytes are those of a mark's
/// and the mark's last line is where it was), and what lies beyond. A plain
/// file is read only from the earliest such last line on; a gzip file is
/// inflated from its start, unless it is one read to its end before (the same
/// size, and the same first and last 64 KiB as stored). False, with `error` set, when it cannot be read.
bool PlanRead(const QString& path, const std::vector<ReadMark>& marks, ReadPlan& plan, QString* error);

/// Plans what to read of each log, in the order given, against `marks`, and
/// marks what will be read: content read before is read only beyond that, and
/// content given twice once. A log that cannot be looked at gets an empty
/// range and its reason in `unreadable` (path, reason). False, with
/// `rewritten` naming the log, when one was written anew where it had been
/// read (what was read of it cannot be taken out of results exactly).
bool PlanReads(const QStringList& paths, std::vector<ReadMark>& marks, std::vector<FileRange>& ranges,
               std::vector<std::pair<QString, QString>>& unreadable, QString* rewritten);

} // namespace backtrail::engine
