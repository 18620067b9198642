#include "Formats.h"

#include "TextOutput.h"

#include <algorithm>

namespace backtrail::engine {

void WriteTable(Output& output, const ResultTable& rows, const RowSourcesOut& sources)
{
    std::optional<RowSourceFinder> find;
    std::size_t clicksWidth = 6;
    for (std::size_t i = 0; i < rows.size(); ++i)
        clicksWidth = std::max(clicksWidth, rows.row(i).clicks.size());
    std::size_t referrerWidth = 8;
    std::vector<std::string> referrers(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        AppendPlainCell(referrers[i], rows.row(i).referrer);
        referrerWidth = std::max(referrerWidth, std::min<std::size_t>(DisplayWidth(referrers[i]), 100));
    }
    auto pad = [](std::string& line, std::size_t width, std::size_t used) {
        line.append(width > used ? width - used : 0, ' ');
        line += "  ";
    };
    std::string text = "Type";
    pad(text, 4, 4);
    text += "Clicks";
    pad(text, clicksWidth, 6);
    text += "Referrer";
    pad(text, referrerWidth, 8);
    std::size_t landingWidth = 12;
    std::vector<std::string> landings(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        AppendPlainCell(landings[i], rows.row(i).landing);
        landingWidth = std::max(landingWidth, std::min<std::size_t>(DisplayWidth(landings[i]), 60));
    }
    constexpr std::size_t kTimeWidth = 25; // 2026-12-08T17:13:23+02:00
    text += "Landing Page";
    pad(text, landingWidth, 12);
    text += "First Seen";
    pad(text, kTimeWidth, 10);
    text += "Last Seen";
    pad(text, kTimeWidth, 9);
    text += "Source\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        text += row.type;
        pad(text, 4, row.type.size());
        text += row.clicks;
        pad(text, clicksWidth, row.clicks.size());
        text += referrers[i];
        pad(text, referrerWidth, DisplayWidth(referrers[i]));
        text += landings[i];
        pad(text, landingWidth, DisplayWidth(landings[i]));
        const std::string first = row.firstSeen.iso();
        text += first;
        pad(text, kTimeWidth, first.size());
        const std::string last = row.lastSeen.iso();
        text += last;
        pad(text, kTimeWidth, last.size());
        if (const std::optional<Source> source = sources.of(i, row, find))
            AppendPlainCell(text, SourceCell(*source));
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
        output.writeSome(text);
    }
    output.write(text);
}

} // namespace backtrail::engine
