#pragma once

#include "CliFrontEnd.h"
#include "Output.h"

#include "engine/aggregate/WorkingLists.h"
#include "engine/base/Settings.h"
#include "engine/results/ResultTable.h"
#include "engine/results/RowSources.h"
#include "engine/scan/ScanDriver.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace backtrail::cli {

/// The sources of the rows being written: one for each row; grouped by
/// source, each group's search words too.
struct RowSourcesOut
{
    /// The rows' sources, when held (grouped rows); else each row's source is
    /// found by `lists` as the row is written (a scan's rows: a million rows'
    /// sources held at once would take more memory than the rows).
    std::vector<engine::Source> rows;
    const engine::SourceLists* lists = nullptr;
    /// Row i's source, held or found by `find`; none without either.
    std::optional<engine::Source> of(std::size_t i, const engine::ResultRow& row,
                                     std::optional<engine::RowSourceFinder>& find) const
    {
        if (i < rows.size())
            return rows[i];
        if (!lists)
            return std::nullopt;
        if (!find)
            find.emplace(*lists);
        return (*find)(row);
    }
    bool bySource = false;
    /// With bySource: the rows' (before grouping) sources and each group's rows.
    const engine::ResultTable* memberRows = nullptr;
    std::vector<engine::Source> memberSources;
    std::vector<std::vector<std::size_t>> members;
    std::vector<engine::KeywordClicks> keywordsOf(std::size_t group) const
    {
        if (!bySource || !memberRows || group >= members.size())
            return {};
        return engine::KeywordsOf(*memberRows, memberSources, members[group]);
    }
};

/// A source as the table and TSV write it: its kind, ":" and its name ("search:Google").
std::string SourceCell(const engine::Source& source);

/// The rows as a table for people to read: aligned columns, long cells cut.
void WriteTable(Output& output, const engine::ResultTable& rows, const RowSourcesOut& sources);

/// The rows as tab-separated values with a header line.
void WriteTsv(Output& output, const engine::ResultTable& rows, const RowSourcesOut& sources);

/// The results as JSON: the settings, the counters and the status, every row
/// (with its source, its bot flag and file type, and with `details` its
/// landing pages and days; rows grouped by site or source sum their
/// members', and grouped by source give their search words), and the files
/// that could not be read. A merge reads it back. Large answers are formatted
/// on `threads` threads and written in order. `bySite`: the rows are grouped
/// (by site, or by source when `sources` says so), `siteMembers` their rows.
/// `more` (further members of the top object, each after a comma) follows
/// the results.
void WriteJson(Output& output, const engine::Scanner& scanner, const engine::ResultTable& rows, const QString& status,
               const std::vector<Problem>& problems, const engine::ScanSettings& settings, bool bySite, bool details,
               const std::vector<std::vector<std::size_t>>& siteMembers, int threads, const RowSourcesOut& sources,
               std::string_view more = {});

/// The results as one self-contained web page to share: the counters, the
/// status, every row with its landing pages and days (as columns, texts that
/// repeat in tables), a chart of clicks per day with a date range, search,
/// filters, sorting and each row's details. Nothing of a log can run in it:
/// its data sits in a JSON script element with every '<' escaped, and its
/// own script and style are allowed by their hashes alone. Rows have their
/// details when the scan collected them (or grouped by site, summed).
void WriteReport(Output& output, const engine::Scanner& scanner, const engine::ResultTable& rows, const QString& status,
                 const std::vector<Problem>& problems, const engine::ScanSettings& settings, const QStringList& files,
                 bool bySite, const std::vector<std::vector<std::size_t>>& siteMembers);

/// The same page written to the file at `path`, which is replaced only when
/// the page is complete. False, with `error` saying why, when it cannot be.
bool WriteReportFile(const QString& path, const engine::Scanner& scanner, const engine::ResultTable& rows,
                     const QString& status, const std::vector<Problem>& problems, const engine::ScanSettings& settings,
                     const QStringList& files, QString* error);

/// The export's referers.html: one link a working-list entry.
void WriteHtml(Output& output, const engine::WorkingLists& lists);

} // namespace backtrail::cli
