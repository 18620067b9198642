#pragma once

#include "EntryDetails.h"
#include "WorkingLists.h"
#include "engine/base/FlatTable.h"
#include "engine/base/HugePages.h"
#include "engine/base/TextHash.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace backtrail::engine {

/// What a scan of some bytes found: a piece of a file, a whole file, the work
/// of one thread, or another machine's results read back. Its lines and
/// referrer lines, and its entries in first-occurrence order, each with its
/// referrer, landing page, bot flag and type.
///
/// A part that collapses equal referrers keeps one entry per referrer as it
/// reads, with its click count and what its first line gave it, so its memory
/// follows the number of distinct referrers, not the size of the log. A part
/// that does not keeps every entry, but only its referrer and landing bytes.
///
/// A referrer that crawlers and people both sent is two entries: the bot flag
/// is part of what makes entries equal.
///
/// Parts combine with merge(): a scan cut into pieces and merged in order
/// equals the scan in one piece.
class ScanPart
{
public:
    /// `details`: a collapsing part also counts each entry's clicks per
    /// landing page and per day (a part that does not collapse has them in
    /// its entries anyway).
    explicit ScanPart(bool collapse = true, bool details = false)
        : collapsing(collapse)
        , detailed(collapse && details)
    {
    }
    ScanPart(ScanPart&&) noexcept = default;
    ScanPart& operator=(ScanPart&&) noexcept = default;

    bool collapses() const { return collapsing; }
    bool collectsDetails() const { return detailed; }

    /// Lines read and referrer lines found (not capped).
    std::int64_t lines = 0;
    std::int64_t links = 0;
    /// Lines read that were crawlers' (or referrer spam, or outside the date
    /// range) and hidden: read and counted, but no referrer lines.
    std::int64_t hiddenCrawlerLines = 0;
    std::int64_t hiddenSpamLines = 0;
    std::int64_t outsideRangeLines = 0;

    /// Counts one line read.
    void countLine() { ++lines; }

    /// Adds a referrer line; `bot` is the line's bot mark (CrawlerKinds.h:
    /// a person's, or a crawler's of some kind). With collapsing on, a
    /// referrer seen before by the same side (people or crawlers) only adds a
    /// click, and the entry keeps its first line's mark; `typeOf()` is asked for a new entry's type (an
    /// ExtensionIndex), so that the remainder it is read from is made only then.
    /// `time` is the line's (no time: none).
    template<class TypeOf>
    void add(std::string_view referrer, std::string_view landing, std::uint8_t bot, const LineTime& time,
             TypeOf&& typeOf)
    {
        add(referrer, textHash(referrer), landing, bot, time, std::forward<TypeOf>(typeOf));
    }
    /// The same, with the referrer's textHash() worked out before.
    template<class TypeOf>
    void add(std::string_view referrer, std::uint64_t referrerHash, std::string_view landing, std::uint8_t bot,
             const LineTime& time, TypeOf&& typeOf)
    {
        ++links;
        if (collapsing) {
            const std::uint64_t hash = bot ? referrerHash ^ kBotHash : referrerHash;
            const std::size_t found = find(referrer, bot != 0, hash);
            if (found != kNone) {
                bump(found, 1);
                KeepEarlier(lists.firstSeen[found], time);
                KeepLater(lists.lastSeen[found], time);
                addDetails(found, landing, time, 1);
                return;
            }
            insert(hash, bot != 0);
        }
        append(referrer, landing, bot, typeOf(), 1, time, time);
        addDetails(size() - 1, landing, time, 1);
    }

    /// The hash add() looks a referrer up by.
    std::uint64_t textHash(std::string_view referrer) const
    {
        return collapsing ? TextHash(referrer) : 0; // a part that keeps every entry looks nothing up
    }

    /// What add() reads to look a referrer line up, in the order it reads it.
    enum class Lookup { Slot, Place, Text };
    /// Fetches into the cache, for a referrer line that add() is to count
    /// later (by its textHash()), one step of its lookup: the slot in the
    /// lookup table, the entry's place in the lists, or the entry's text and
    /// what a line of it updates. Each step reads what the one before fetched,
    /// so it is worth its while once that has arrived.
    void prefetchEntry(std::uint64_t referrerHash, bool bot, Lookup step) const
    {
        if (!collapsing)
            return;
        const std::uint64_t hash = bot ? referrerHash ^ kBotHash : referrerHash;
        if (step == Lookup::Slot)
            entryTable.prefetch(hash);
        else
            prefetch(hash, bot, step == Lookup::Text);
    }

    /// Makes room for about `entries` entries (a hint: the part grows past
    /// it when it must).
    void reserve(std::size_t entries);

    /// Appends `later` after this part: lines and links add up, `later`'s new
    /// entries follow this part's, the counts of shared entries add up, and what
    /// a shared entry keeps (landing page, bot flag, type) comes from this part.
    /// Both parts must collapse alike.
    void merge(ScanPart&& later);

    /// Adds one entry as it is, for results read back from elsewhere, and
    /// returns its number (an equal entry's when collapsing). Its details, if
    /// any, are added with details().
    std::size_t addEntry(std::string_view referrer, std::string_view landing, std::uint8_t bot, std::uint8_t type,
                         std::uint32_t count, const LineTime& firstSeen = {}, const LineTime& lastSeen = {});
    /// Each entry's clicks per landing page and day, while collectsDetails().
    EntryDetails& details()
    {
        detailTables.flush();
        return detailTables;
    }

    std::size_t size() const { return lists.size(); }
    /// The entries in first-occurrence order; counts hold each entry's clicks
    /// while collapsing (and are empty otherwise). A part that does not
    /// collapse keeps one time for each entry in firstSeen, and lastSeen empty,
    /// while each entry's first and last are the same (the lines of a log);
    /// takeEntries() gives both lists of times.
    const WorkingLists& entries() const { return lists; }
    /// Hands the entries over as a scan's working lists; the part is left empty.
    WorkingLists takeEntries();
    /// Hands the details over (before takeEntries).
    EntryDetails takeDetails()
    {
        detailTables.flush();
        return std::move(detailTables);
    }

private:
    static constexpr std::size_t kNone = ~std::size_t(0);
    // A crawler's entry hashes apart from the people's entry of the same referrer.
    static constexpr std::uint64_t kBotHash = 0x9e3779b97f4a7c15ULL;
    static std::uint64_t hashOf(std::string_view text, bool bot);
    std::size_t find(std::string_view referrer, bool bot, std::uint64_t hash) const;
    void insert(std::uint64_t hash, bool bot);
    /// Fetches into the cache the entry held where a probe for the hash starts
    /// (its place in the referrer list, or with `text` its bytes).
    void prefetch(std::uint64_t hash, bool bot, bool text) const;
    /// Puts every entry, in order, in a table of at least the given size.
    void rehash(std::size_t tableSize);
    /// merge() turned about: `earlier`'s entries (with its counters added
    /// already) are put before this part's, which are not copied.
    void takeEarlier(ScanPart&& earlier);
    /// Appends an entry's landing page; a page among those appended lately is
    /// not copied again but pointed at.
    void appendLanding(std::string_view landing);
    static std::size_t landingSlot(std::string_view landing);
    /// Gives lastSeen a time for every entry: those of firstSeen, shared.
    static void fillLastSeen(WorkingLists& entries);
    void bump(std::size_t entry, std::uint32_t by);
    void append(std::string_view referrer, std::string_view landing, std::uint8_t bot, std::uint8_t type,
                std::uint32_t count, const LineTime& firstSeen, const LineTime& lastSeen);
    void addDetails(std::size_t entry, std::string_view landing, const LineTime& time, std::uint32_t clicks)
    {
        if (!detailed)
            return;
        detailTables.addLine(std::uint32_t(entry), landing, time.valid, time.valid ? time.localDay() : 0, clicks);
    }

    bool collapsing;
    bool detailed;
    EntryDetails detailTables;
    WorkingLists lists;
    // The entries by hash: a slot holds the entry's number + 1 in its low 31
    // bits (0 when empty), its bot flag, and the upper half of its hash.
    struct EntrySlot
    {
        std::uint64_t bits = 0;
        bool empty() const { return bits == 0; }
    };
    using EntryTable = FlatTable<EntrySlot, FlatTableShape {4096, 50}, HugePageAllocator<EntrySlot>>;
    EntryTable entryTable;
    // Each entry's hash, so that growing the table hashes nothing again.
    std::vector<std::uint64_t> hashes;
    // The landing pages appended lately, by landingSlot(): a site's lines go
    // to few pages, whose bytes each entry would otherwise copy. Views into
    // the landing list's bytes.
    static constexpr std::size_t kRecentLandings = 256;
    std::array<std::string_view, kRecentLandings> recentLandings {};
};

} // namespace backtrail::engine
