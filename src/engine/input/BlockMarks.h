#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// The structural bytes of 64 bytes of a log: bit i stands for byte i.
struct MarkWord
{
    std::uint64_t lineEnds = 0; ///< LF or CR
    std::uint64_t quotes = 0; ///< '"'
    std::uint64_t brackets = 0; ///< '['
    std::uint64_t schemes = 0; ///< the ':' of each "://"
};

/// The kinds of structural bytes a line's fields are taken from.
enum class Mark { Quote, Bracket, Scheme };

/// Marks every structural byte of `size` bytes in one pass: `words` gets
/// (size + 63) / 64 words, bit i of word w standing for byte 64 w + i. A "://"
/// counts only where all three bytes lie in the bytes given. Runs on the
/// widest vectors the processor has (AVX-512, AVX2, SSE4, or 16 bytes emulated).
void MarkStructure(const char* bytes, std::size_t size, MarkWord* words);

/// The name of the instruction set MarkStructure runs on here ("AVX2", say).
const char* StructureTarget();

/// Where a line's structural bytes stand: a view into the marks of the block
/// that holds the line. Offsets are the line's own.
class LineMarks
{
public:
    LineMarks() = default;
    /// The line that starts `first` bytes into the bytes `words` marks.
    LineMarks(const MarkWord* blockWords, std::size_t lineStart, std::size_t lineLength)
        : words(blockWords)
        , first(lineStart)
        , length(lineLength)
    {
    }

    /// The offset of the first byte of `kind` at or after `from`, npos when none.
    std::size_t next(Mark kind, std::size_t from) const
    {
        if (from >= length)
            return std::string_view::npos;
        const std::size_t end = first + length;
        std::size_t at = first + from;
        std::size_t word = at / 64;
        std::uint64_t bits = of(kind, words[word]) & (~std::uint64_t(0) << (at % 64));
        while (bits == 0) {
            if (++word * 64 >= end)
                return std::string_view::npos;
            bits = of(kind, words[word]);
        }
        at = word * 64 + std::size_t(std::countr_zero(bits));
        return at < end ? at - first : std::string_view::npos;
    }

private:
    static std::uint64_t of(Mark kind, const MarkWord& word)
    {
        switch (kind) {
        case Mark::Quote:
            return word.quotes;
        case Mark::Bracket:
            return word.brackets;
        case Mark::Scheme:
            return word.schemes;
        }
        return 0;
    }
    const MarkWord* words = nullptr;
    std::size_t first = 0;
    std::size_t length = 0;
};

/// The marks of a line held on its own (a caller outside a block scan).
class OwnLineMarks
{
public:
    OwnLineMarks() = default;
    explicit OwnLineMarks(std::string_view line) { mark(line); }
    /// Marks `line`, in place of the line marked before.
    void mark(std::string_view line)
    {
        length = line.size();
        if (length / 64 + 1 > kInline && longWords.size() < length / 64 + 1)
            longWords.resize(length / 64 + 1);
        MarkStructure(line.data(), line.size(), words());
    }
    operator LineMarks() const
    {
        return LineMarks(length / 64 + 1 > kInline ? longWords.data() : shortWords, 0, length);
    }

private:
    // Lines shorter than 512 bytes (most of a log's) are marked without allocating.
    static constexpr std::size_t kInline = 8;
    MarkWord* words() { return length / 64 + 1 > kInline ? longWords.data() : shortWords; }
    MarkWord shortWords[kInline];
    std::vector<MarkWord> longWords;
    std::size_t length = 0;
};

} // namespace backtrail::engine
