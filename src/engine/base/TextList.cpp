#include "TextList.h"

#include "HugePages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace backtrail::engine {

namespace {

// Chunks are asked for as huge pages: a scan fills hundreds of megabytes, and
// taking them 4 KiB at a time costs a page fault each.
char* allocateChunk(std::size_t size)
{
    return static_cast<char*>(AllocateLarge(size));
}

} // namespace

void TextList::FreeChunk::operator()(char* chunk) const
{
    std::free(chunk);
}

void TextList::clear()
{
    chunks.clear();
    entries.clear();
    free = nullptr;
    freeLeft = 0;
    nextChunkSize = kFirstChunkSize;
    bytes = 0;
}

void TextList::append(std::string_view text)
{
    const Entry entry = store(text);
    entries.push_back(entry);
    bytes += entry.length;
}

void TextList::set(std::size_t i, std::string_view text)
{
    const Entry entry = store(text);
    bytes += entry.length;
    bytes -= entries[i].length;
    entries[i] = entry;
}

TextList TextList::share() const
{
    // The copy has no free space of its own: what it appends goes to new
    // chunks, never to the space this list goes on filling.
    TextList copy;
    copy.chunks = chunks;
    copy.entries = entries;
    copy.bytes = bytes;
    return copy;
}

TextList::Entry TextList::store(std::string_view text)
{
    text = text.substr(0, clippedLength(text));
    if (text.size() > freeLeft) {
        // An entry longer than a chunk gets a chunk of its own size, so that no
        // entry ever straddles two chunks.
        const std::size_t size = std::max(nextChunkSize, text.size());
        nextChunkSize = std::min(kChunkSize, nextChunkSize * 2);
        chunks.emplace_back(allocateChunk(size), FreeChunk());
        free = chunks.back().get();
        freeLeft = size;
    }
    if (!text.empty())
        std::memcpy(free, text.data(), text.size());
    const Entry entry {free, std::uint32_t(text.size())};
    free += text.size();
    freeLeft -= text.size();
    return entry;
}

void TextList::append(TextList&& later)
{
    if (entries.empty() && chunks.empty()) {
        *this = std::move(later);
        later.clear();
        return;
    }
    // This list's free space stays where it is; the chunks taken over are full as far as it matters.
    for (auto& chunk : later.chunks)
        chunks.push_back(std::move(chunk));
    entries.append(later.entries);
    bytes += later.bytes;
    later.clear();
}

void TextList::prepend(TextList&& earlier)
{
    // This list's free space stays where it is; the chunks taken over are full as far as it matters.
    for (auto& chunk : earlier.chunks)
        chunks.push_back(std::move(chunk));
    entries.prepend(earlier.entries);
    bytes += earlier.bytes;
    earlier.clear();
}

void TextList::keepOnly(const std::vector<std::size_t>& positions)
{
    std::size_t kept = 0;
    for (const std::size_t p : positions)
        kept += entries[p].length;
    entries.keepOnly(positions);
    bytes = kept;
}

} // namespace backtrail::engine
