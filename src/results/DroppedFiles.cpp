#include "DroppedFiles.h"

#include <QDir>
#include <QFileInfo>

namespace backtrail::results {

DroppedFiles ResolveDroppedFiles(const QStringList& paths)
{
    DroppedFiles dropped;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString absolute = QDir::cleanPath(info.absoluteFilePath());
        if (!info.exists()) {
            dropped.skipped << path;
            continue;
        }
        if (dropped.folder.isEmpty()) {
            if (info.isDir()) {
                dropped.folder = absolute;
                dropped.allFiles = true;
                continue;
            }
            dropped.folder = QDir::cleanPath(info.absolutePath());
        }
        const bool inFolder = !info.isDir() && QDir::cleanPath(info.absolutePath()) == dropped.folder;
        if (!inFolder)
            dropped.skipped << path;
        else if (!dropped.allFiles && !dropped.names.contains(info.fileName()))
            dropped.names << info.fileName();
    }
    return dropped;
}

} // namespace backtrail::results
