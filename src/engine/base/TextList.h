#pragma once

#include "HugePages.h"
#include "SharedColumn.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// An ordered list of byte strings kept compactly: the bytes live in large
/// chunks that never move, and each entry is a pointer and a length into them.
/// Appending never copies earlier entries, so a list of millions of referrers
/// costs its bytes plus twelve bytes an entry. share() makes a second list of
/// the same entries at no cost: the two part as soon as either changes.
class TextList
{
public:
    TextList() = default;
    TextList(TextList&&) noexcept = default;
    TextList& operator=(TextList&&) noexcept = default;
    TextList(const TextList&) = delete;
    TextList& operator=(const TextList&) = delete;

    void clear();
    void append(std::string_view text);
    /// Replaces entry i (which must exist) with a copy of `text`.
    void set(std::size_t i, std::string_view text);
    /// A list of the same entries that shares this one's bytes and entry list
    /// instead of copying them.
    TextList share() const;
    /// Appends all of `later`'s entries after this list's, taking over its
    /// bytes without copying them; `later` is left empty.
    void append(TextList&& later);
    /// Puts all of `earlier`'s entries before this list's, taking over its
    /// bytes without copying them; `earlier` is left empty.
    void prepend(TextList&& earlier);
    /// Makes room for `count` entries in all, so that appending up to there
    /// never moves the entry list.
    void reserve(std::size_t count) { entries.reserve(count); }
    std::size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    /// Entry i; a position at or past the end reads as empty text.
    std::string_view at(std::size_t i) const
    {
        return i < entries.size() ? std::string_view(entries[i].data, entries[i].length) : std::string_view();
    }
    std::string_view operator[](std::size_t i) const { return at(i); }
    /// Fetches entry i's place in the list into the cache.
    void prefetch(std::size_t i) const
    {
        if (i < entries.size())
            __builtin_prefetch(&entries[i]);
    }
    /// Appends an entry that points at `text` without copying it: bytes that
    /// live for ever, or bytes this list holds already (an earlier entry's).
    void appendShared(std::string_view text)
    {
        const std::uint32_t length = clippedLength(text);
        entries.push_back({text.data(), length});
        bytes += length;
    }
    /// Keeps only the entries at the given ascending positions, in that order.
    void keepOnly(const std::vector<std::size_t>& positions);
    /// Bytes held by the entries (not counting the chunks' free space).
    std::size_t textBytes() const { return bytes; }

private:
    /// The part of a text a list keeps: all of it up to 4 GiB.
    static std::uint32_t clippedLength(std::string_view text)
    {
        return std::uint32_t(std::min<std::size_t>(text.size(), UINT32_MAX));
    }
    // Twelve bytes: a text is at most 4 GiB (a line the reader keeps is far shorter).
    struct [[gnu::packed]] Entry
    {
        const char* data;
        std::uint32_t length;
    };
    // Chunks start small, so that the many short lists of a scan in pieces
    // cost little, and double up to the largest size.
    static constexpr std::size_t kFirstChunkSize = std::size_t(64) << 10;
    static constexpr std::size_t kChunkSize = std::size_t(8) << 20;
    struct FreeChunk
    {
        void operator()(char* chunk) const;
    };

    // Shared, so that another list's entries may point into them.
    std::vector<std::shared_ptr<char>> chunks;
    char* free = nullptr;
    std::size_t freeLeft = 0;
    std::size_t nextChunkSize = kFirstChunkSize;
    /// Copies `text` into the chunks and returns its entry.
    Entry store(std::string_view text);

    SharedColumn<Entry, HugePageAllocator<Entry>> entries;
    std::size_t bytes = 0;
};

} // namespace backtrail::engine
