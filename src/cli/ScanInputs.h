#pragma once

#include "CliFrontEnd.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace backtrail::cli {

/// The files to scan: each file as given, each folder as all the log files it
/// lists. A path that names no ordinary file is a problem, with the reason.
void ListInputs(const QStringList& paths, std::vector<Entry>& entries, std::vector<Problem>& missing);

} // namespace backtrail::cli
