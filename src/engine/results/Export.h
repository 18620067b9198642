#pragma once

#include "engine/aggregate/WorkingLists.h"

#include <QString>

#include <string>
#include <string_view>

namespace backtrail::engine {

/// Takes the type tags "[img]", "[zip]", "[exe]", "[htm]" and "[bot]" (letter
/// case ignored, in that order) out of an entry, then its first blank.
std::string StripTypeTags(std::string_view entry);

/// Where an exported entry links to: the entry without its click-count prefix
/// and type tags; "#" unless that begins with "http://" or "https://", so that
/// a Referer header a visitor made up cannot run in the exported page.
std::string ExportLinkTarget(std::string_view entry);

/// Escapes & < > " ' for HTML text and attributes.
std::string HtmlEscape(std::string_view text);

/// One line of referers.html, without its line end:
/// <a href='TARGET'>ENTRY</a><br>, both parts HTML-escaped.
std::string BuildExportLine(std::string_view entry);

/// The whole referers.html content: one line per working-list entry, in
/// working-list order, each ended by CR LF; an empty list gives no bytes.
std::string BuildExport(const WorkingLists& lists);

/// Writes the export to `path` atomically (the old file stays whole when the
/// write fails). Returns false with `error` set when it cannot be written.
bool WriteExport(const WorkingLists& lists, const QString& path, QString* error);

/// Writes bytes to a file atomically; false with `error` set on failure.
bool WriteFileAtomically(const QString& path, std::string_view bytes, QString* error);

} // namespace backtrail::engine
