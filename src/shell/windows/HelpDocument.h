#pragma once

#include <QString>

namespace backtrail::shell {

/// File name of the program's help document.
inline constexpr auto kHelpDocumentName = "Help.rtf";

/// Where the help document is: beside the program when it lies there,
/// otherwise in the installed data folder when it lies there. When neither
/// holds it, the path beside the program, so the caller finds it missing.
QString HelpDocumentPath();

/// The same search in the given folders, first to last.
QString HelpDocumentPath(const QString& programFolder, const QString& dataFolder);

} // namespace backtrail::shell
