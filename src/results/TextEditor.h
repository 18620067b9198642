#pragma once

#include <QString>

namespace backtrail::results {

/// The command that opens a log file for reading: $BACKTRAIL_EDITOR when it is
/// set and not empty, else xdg-open (the desktop's handler for the file).
QString EditorCommand();

/// The editor's command line: the command, a blank and the double-quoted path.
/// A double quote inside the path is written as three, the way the command
/// line is later split, so any path reaches the editor whole.
QString EditorCommandLine(const QString& path);

/// Starts the editor on `path` without waiting for it. Returns false when the
/// program could not be started; `commandLine` receives what was tried.
bool StartEditor(const QString& path, QString* commandLine);

} // namespace backtrail::results
