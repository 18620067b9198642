#pragma once

#include "engine/scan/ScanState.h"

#include <QString>

namespace backtrail::results {

/// The name of the exported list of links.
inline constexpr auto kExportFileName = "referers.html";

/// Where the export goes: the file list's folder, "/" unless the folder already
/// ends in one (the root folder), then referers.html.
QString ExportPath(const QString& folder);

/// What an export did: the path it wrote, or why it could not.
struct ExportOutcome
{
    bool saved = false;
    QString path;
    QString error;
};

/// Writes the working list as referers.html into `folder`. A failed write
/// leaves any earlier file as it was.
ExportOutcome ExportReferrers(const engine::WorkingLists& lists, const QString& folder);

/// The text of the message box after an export: "saved as PATH", or the path
/// and the reason when it could not be written.
QString ExportMessage(const ExportOutcome& outcome);

} // namespace backtrail::results
