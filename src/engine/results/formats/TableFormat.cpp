#include "Formats.h"

#include "TextOutput.h"

#include <algorithm>
#include <array>

namespace backtrail::engine {

std::string ElideMiddle(std::string_view cell, std::size_t width)
{
    const std::size_t length = DisplayWidth(cell);
    if (length <= width)
        return std::string(cell);
    if (width == 0)
        return {};
    // The first and last characters kept, "…" between them; a character is a
    // UTF-8 lead byte with what follows it.
    const std::size_t head = (width - 1) - (width - 1) / 2;
    const std::size_t tail = (width - 1) / 2;
    auto byteOfChar = [&](std::size_t character) {
        std::size_t seen = 0;
        for (std::size_t b = 0; b < cell.size(); ++b) {
            if ((static_cast<unsigned char>(cell[b]) & 0xC0) != 0x80 && seen++ == character)
                return b;
        }
        return cell.size();
    };
    std::string out(cell.substr(0, byteOfChar(head)));
    out += "\u2026";
    out += cell.substr(byteOfChar(length - tail));
    return out;
}

TableColumns FitTable(std::size_t width, std::size_t clicks, std::size_t referrer, std::size_t landing,
                      std::size_t source)
{
    TableColumns columns;
    columns.clicks = clicks;
    columns.referrer = referrer;
    columns.landing = landing;
    columns.source = source;
    if (width == 0)
        return columns;
    // Room goes to the referrer first (at least this much of it), then to the
    // source, the landing page, and the times; a column that does not fit is left out.
    constexpr std::size_t kLeastReferrer = 24;
    const std::size_t fixed = 4 + 2 + clicks + 2;
    columns.landing = std::min<std::size_t>(landing, 40);
    columns.source = std::min<std::size_t>(source, 30);
    std::array<bool*, 4> optional {&columns.showFirstSeen, &columns.showLastSeen, &columns.showLanding,
                                   &columns.showSource};
    auto others = [&] {
        return (columns.showSource ? columns.source + 2 : 0) + (columns.showLanding ? columns.landing + 2 : 0)
            + (columns.showFirstSeen ? kTimeWidth + 2 : 0) + (columns.showLastSeen ? kTimeWidth + 2 : 0);
    };
    for (bool* column : optional) {
        if (fixed + std::min(referrer, kLeastReferrer) + others() <= width)
            break;
        *column = false;
    }
    const std::size_t left = width > fixed + others() ? width - fixed - others() : 0;
    columns.referrer = std::max<std::size_t>(8, std::min(referrer, left));
    return columns;
}

void WriteTable(Output& output, const ResultTable& rows, const RowSourcesOut& sources, std::size_t width,
                const RowOrder& order)
{
    std::optional<RowSourceFinder> find;
    std::size_t clicksWidth = 6;
    std::size_t referrerWidth = 8;
    std::size_t landingWidth = 12;
    std::size_t sourceWidth = 6;
    std::vector<std::string> referrers(rows.size());
    std::vector<std::string> landings(rows.size());
    std::vector<std::string> sourceCells(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        clicksWidth = std::max(clicksWidth, row.clicks.size());
        AppendPlainCell(referrers[i], row.referrer);
        AppendPlainCell(landings[i], row.landing);
        if (const std::optional<Source> source = sources.of(i, row, find))
            AppendPlainCell(sourceCells[i], SourceCell(*source));
        // Without a width the widest cells set their columns, up to a limit.
        const std::size_t referrerCap = width ? std::size_t(-1) : 100;
        referrerWidth = std::max(referrerWidth, std::min(DisplayWidth(referrers[i]), referrerCap));
        landingWidth = std::max(landingWidth, std::min<std::size_t>(DisplayWidth(landings[i]), 60));
        sourceWidth = std::max(sourceWidth, DisplayWidth(sourceCells[i]));
    }
    const TableColumns columns = FitTable(width, clicksWidth, referrerWidth, landingWidth, sourceWidth);
    // A cell: elided in the middle to its column's width when a width is set.
    auto cell = [&](std::string& line, std::string_view text, std::size_t column, bool last) {
        const std::string shown = width ? ElideMiddle(text, column) : std::string(text);
        line += shown;
        if (!last) {
            const std::size_t used = DisplayWidth(shown);
            line.append(column > used ? column - used : 0, ' ');
            line += "  ";
        }
    };
    auto writeLine = [&](std::string& text, const std::array<std::string_view, 7>& cells) {
        cell(text, cells[0], 4, false);
        cell(text, cells[1], columns.clicks, false);
        const bool anyAfter
            = columns.showLanding || columns.showFirstSeen || columns.showLastSeen || columns.showSource;
        cell(text, cells[2], columns.referrer, !anyAfter);
        if (columns.showLanding)
            cell(text, cells[3], columns.landing, false);
        if (columns.showFirstSeen)
            cell(text, cells[4], kTimeWidth, false);
        if (columns.showLastSeen)
            cell(text, cells[5], kTimeWidth, false);
        if (columns.showSource)
            cell(text, cells[6], columns.source, true);
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
    };
    std::string text;
    writeLine(text, {"Type", "Clicks", "Referrer", "Landing Page", "First Seen", "Last Seen", "Source"});
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::size_t i = RowAt(order, k);
        const ResultRow row = rows.row(i);
        const std::string first = row.firstSeen.iso();
        const std::string last = row.lastSeen.iso();
        writeLine(text, {row.type, row.clicks, referrers[i], landings[i], first, last, sourceCells[i]});
        output.writeSome(text);
    }
    // On a terminal, how many rows there are.
    if (width)
        text += std::to_string(rows.size()) + (rows.size() == 1 ? " row\n" : " rows\n");
    output.write(text);
}

} // namespace backtrail::engine
