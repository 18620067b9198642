#include "HelpDocument.h"

#include "engine/input/FileRoutines.h"

#include <QCoreApplication>

#ifndef BACKTRAIL_INSTALLED_DATA_DIR
#define BACKTRAIL_INSTALLED_DATA_DIR "/usr/local/share/backtrail"
#endif

namespace backtrail::shell {

QString HelpDocumentPath()
{
    return HelpDocumentPath(QCoreApplication::applicationDirPath(), QStringLiteral(BACKTRAIL_INSTALLED_DATA_DIR));
}

QString HelpDocumentPath(const QString& programFolder, const QString& dataFolder)
{
    const QString name = QString::fromLatin1(kHelpDocumentName);
    const QString beside = engine::JoinPath(programFolder, name);
    if (engine::xdirExists(beside))
        return beside;
    const QString installed = engine::JoinPath(dataFolder, name);
    if (!dataFolder.isEmpty() && engine::xdirExists(installed))
        return installed;
    return beside;
}

} // namespace backtrail::shell
