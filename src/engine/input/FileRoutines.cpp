#include "FileRoutines.h"

#include <QDir>

#include <algorithm>
#include <sys/stat.h>

namespace backtrail::engine {

QString xfileExists(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

bool xdirExists(const QString& path)
{
    const QString name = xfileExists(path);
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    struct stat info;
    return ::stat(path.toLocal8Bit().constData(), &info) == 0 && S_ISREG(info.st_mode);
}

QStringList ListLogFiles(const QString& folder)
{
    QDir dir(folder);
    QStringList names;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        // Only ordinary files: named pipes, sockets and devices are not logs, and reading one could block.
        struct stat info;
        if (::stat(entry.filePath().toLocal8Bit().constData(), &info) == 0 && S_ISREG(info.st_mode))
            names.append(entry.fileName());
    }
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

} // namespace backtrail::engine
