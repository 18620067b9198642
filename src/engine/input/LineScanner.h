#pragma once

#include "SchemeSeparator.h"
#include "LogSource.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace backtrail::engine {

/// Longest line the reader keeps whole. A longer line is taken as its first
/// kMaxLineBytes bytes; the rest of it is skipped up to its line end, and it
/// still counts as one line.
inline constexpr std::size_t kMaxLineBytes = std::size_t(64) << 20;

/// Cuts a log's bytes into lines: CR LF, a lone CR or a lone LF ends a line,
/// the last line needs no terminator, an empty source has no lines.
///
/// The bytes are read in large blocks and never copied line by line. For each
/// line, `onLine(line, scheme)` is called, where scheme is the offset of the
/// line's first "://" or npos (found by one search over the whole block, so
/// lines without an address cost a line-end search only). `onLine` returns false to
/// stop reading. Returns false when the source failed; lines handed out before
/// the failure stay handed out. A source held in memory is cut where it lies
/// (its lines must be shorter than kMaxLineBytes).
class LineScanner
{
public:
    explicit LineScanner(std::size_t blockSize = std::size_t(1) << 20)
        : buffer(blockSize)
    {
    }

    template<class OnLine> bool run(LogSource& source, OnLine&& onLine)
    {
        return run(source, std::forward<OnLine>(onLine), [] {});
    }
    /// The same; `beforeReuse()` is called whenever the bytes of the lines
    /// handed out so far are about to be overwritten (their views are valid
    /// until then, and after the end of reading until the scanner goes).
    template<class OnLine, class BeforeReuse> bool run(LogSource& source, OnLine&& onLine, BeforeReuse&& beforeReuse)
    {
        bool skipping = false; // inside the unkept tail of an over-long line
        bool pendingCr = false; // the last block ended in CR, and a LF may follow
        if (const std::optional<std::string_view> bytes = source.inMemory()) {
            // Bytes already in memory are cut where they lie.
            if (!bytes->empty())
                cutLines(bytes->data(), bytes->data() + bytes->size(), true, skipping, pendingCr, onLine);
            return true;
        }
        std::size_t filled = 0;
        for (;;) {
            if (filled == buffer.size())
                buffer.resize(buffer.size() * 2);
            const std::int64_t got = source.read(buffer.data() + filled, buffer.size() - filled);
            if (got < 0)
                return false;
            const bool atEnd = got == 0;
            const char* const begin = buffer.data();
            const char* p = begin;
            const char* const end = begin + filled + std::size_t(got);
            if (pendingCr && p < end) {
                pendingCr = false;
                if (*p == '\n')
                    ++p;
            }
            p = cutLines(p, end, atEnd, skipping, pendingCr, onLine);
            if (!p)
                return true;
            // Roll the partial line to the front of the buffer.
            std::size_t left = std::size_t(end - p);
            if (left >= kMaxLineBytes && !skipping) {
                const char* scheme = findScheme(p, p + kMaxLineBytes);
                if (!onLine(std::string_view(p, kMaxLineBytes),
                            scheme < p + kMaxLineBytes ? std::size_t(scheme - p) : std::string_view::npos))
                    return true;
                skipping = true;
            }
            if (skipping)
                left = 0; // the tail holds no line end: all of it belongs to the unkept part
            beforeReuse();
            std::memmove(buffer.data(), p, left);
            filled = left;
        }
    }

private:
    // Hands out the lines of [p, end): all of them at the end of the source,
    // otherwise those whose line end is in the block. Returns where the
    // partial line left over starts, or null when reading is over (the end
    // reached, or onLine asked to stop).
    template<class OnLine>
    static const char* cutLines(const char* p, const char* const end, bool atEnd, bool& skipping, bool& pendingCr,
                                OnLine& onLine)
    {
        const char* nextCr = nullptr; // first CR at or after p, or end
        const char* nextScheme = nullptr; // first "://" at or after p, or end
        for (;;) {
            if (nextCr < p)
                nextCr = find(p, end, '\r');
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(nextCr - p)));
            const char* lineEnd = lf ? lf : nextCr;
            if (lineEnd == end) {
                if (!atEnd)
                    return p; // a partial line: kept for the next block
                if (p == end)
                    return nullptr;
            }
            if (skipping) {
                skipping = false;
            } else {
                if (nextScheme < p)
                    nextScheme = findScheme(p, end);
                const std::string_view line(p, std::size_t(lineEnd - p));
                if (!onLine(line, nextScheme < lineEnd ? std::size_t(nextScheme - p) : std::string_view::npos))
                    return nullptr;
            }
            if (lineEnd == end)
                return nullptr;
            p = lineEnd + 1;
            if (*lineEnd == '\r') {
                if (p == end && !atEnd) {
                    pendingCr = true;
                } else if (p < end && *p == '\n') {
                    ++p;
                }
            }
        }
    }

    static const char* find(const char* from, const char* end, char c)
    {
        const void* hit = std::memchr(from, c, std::size_t(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    }
    static const char* findScheme(const char* from, const char* end) { return FindSchemeSeparator(from, end); }

    std::vector<char> buffer;
};

} // namespace backtrail::engine
