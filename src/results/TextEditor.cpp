#include "TextEditor.h"

#include <QProcess>

namespace backtrail::results {

QString EditorCommand()
{
    const QString command = qEnvironmentVariable("BACKTRAIL_EDITOR");
    return command.trimmed().isEmpty() ? QStringLiteral("xdg-open") : command;
}

QString EditorCommandLine(const QString& path)
{
    QString quoted = path;
    quoted.replace(u'"', QStringLiteral("\"\"\""));
    return EditorCommand() + QStringLiteral(" \"") + quoted + u'"';
}

bool StartEditor(const QString& path, QString* commandLine)
{
    const QString line = EditorCommandLine(path);
    if (commandLine)
        *commandLine = line;
    QStringList arguments = QProcess::splitCommand(line);
    if (arguments.isEmpty())
        return false;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments);
}

} // namespace backtrail::results
