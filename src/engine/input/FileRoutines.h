#pragma once

#include <QString>
#include <QStringList>


namespace backtrail::engine {

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
