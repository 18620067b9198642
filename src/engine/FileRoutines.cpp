#include "FileRoutines.h"

#include "LogSource.h"

#include <QDir>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace backtrail::engine {

std::int64_t xfileLines(const QString& path, const std::function<void()>& afterBlock)
{
    std::unique_ptr<LogSource> source = LogSource::open(path, nullptr);
    if (!source)
        return 0;
    // Lines = line ends + one for a last line without terminator. A CR LF pair
    // is one line end, so each LF that directly follows a CR is not counted.
    std::vector<char> block(std::size_t(1) << 20);
    std::int64_t lines = 0;
    bool lastWasCr = false;
    bool lastWasEnd = true; // nothing read yet, or the last byte ended a line
    for (;;) {
        const std::int64_t got = source->read(block.data(), block.size());
        if (got <= 0)
            break;
        const char* const begin = block.data();
        const char* const end = begin + got;
        lines += std::count(begin, end, '\n');
        if (std::memchr(begin, '\r', std::size_t(got))) {
            for (const char* p = begin; p < end; ++p) {
                if (*p == '\r')
                    ++lines;
                else if (*p == '\n' && (p == begin ? lastWasCr : p[-1] == '\r'))
                    --lines;
            }
        } else if (lastWasCr && *begin == '\n') {
            --lines;
        }
        lastWasCr = end[-1] == '\r';
        lastWasEnd = end[-1] == '\r' || end[-1] == '\n';
        if (afterBlock)
            afterBlock();
    }
    return lines + (lastWasEnd ? 0 : 1);
}

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
