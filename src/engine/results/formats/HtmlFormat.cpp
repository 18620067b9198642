#include "Formats.h"

#include "engine/results/Export.h"

namespace backtrail::engine {

void WriteHtml(Output& output, const WorkingLists& lists)
{
    std::string text;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        text += BuildExportLine(lists.entryText(i));
        text += "\r\n";
        output.writeSome(text);
    }
    output.write(text);
}

} // namespace backtrail::engine
