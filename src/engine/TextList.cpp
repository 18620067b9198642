#include "TextList.h"

#include <algorithm>
#include <cstring>

namespace backtrail::engine {

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
        chunks.push_back(std::make_unique_for_overwrite<char[]>(size));
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
