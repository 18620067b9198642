#pragma once

#include <string_view>

namespace backtrail::engine {

/// The field positions that a W3C log's latest "#Fields:" line names.
struct W3cFields
{
    int count = 0; ///< 0: no "#Fields:" line seen in this file
    int uriStem = -1;
    int uriQuery = -1;
    int userAgent = -1; ///< cs(User-Agent)
    int referrer = -1; ///< cs(Referer)
    int date = -1;
    int time = -1;

    /// Reads a "#Fields:" line; other lines leave the fields as they are.
    void readDirective(std::string_view line);
};

/// Splits a line on blanks and tabs, a run of them counting as one, as W3C
/// logs separate their fields (IIS with blanks, CloudFront with tabs): calls
/// onField(index, field) for each field and returns the number of fields.
template<class OnField> int ForEachW3cField(std::string_view text, OnField&& onField)
{
    auto separates = [](char c) { return c == ' ' || c == '\t'; };
    int index = 0;
    std::size_t p = 0;
    while (p < text.size()) {
        if (separates(text[p])) {
            ++p;
            continue;
        }
        std::size_t e = p + 1;
        while (e < text.size() && !separates(text[e]))
            ++e;
        onField(index++, text.substr(p, e - p));
        p = e;
    }
    return index;
}

} // namespace backtrail::engine
