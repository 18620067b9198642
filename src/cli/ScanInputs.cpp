#include "ScanInputs.h"

#include "engine/results/formats/TextOutput.h"

#include "engine/input/FileRoutines.h"

#include <QFile>
#include <QFileInfo>

namespace backtrail::cli {

using namespace backtrail::engine;

void ListInputs(const QStringList& paths, std::vector<Entry>& entries, std::vector<Problem>& missing)
{
    // The file list: each file as given, each folder as all the files it lists.
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& name : ListLogFiles(path))
                entries.push_back({path, name});
        } else if (!info.exists()) {
            missing.push_back({path, QStringLiteral("No such file or directory")});
        } else if (!xdirExists(path)) {
            missing.push_back(
                {path,
                 info.isFile() ? QStringLiteral("hidden file, not scanned") : QStringLiteral("not an ordinary file")});
        } else {
            const QString folder = path.contains(u'/') ? path.left(path.lastIndexOf(u'/')) : QStringLiteral(".");
            entries.push_back({folder.isEmpty() ? QStringLiteral("") : folder, xfileExists(path)});
        }
    }
}

} // namespace backtrail::cli
