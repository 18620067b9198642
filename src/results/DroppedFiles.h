#pragma once

#include <QString>
#include <QStringList>

namespace backtrail::results {

/// What the log file picker shows for files or a folder that the user dropped
/// on the window or named on the command line.
struct DroppedFiles
{
    QString folder; ///< the folder to show; empty when nothing dropped exists
    QStringList names; ///< the files of that folder to select
    bool allFiles = false; ///< a folder was dropped: select all its files
    QStringList skipped; ///< dropped paths that are missing or lie in another folder
};

/// The first existing path decides: a folder is shown with all its files
/// selected; a file's folder is shown with every dropped file of that folder
/// selected. The file list shows one folder, so the paths in other folders,
/// and those that do not exist, are skipped. Relative paths are taken from
/// the working folder.
DroppedFiles ResolveDroppedFiles(const QStringList& paths);

} // namespace backtrail::results
