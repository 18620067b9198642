#pragma once

#include "CrawlerKinds.h"
#include "engine/base/FlatTable.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// Tells crawlers, robots and spiders from visitors by their user agent, with
/// the patterns of a crawler-user-agents JSON list (the shipped one by default).
/// A user agent is a crawler's when any pattern is found in it (RE2 syntax,
/// letter case as written in the pattern); all patterns are matched at once.
///
/// Threads: the compiled patterns are immutable and shared by every copy of a
/// list, while each instance keeps its own cache of answers. One instance serves
/// one thread: each scanning thread takes its own copy, which costs a reference
/// count and an empty cache. matches() needs no cache and may be called from
/// any thread.
class CrawlerList
{
public:
    /// The answers an instance remembers: the cache holds two generations of at
    /// most this many user agents each; when the newer one fills, the older is
    /// dropped. A user agent found in the older generation moves to the newer.
    static constexpr std::size_t kDefaultCacheLimit = 4096;
    /// Longer user agents are matched each time instead of cached, so that the
    /// cache's memory stays bounded whatever the log holds.
    static constexpr std::size_t kLongestCachedUserAgent = 1024;
    /// Memory RE2 may use for the combined patterns and their matching state,
    /// shared by all copies.
    static constexpr std::int64_t kDefaultMemoryBudget = std::int64_t(64) << 20;

    struct Rejected
    {
        std::size_t entry; ///< position in the JSON list
        std::string pattern;
        std::string reason;
    };

    /// No patterns: no user agent is a crawler's.
    CrawlerList();
    /// Compiles the "pattern" of every entry of a JSON list of objects. A pattern
    /// that RE2 refuses (or an entry without one) is left out and listed in
    /// rejected(); a text that is no such list gives an empty list with the
    /// reason in error(). When the patterns do not fit `memoryBudget` together,
    /// each is matched on its own instead (slower, same answers).
    static CrawlerList FromJson(std::string_view json, std::int64_t memoryBudget = kDefaultMemoryBudget);
    /// The list compiled from the shipped crawler-user-agents.json, once per run.
    /// Copy it to ask isCrawler().
    static const CrawlerList& Shipped();

    /// A copy shares the compiled patterns and starts with an empty cache.
    /// (There is no move: a copy is as cheap, and leaves no empty list behind.)
    CrawlerList(const CrawlerList& other);
    CrawlerList& operator=(const CrawlerList& other);
    ~CrawlerList();

    /// True when the user agent is a crawler's; each distinct user agent is
    /// matched once and then answered from the cache.
    bool isCrawler(std::string_view userAgent) { return crawlerMark(userAgent) != kPersonMark; }
    /// The same answer without the cache.
    bool matches(std::string_view userAgent) const;
    /// The user agent's bot mark (CrawlerKinds.h): kPersonMark when no pattern
    /// matches it, else the mark of the first tag of the first pattern, in
    /// list order, that matches it (kCrawlerMark when that pattern has no
    /// tags). Cached as isCrawler() is.
    std::uint8_t crawlerMark(std::string_view userAgent);
    /// The same answer without the cache.
    std::uint8_t markOf(std::string_view userAgent) const;

    /// Patterns compiled.
    std::size_t patternCount() const;
    /// Entries left out, in list order.
    const std::vector<Rejected>& rejected() const;
    /// Why the text gave no list; empty when it was read.
    QString error() const;
    /// False when the patterns are matched one by one (they did not fit the
    /// memory budget together).
    bool matchesAllAtOnce() const;

    /// User agents the cache holds now.
    std::size_t cacheSize() const { return newer.size() + older.size(); }
    /// Sets the size of a cache generation (at least 1) and empties the cache.
    void setCacheLimit(std::size_t limit);

private:
    struct Compiled;
    explicit CrawlerList(std::shared_ptr<const Compiled> patterns);

    // User agents asked about lately, with their answers: a FlatTable whose
    // slots hold a text's hash, where its bytes lie in one buffer, and the
    // answer. A lookup hashes the text once and reads its slot and the bytes
    // it compares.
    class Cache
    {
    public:
        /// The answer cached for the text (whose hash this is), or null.
        const std::uint8_t* find(std::uint64_t hash, std::string_view text) const;
        /// Caches an answer for a text that is not cached yet.
        void insert(std::uint64_t hash, std::string_view text, std::uint8_t answer);
        std::size_t size() const { return table.size(); }
        void clear();

    private:
        struct Slot
        {
            std::uint64_t hash = 0;
            std::uint32_t offset = 0; // in bytes
            std::uint32_t length = 0;
            bool used = false;
            std::uint8_t answer = kPersonMark;
            bool empty() const { return !used; }
        };
        FlatTable<Slot> table;
        std::string bytes;
    };

    std::shared_ptr<const Compiled> compiled;
    Cache newer;
    Cache older;
    std::size_t cacheLimit = kDefaultCacheLimit;
};

} // namespace backtrail::engine
