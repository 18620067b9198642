#pragma once

#include "CliFrontEnd.h"

#include "engine/input/ContentMarks.h"
#include "engine/results/SavedResults.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace backtrail::cli {

/// What --state keeps from run to run: the results so far (as --format json
/// writes them, rows never grouped) and a mark of every log content read.
struct ScanStateFile
{
    engine::SavedResults results;
    std::vector<engine::ReadMark> marks;
};

/// Reads a state's bytes. False, with `error` saying what is wrong, when
/// they are no state this program wrote or hold what no scan can have found.
bool ReadStateFile(const QByteArray& bytes, ScanStateFile& state, QString* error);

/// Reads the state at `path` for a run with the settings of `wanted`: an
/// empty state when there is no such file yet. False, with `error` naming the
/// file and saying why, when it cannot be read, is damaged or foreign, or was
/// made with other settings.
bool OpenStateFile(const QString& path, const engine::SavedResults& wanted, ScanStateFile& state, QString* error);

/// Plans what to read of each file (in the order given) against the state's
/// marks, and marks what will be read: content read before is read only
/// beyond that, and content given twice once. A file that cannot be read is
/// not read at all and added to `unreadable`. False, with `error` naming the
/// file, when one was written anew where it had been read.
bool PlanStateReads(const QStringList& files, ScanStateFile& state, std::vector<engine::FileRange>& ranges,
                    std::vector<Problem>& unreadable, QString* error);

/// The members a state adds to the results: ",\n  "state": ..., "read": [...]".
std::string StateMembers(const std::vector<engine::ReadMark>& marks, bool bySite);

} // namespace backtrail::cli
