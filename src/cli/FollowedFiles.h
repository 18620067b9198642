#pragma once

#include "CliFrontEnd.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace backtrail::cli {

/// What --follow watches between its reads: each file as it was when last
/// read (its inode, size and modification time), so that a round reads on
/// only in files that changed, and new files in a folder.
class FollowedFiles
{
public:
    /// Remembers the files as they are now (before they are read).
    void note(const std::vector<Entry>& entries);
    /// Keeps of `entries` those that are new or changed since they were
    /// noted, and notes them as they are now.
    void keepChanged(std::vector<Entry>& entries);
    /// Waits `seconds` (looking every 50 ms whether Ctrl+C was pressed).
    /// False when it was.
    static bool wait(double seconds);

private:
    using Signature = std::tuple<std::uint64_t, std::int64_t, std::int64_t>; // inode, size, mtime (ns)
    static Signature signatureOf(const QString& path);
    std::map<QString, Signature> seen;
};

} // namespace backtrail::cli
