#include "Formats.h"

#include "TextOutput.h"

namespace backtrail::engine {

std::string SourceCell(const Source& source)
{
    std::string cell(SourceKindName(source.kind));
    cell += ':';
    cell += source.name;
    return cell;
}

void WriteTsv(Output& output, const ResultTable& rows, const RowSourcesOut& sources, const RowOrder& order)
{
    std::optional<RowSourceFinder> find;
    std::string text = "type\tclicks\treferrer\tlanding\tfirst_seen\tlast_seen\tsource\n";
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::size_t i = RowAt(order, k);
        const ResultRow row = rows.row(i);
        for (const std::string_view cell : {row.type, row.clicks, row.referrer, row.landing}) {
            AppendPlainCell(text, cell);
            text += '\t';
        }
        text += row.firstSeen.iso();
        text += '\t';
        text += row.lastSeen.iso();
        text += '\t';
        if (const std::optional<Source> source = sources.of(i, row, find))
            AppendPlainCell(text, SourceCell(*source));
        text += '\n';
        output.writeSome(text);
    }
    output.write(text);
}

} // namespace backtrail::engine
