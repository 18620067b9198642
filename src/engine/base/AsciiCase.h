#pragma once

#include <string>
#include <string_view>

namespace backtrail::engine {

/// A letter A-Z in lower case; every other byte as it is (host names and
/// the lists' entries are compared without regard to ASCII letter case, and
/// no locale may change how a byte of a log reads).
inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

/// A copy of the text with its letters A-Z in lower case.
inline std::string AsciiLowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

} // namespace backtrail::engine
