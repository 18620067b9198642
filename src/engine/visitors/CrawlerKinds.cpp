#include "CrawlerKinds.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

namespace backtrail::engine {

namespace {

// Kinds are only ever added: a slot below `count` is written once, before
// `count` is raised past it, and then only read.
struct KindTable
{
    std::mutex adding;
    std::atomic<unsigned> count {0};
    std::array<std::string, 254> kinds;
};

KindTable& table()
{
    static KindTable kinds;
    return kinds;
}

} // namespace

std::uint8_t CrawlerKindMark(std::string_view kind)
{
    if (kind.empty() || kind == kUnknownCrawlerKind)
        return kCrawlerMark;
    KindTable& t = table();
    const auto find = [&](unsigned known) -> int {
        for (unsigned i = 0; i < known; ++i) {
            if (t.kinds[i] == kind)
                return int(i);
        }
        return -1;
    };
    if (const int found = find(t.count.load(std::memory_order_acquire)); found >= 0)
        return std::uint8_t(kCrawlerMark + 1 + found);
    const std::lock_guard lock(t.adding);
    const unsigned known = t.count.load(std::memory_order_relaxed);
    if (const int found = find(known); found >= 0)
        return std::uint8_t(kCrawlerMark + 1 + found);
    if (known >= t.kinds.size())
        return kCrawlerMark;
    t.kinds[known] = std::string(kind);
    t.count.store(known + 1, std::memory_order_release);
    return std::uint8_t(kCrawlerMark + 1 + known);
}

std::string_view CrawlerKindOfMark(std::uint8_t mark)
{
    if (mark == kPersonMark)
        return {};
    if (mark == kCrawlerMark)
        return kUnknownCrawlerKind;
    const unsigned index = unsigned(mark) - kCrawlerMark - 1;
    KindTable& t = table();
    if (index >= t.count.load(std::memory_order_acquire))
        return kUnknownCrawlerKind;
    return t.kinds[index];
}

} // namespace backtrail::engine
