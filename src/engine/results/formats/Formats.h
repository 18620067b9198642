#pragma once

#include "Output.h"

#include "engine/aggregate/EntryDetails.h"
#include "engine/aggregate/WorkingLists.h"
#include "engine/base/Settings.h"
#include "engine/results/ResultTable.h"
#include "engine/results/RowOrder.h"
#include "engine/results/RowSources.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// A file that could not be scanned, and why.
struct UnreadableFile
{
    QString path;
    QString error;
};

/// What the formats write of a scan besides its rows: the settings it ran
/// with, its counters and status line, the files it read and could not read,
/// and its entries with their details. The front end that ran the scan fills
/// it (ResultsToWriteOf fills the counters, entries and details).
struct ResultsToWrite
{
    ScanSettings settings;
    QString status; ///< the status line after the scan
    std::vector<UnreadableFile> unreadable;
    QStringList files; ///< the files the scan read (the report lists them)
    bool stopped = false; ///< the scan was stopped before its end
    std::int32_t filesDone = 0;
    std::int32_t linesScanned = 0;
    std::int32_t linksFound = 0;
    std::int32_t duplicatesRemoved = 0;
    std::int64_t hiddenCrawlerLines = 0;
    std::int64_t hiddenSpamLines = 0;
    std::int64_t outsideRangeLines = 0;
    /// The scan's entries, one a row before grouping: their bot flags and
    /// types, and the rows' details when they were not collected.
    const WorkingLists* lists = nullptr;
    /// Each entry's clicks per landing page and day when the scan counted
    /// them (indexed for the entries); null when it did not.
    const EntryDetails* details = nullptr;
};

/// The sources of the rows being written: one for each row; grouped by
/// source, each group's search words too.
struct RowSourcesOut
{
    /// The rows' sources, when held (grouped rows); else each row's source is
    /// found by `lists` as the row is written (a scan's rows: a million rows'
    /// sources held at once would take more memory than the rows).
    std::vector<Source> rows;
    const SourceLists* lists = nullptr;
    /// The spam list the rows' sources are told by besides their types; none: by their types alone.
    const SpamList* spam = nullptr;
    /// Row i's source, held or found by `find`; none without either.
    std::optional<Source> of(std::size_t i, const ResultRow& row, std::optional<RowSourceFinder>& find) const
    {
        if (i < rows.size())
            return rows[i];
        if (!lists)
            return std::nullopt;
        if (!find)
            find.emplace(*lists, spam);
        return (*find)(row);
    }
    bool bySource = false;
    /// With bySource: the rows' (before grouping) sources and each group's rows.
    const ResultTable* memberRows = nullptr;
    std::vector<Source> memberSources;
    std::vector<std::vector<std::size_t>> members;
    std::vector<KeywordClicks> keywordsOf(std::size_t group) const
    {
        if (!bySource || !memberRows || group >= members.size())
            return {};
        return KeywordsOf(*memberRows, memberSources, members[group]);
    }
};

/// A source as the table and TSV write it: its kind, ":" and its name ("search:Google").
std::string SourceCell(const Source& source);

/// The width of a time's cell: "2026-12-08T17:13:23+02:00".
inline constexpr std::size_t kTimeWidth = 25;

/// The columns of the table at a width: each column's width and whether it shows.
struct TableColumns
{
    std::size_t clicks = 6;
    std::size_t referrer = 8;
    std::size_t landing = 12;
    std::size_t source = 6;
    bool showLanding = true;
    bool showFirstSeen = true;
    bool showLastSeen = true;
    bool showSource = true;
};

/// The columns of a table `width` characters wide (0: no limit) whose cells
/// are at most as wide as given: the referrer gets what the other columns
/// leave (a landing page at most 40, a source 30); where even 24 of the
/// referrer's would not fit, the first seen, last seen, landing page and
/// source columns are left out in that order.
TableColumns FitTable(std::size_t width, std::size_t clicks, std::size_t referrer, std::size_t landing,
                      std::size_t source);

/// A cell cut to `width` characters: its first and last characters with "…"
/// between them (the middle of an address says the least).
std::string ElideMiddle(std::string_view cell, std::size_t width);

/// The rows as a table for people to read: aligned columns, in `order`. With
/// a `width` (a terminal's) the table fits it, long cells elided in the
/// middle, and ends with the number of rows.
void WriteTable(Output& output, const ResultTable& rows, const RowSourcesOut& sources, std::size_t width = 0,
                const RowOrder& order = {});

/// The rows as tab-separated values with a header line, in `order`.
void WriteTsv(Output& output, const ResultTable& rows, const RowSourcesOut& sources, const RowOrder& order = {});

/// The results as JSON: the settings, the counters and the status, every row
/// (with its source, its bot flag and file type, and with `details` its
/// landing pages and days; rows grouped by site or source sum their
/// members', and grouped by source give their search words), and the files
/// that could not be read. A merge reads it back. Large answers are formatted
/// on `threads` threads and written in order. `bySite`: the rows are grouped
/// (by site, or by source when `sources` says so), `siteMembers` their rows.
/// `more` (further members of the top object, each after a comma) follows
/// the results. Rows are written in `order`.
void WriteJson(Output& output, const ResultsToWrite& scan, const ResultTable& rows, bool bySite, bool details,
               const std::vector<std::vector<std::size_t>>& siteMembers, int threads, const RowSourcesOut& sources,
               std::string_view more = {}, const RowOrder& order = {});

/// The results as one self-contained web page to share: the counters, the
/// status, every row with its landing pages and days (as columns, texts that
/// repeat in tables), a chart of clicks per day with a date range, search,
/// filters, sorting and each row's details. Nothing of a log can run in it:
/// its data sits in a JSON script element with every '<' escaped, and its
/// own script and style are allowed by their hashes alone. Rows have their
/// details when the scan collected them (or grouped by site, summed).
void WriteReport(Output& output, const ResultsToWrite& scan, const ResultTable& rows, bool bySite,
                 const std::vector<std::vector<std::size_t>>& siteMembers);

/// The same page written to the file at `path`, which is replaced only when
/// the page is complete. False, with `error` saying why, when it cannot be.
bool WriteReportFile(const QString& path, const ResultsToWrite& scan, const ResultTable& rows, QString* error);

/// The export's referers.html: one link a working-list entry.
void WriteHtml(Output& output, const WorkingLists& lists);

} // namespace backtrail::engine
