#include "W3cFields.h"

namespace backtrail::engine {

void W3cFields::readDirective(std::string_view line)
{
    static constexpr std::string_view kDirective = "#Fields:";
    if (line.substr(0, kDirective.size()) != kDirective)
        return;
    W3cFields fields;
    fields.count = ForEachW3cField(line.substr(kDirective.size()), [&](int index, std::string_view name) {
        if (name == "cs-uri-stem")
            fields.uriStem = index;
        else if (name == "cs-uri-query")
            fields.uriQuery = index;
        else if (name == "cs(User-Agent)")
            fields.userAgent = index;
        else if (name == "cs(Referer)" || name == "cs(Referrer)")
            fields.referrer = index;
        else if (name == "date")
            fields.date = index;
        else if (name == "time")
            fields.time = index;
    });
    *this = fields;
}

} // namespace backtrail::engine
