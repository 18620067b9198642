#pragma once

#include "LogReader.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace backtrail::engine {

/// Where a line's user agent lies: its text is line.substr(begin, end - begin).
/// In a quoted line the span lies between the field's two double quotes; in a
/// W3C line it is the whole cs(User-Agent) field.
struct UserAgentSpan
{
    std::size_t begin = std::string_view::npos; ///< npos: the line has no user agent field
    std::size_t end = std::string_view::npos;
    bool plusIsBlank = false; ///< a W3C field, which writes blanks as "+"

    bool found() const { return begin != std::string_view::npos; }
    bool contains(std::size_t position) const { return found() && position >= begin && position < end; }
};

/// Finds the user agent field of a log line.
///
/// A line with a quoted request (a double quote followed by capital letters and
/// one blank, as LandingPath takes it) holds its user agent in the last
/// double-quoted field after the request; a field ends at the next double quote
/// that no backslash escapes. A line cut inside a field that follows a whole
/// one (the referrer) holds what is left of its user agent up to its end. A
/// line whose last quoted field is the request itself (the common log format)
/// has none.
///
/// Otherwise, in a W3C log whose "#Fields:" line names cs(User-Agent), the
/// line's field of that name, when the line has as many fields as named.
/// Any other line has none. `marks` are the line's.
UserAgentSpan FindUserAgent(std::string_view line, const LineMarks& marks, const W3cFields& fields);
/// The same for a line held on its own.
UserAgentSpan FindUserAgent(std::string_view line, const W3cFields& fields);

/// The user agent's text of a span that FindUserAgent gave, as written by the
/// browser: the quoted field without its quotes, or the W3C field with each
/// "+" read as a blank (the W3C format writes blanks as "+"; the text then
/// lives in `scratch`). Empty when the line has no user agent field.
std::string_view UserAgentText(std::string_view line, const UserAgentSpan& span, std::string& scratch);
/// The same for the user-agent field of a line of a known shape; empty when
/// it has none.
std::string_view UserAgentText(const LineFields& fields, std::string& scratch);

} // namespace backtrail::engine
