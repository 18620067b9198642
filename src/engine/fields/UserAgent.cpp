#include "UserAgent.h"

namespace backtrail::engine {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Where the line's quoted request opens: the first double quote followed by
// capital letters and one blank (the rule LandingPath follows); npos when none.
std::size_t quotedRequestOpening(std::string_view line, const LineMarks& marks)
{
    for (std::size_t q = marks.next(Mark::Quote, 0); q != npos; q = marks.next(Mark::Quote, q + 1)) {
        std::size_t j = q + 1;
        while (j < line.size() && line[j] >= 'A' && line[j] <= 'Z')
            ++j;
        if (j > q + 1 && j < line.size() && line[j] == ' ')
            return q;
    }
    return npos;
}

// The double quote that closes a field opened at `opening`: the next one that
// no backslash escapes; npos when the field runs to the end of the line.
std::size_t closingQuote(std::string_view line, const LineMarks& marks, std::size_t opening)
{
    // A quote is escaped when an odd run of backslashes inside the field stands
    // before it; backslashes are looked at only there.
    for (std::size_t from = opening + 1; from < line.size();) {
        const std::size_t quote = marks.next(Mark::Quote, from);
        if (quote == npos)
            return npos;
        std::size_t backslashes = 0;
        while (quote - backslashes > opening + 1 && line[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote;
        from = quote + 1;
    }
    return npos;
}

UserAgentSpan quotedUserAgent(std::string_view line, const LineMarks& marks, std::size_t requestOpening)
{
    UserAgentSpan span;
    std::size_t closing = closingQuote(line, marks, requestOpening);
    while (closing != npos) {
        const std::size_t opening = marks.next(Mark::Quote, closing + 1);
        if (opening == npos)
            break;
        closing = closingQuote(line, marks, opening);
        if (closing != npos) {
            span = {opening + 1, closing};
        } else if (span.found()) {
            // A line cut inside its last field, after a whole field (the
            // referrer): what is left of the user agent runs to the line's end.
            span = {opening + 1, line.size()};
        }
    }
    return span;
}

UserAgentSpan w3cUserAgent(std::string_view line, const W3cFields& fields)
{
    if (fields.count == 0 || fields.userAgent < 0 || line.empty() || line[0] == '#')
        return {};
    UserAgentSpan span;
    const int index = ForEachW3cField(line, [&](int at, std::string_view field) {
        if (at == fields.userAgent) {
            const std::size_t begin = std::size_t(field.data() - line.data());
            span = {begin, begin + field.size(), true};
        }
    });
    return index == fields.count ? span : UserAgentSpan {};
}

} // namespace

UserAgentSpan FindUserAgent(std::string_view line, const LineMarks& marks, const W3cFields& fields)
{
    if (const std::size_t request = quotedRequestOpening(line, marks); request != npos)
        return quotedUserAgent(line, marks, request);
    return w3cUserAgent(line, fields);
}

UserAgentSpan FindUserAgent(std::string_view line, const W3cFields& fields)
{
    return FindUserAgent(line, OwnLineMarks(line), fields);
}

std::string_view UserAgentText(std::string_view line, const UserAgentSpan& span, std::string& scratch)
{
    if (!span.found())
        return {};
    const std::string_view text = line.substr(span.begin, span.end - span.begin);
    if (!span.plusIsBlank || text.find('+') == npos)
        return text;
    scratch.assign(text);
    for (char& c : scratch) {
        if (c == '+')
            c = ' ';
    }
    return scratch;
}

} // namespace backtrail::engine
