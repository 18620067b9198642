#pragma once

#include "LineShape.h"

#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// Looks at the first lines of a file for what an access log holds: no NUL
/// byte in its first 64 KiB, and a line of a known shape or with an address
/// among its first 1,000 lines.
class LogProbe
{
public:
    /// `on`: the lines given are the file's first (not a piece in its middle).
    explicit LogProbe(bool on)
        : looking(on)
    {
    }
    /// Whether the next line is still to be looked at.
    bool wants() const { return looking; }
    /// Looks at the next line; `marks` are its, `fields` the W3C field names in force.
    void look(std::string_view line, const LineMarks& marks, LineShapeReader& shapes, const W3cFields& fields);
    /// Why the file looks like no access log, given whether all of it was
    /// read; empty when it looks like one (or too little was seen to say).
    std::string_view verdict(bool readToEnd) const;

private:
    bool looking;
    int lines = 0;
    std::int64_t bytes = 0;
    std::string_view reason;
};

} // namespace backtrail::engine
