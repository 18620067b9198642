#pragma once

#include <cstring>
#include <string_view>

namespace backtrail::engine {

// The line-end rule of every log: CR LF, a lone CR or a lone LF ends a line.

/// True for the bytes that end a line: LF and CR.
constexpr bool IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

/// Where the next line starts after the line end at `at` in `bytes` (a CR or
/// a LF): after the LF of a CR LF, else after the byte. 0 when `at` is a CR
/// that ends `bytes` and `final` is false: whether a LF follows is not known yet.
inline std::size_t NextLineStart(std::string_view bytes, std::size_t at, bool final)
{
    if (bytes[at] == '\r') {
        if (at + 1 == bytes.size())
            return final ? at + 1 : 0;
        if (bytes[at + 1] == '\n')
            return at + 2;
    }
    return at + 1;
}

/// Where the line after the first line end of `bytes` starts; 0 when `bytes`
/// holds no line end that is known to be whole (see NextLineStart).
inline std::size_t AfterFirstLineEnd(std::string_view bytes, bool final)
{
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (IsLineEnd(bytes[at]))
            return NextLineStart(bytes, at, final);
    }
    return 0;
}

/// Where the line after the last whole line end of `bytes` starts: just
/// after its last LF, or after its last CR when the byte after that CR is
/// known (or `final`: no byte follows). 0 when there is none.
inline std::size_t AfterLastLineEnd(std::string_view bytes, bool final)
{
    if (const void* lf = ::memrchr(bytes.data(), '\n', bytes.size()))
        return std::size_t(static_cast<const char*>(lf) - bytes.data()) + 1;
    const std::size_t known = final || bytes.empty() ? bytes.size() : bytes.size() - 1;
    if (const void* cr = ::memrchr(bytes.data(), '\r', known))
        return std::size_t(static_cast<const char*>(cr) - bytes.data()) + 1;
    return 0;
}

} // namespace backtrail::engine
