#include "LogProbe.h"

#include <algorithm>
#include <cstring>

namespace backtrail::engine {

namespace {

constexpr std::int64_t kProbedBytes = std::int64_t(64) << 10;
constexpr int kProbedLines = 1000;

} // namespace

void LogProbe::look(std::string_view line, const LineMarks& marks, LineShapeReader& shapes, const W3cFields& fields)
{
    if (bytes < kProbedBytes
        && std::memchr(line.data(), '\0', std::min<std::size_t>(line.size(), std::size_t(kProbedBytes - bytes)))) {
        reason = "it holds NUL bytes";
        looking = false;
        return;
    }
    bytes += std::int64_t(line.size()) + 1;
    if (marks.next(Mark::Scheme, 0) != std::string_view::npos || line.starts_with("#Fields:")
        || shapes.read(line, marks, fields, true).known()) {
        looking = false;
        return;
    }
    if (++lines == kProbedLines) {
        reason = "none of its first 1,000 lines is of a log's shape or holds an address";
        looking = false;
    }
}

std::string_view LogProbe::verdict(bool readToEnd) const
{
    if (looking && lines > 0 && readToEnd)
        return "none of its lines is of a log's shape or holds an address";
    return reason;
}

} // namespace backtrail::engine
