#pragma once

#include <QString>

#include <span>
#include <string>
#include <string_view>

namespace backtrail::results {

class ResultsModel;

/// One CSV field: quoted when it holds a comma, a double quote, a line break
/// or a leading or trailing blank, with each double quote doubled. A field
/// that a spreadsheet would take for a formula (it begins with "=", "+", "-",
/// "@", a tab or a carriage return) gets a leading apostrophe, because a log
/// line's request and referrer are written by whoever sent them. Bytes that
/// are not UTF-8 become U+FFFD, as the table shows them.
std::string CsvField(std::string_view text);

/// One CSV record: the fields separated by commas and ended by CR LF.
std::string CsvRecord(std::span<const std::string_view> fields);

/// The rows of the results table as it shows them (view order, grouped or
/// not): a header record with the column captions (Type, Clicks, Referrer,
/// Landing Page, First Seen, Last Seen), then one record per row, in UTF-8
/// without a byte order mark. A time is "2026-12-08T17:13:23+02:00", empty
/// when the row has none.
std::string ResultsCsv(const ResultsModel& model);

/// What a CSV export did: the path it wrote, or why it could not.
struct CsvOutcome
{
    bool saved = false;
    QString error;
};

/// Writes ResultsCsv(model) to `path` atomically: a failed write leaves any
/// earlier file as it was.
CsvOutcome ExportResultsCsv(const ResultsModel& model, const QString& path);

} // namespace backtrail::results
