#pragma once

#include "BlockMarks.h"
#include "LineEnds.h"
#include "LogSource.h"

#include <algorithm>
#include <bit>
#include <cstdint>

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
/// line, `onLine(line, marks)` is called, where marks tell where the line's
/// quotes, brackets and "://" stand: one pass over the bytes finds them with
/// the line ends (MarkStructure), so a line's fields are taken without
/// searching the line again. `onLine` returns false to
/// stop reading. Returns false when the source failed; lines handed out before
/// the failure stay handed out. A source held in memory is cut where it lies
/// (its lines must be shorter than kMaxLineBytes).
class LineScanner
{
public:
    /// Reads `blockSize` bytes at a time, and marks them `window` bytes at a
    /// time: the marks of a window stay in the fastest caches while its lines are read.
    explicit LineScanner(std::size_t blockSize = std::size_t(1) << 20, std::size_t windowSize = std::size_t(64) << 10)
        : buffer(blockSize)
        , window(std::max<std::size_t>(windowSize, 1))
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
                mark(p, kMaxLineBytes);
                if (!onLine(std::string_view(p, kMaxLineBytes), LineMarks(marks.data(), 0, kMaxLineBytes)))
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
    void mark(const char* from, std::size_t size)
    {
        const std::size_t words = size / 64 + 1;
        if (marks.size() < words)
            marks.resize(words);
        MarkStructure(from, size, marks.data());
    }

    // Hands out the lines of [p, end): all of them at the end of the source,
    // otherwise those whose line end is in the block. Returns where the
    // partial line left over starts, or null when reading is over (the end
    // reached, or onLine asked to stop).
    template<class OnLine>
    const char* cutLines(const char* p, const char* const end, bool atEnd, bool& skipping, bool& pendingCr,
                         OnLine& onLine)
    {
        std::size_t span = window;
        for (;;) {
            const std::size_t size = std::min(span, std::size_t(end - p));
            const bool lastWindow = p + size == end;
            mark(p, size);
            std::size_t lineStart = 0;
            const std::size_t words = (size + 63) / 64;
            bool carry = false; // the window ends inside a line
            for (std::size_t w = 0; w < words && !carry; ++w) {
                for (std::uint64_t ends = marks[w].lineEnds; ends != 0; ends &= ends - 1) {
                    const std::size_t lineEnd = w * 64 + std::size_t(std::countr_zero(ends));
                    if (lineEnd < lineStart)
                        continue; // the LF of a CR LF
                    std::size_t next = NextLineStart(std::string_view(p, size), lineEnd, lastWindow);
                    if (next == 0) {
                        carry = true; // a LF may follow in the next window: the line is read there
                        break;
                    }
                    if (next == size && lineEnd + 1 == size && p[lineEnd] == '\r' && !atEnd)
                        pendingCr = true; // and a LF may begin the next block
                    if (skipping) {
                        skipping = false;
                    } else if (!onLine(std::string_view(p + lineStart, lineEnd - lineStart),
                                       LineMarks(marks.data(), lineStart, lineEnd - lineStart))) {
                        return nullptr;
                    }
                    lineStart = next;
                }
            }
            if (lastWindow) {
                if (!atEnd)
                    return p + lineStart; // a partial line: kept for the next block
                if (lineStart < size && !skipping)
                    onLine(std::string_view(p + lineStart, size - lineStart),
                           LineMarks(marks.data(), lineStart, size - lineStart));
                return nullptr;
            }
            // Mark on from the partial line; a window without a line end grows.
            span = lineStart == 0 ? span * 2 : window;
            p += lineStart;
        }
    }

    std::vector<char> buffer;
    std::size_t window;
    std::vector<MarkWord> marks;
};

} // namespace backtrail::engine
