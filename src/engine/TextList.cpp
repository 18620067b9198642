#include "TextList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace backtrail::engine {

namespace {

// Chunks are aligned to and asked for as huge pages: a scan fills hundreds of
// megabytes, and taking them 4 KiB at a time costs a page fault each.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

char* allocateChunk(std::size_t size)
{
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    if (!memory)
        throw std::bad_alloc();
    ::madvise(memory, rounded, MADV_HUGEPAGE);
    return static_cast<char*>(memory);
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
    entries.shrink_to_fit();
    free = nullptr;
    freeLeft = 0;
    bytes = 0;
}

void TextList::append(std::string_view text)
{
    if (text.size() > freeLeft) {
        // An entry longer than a chunk gets a chunk of its own size, so that no
        // entry ever straddles two chunks.
        const std::size_t size = std::max(kChunkSize, text.size());
        chunks.emplace_back(allocateChunk(size));
        free = chunks.back().get();
        freeLeft = size;
    }
    if (!text.empty())
        std::memcpy(free, text.data(), text.size());
    entries.push_back({free, text.size()});
    free += text.size();
    freeLeft -= text.size();
    bytes += text.size();
}

void TextList::keepOnly(const std::vector<std::size_t>& positions)
{
    std::size_t out = 0;
    std::size_t kept = 0;
    for (const std::size_t p : positions) {
        entries[out++] = entries[p];
        kept += entries[p].length;
    }
    entries.resize(out);
    bytes = kept;
}

} // namespace backtrail::engine
