#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace backtrail::engine {

/// The number of lines in a log file (decompressed when it is gzip), by the
/// reader's line rule: CR LF, a lone CR or a lone LF ends a line, and the last
/// line needs no terminator. 0 for a file that cannot be read or is not an
/// ordinary file (a named pipe is never opened, so it is never waited on).
/// `afterBlock`, when given, runs after each block read, so that a caller can
/// keep its window responsive while a large file is counted.
std::int64_t xfileLines(const QString& path, const std::function<void()>& afterBlock = {});

/// True when the path names an existing ordinary file that is not hidden.
bool xdirExists(const QString& path);

/// The text after the last "/" of a path, or the whole path when it has none.
QString xfileExists(const QString& path);

/// The names of the files a folder lists, as the file list shows them: ordinary
/// files and links to them, no hidden files, sorted by name ignoring letter case.
QStringList ListLogFiles(const QString& folder);

/// The path of entry `name` in `folder`: folder, "/", name.
inline QString JoinPath(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

} // namespace backtrail::engine
