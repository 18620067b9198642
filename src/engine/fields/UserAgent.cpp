#include "UserAgent.h"

#include "LineShape.h"

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

UserAgentSpan quotedUserAgent(std::string_view line, const LineMarks& marks, std::size_t requestOpening)
{
    UserAgentSpan span;
    std::size_t closing = ClosingQuote(line, marks, requestOpening);
    while (closing != npos) {
        const std::size_t opening = marks.next(Mark::Quote, closing + 1);
        if (opening == npos)
            break;
        closing = ClosingQuote(line, marks, opening);
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

namespace {

std::string_view withBlanks(std::string_view text, bool plusIsBlank, std::string& scratch)
{
    if (!plusIsBlank || text.find('+') == npos)
        return text;
    scratch.assign(text);
    for (char& c : scratch) {
        if (c == '+')
            c = ' ';
    }
    return scratch;
}

} // namespace

std::string_view UserAgentText(std::string_view line, const UserAgentSpan& span, std::string& scratch)
{
    if (!span.found())
        return {};
    return withBlanks(line.substr(span.begin, span.end - span.begin), span.plusIsBlank, scratch);
}

std::string_view UserAgentText(const LineFields& fields, std::string& scratch)
{
    return withBlanks(fields.agent, fields.agentPlusIsBlank(), scratch);
}

} // namespace backtrail::engine
