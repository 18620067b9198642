#pragma once

#include "engine/base/FlatTable.h"
#include "engine/base/HugePages.h"
#include "engine/base/TextList.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// One landing page of a row and the clicks that reached it.
struct LandingClicks
{
    std::string path;
    std::uint64_t clicks = 0;
    bool operator==(const LandingClicks&) const = default;
};

/// One day of a row (days since 1970-01-01, the date as the log wrote it) and its clicks.
struct DayClicks
{
    std::int32_t day = 0;
    std::uint64_t clicks = 0;
    bool operator==(const DayClicks&) const = default;
};

/// What the lines of each entry of a scan led to: its clicks per landing page
/// and per day. Entries are numbered as in their part. Memory follows the
/// distinct (entry, landing page) and (entry, day) pairs, not the lines.
class EntryDetails
{
public:
    EntryDetails() = default;
    EntryDetails(EntryDetails&&) noexcept = default;
    EntryDetails& operator=(EntryDetails&&) noexcept = default;

    /// Counts clicks of an entry on a landing page, and on a day (none: a line without time).
    void addLanding(std::uint32_t entry, std::string_view landing, std::uint32_t clicks);
    void addDay(std::uint32_t entry, std::int32_t day, std::uint32_t clicks);
    /// Counts one line of an entry: its clicks on a landing page and, when it
    /// has a time, on its day. The line waits in a short queue while what
    /// counting it reads is fetched into the cache, so that the fetches of
    /// several lines overlap: it is counted by flush(), which index() and
    /// merge() call first. The other members see only counted lines.
    void addLine(std::uint32_t entry, std::string_view landing, bool hasDay, std::int32_t day, std::uint32_t clicks);
    /// Counts the lines that addLine() queued.
    void flush();
    /// Adds the pairs of `later` (flushed first), whose entry k is entry
    /// `entryOf[k]` here. They are not looked up but kept in a list beside
    /// the tables (a merge reads and writes in order, and a scan merges each
    /// of its pieces), and summed with the tables' pairs by index(); the list
    /// is summed in itself whenever it has doubled since, so that its memory
    /// follows the distinct pairs.
    void merge(EntryDetails& later, const std::vector<std::uint32_t>& entryOf);
    /// Numbers entry k of these details `entryOf[k]` instead, for a part whose
    /// entries come after `earlier` new ones: an entry numbered below
    /// `earlier` is one of those (its pairs are then added to theirs by a
    /// merge()), and the others keep their order. Nothing is copied but the
    /// pairs beyond each entry's first.
    void renumber(const std::vector<std::uint32_t>& entryOf, std::uint32_t earlier);
    /// How long the list of merged pairs may grow before it is first summed
    /// (a test makes it short).
    void setMergedPairsBound(std::size_t pairs)
    {
        landings.sumAt = pairs;
        days.sumAt = pairs;
    }

    /// The distinct pairs once indexed; before, merged pairs not yet summed count once each.
    std::size_t landingPairs() const { return landings.size(firsts); }
    std::size_t dayPairs() const { return days.size(firsts); }
    bool empty() const { return landingPairs() == 0 && dayPairs() == 0; }

    /// Prepares the per-entry lookups below for entries 0 to entries - 1; no
    /// pair may be added afterwards.
    void index(std::size_t entries);
    /// The landing pages of the given entries with their clicks summed, most
    /// clicks first, equal clicks by path in byte order (an empty path is a path too).
    std::vector<LandingClicks> landingsOf(std::span<const std::size_t> entries) const;
    /// The days of the given entries with their clicks summed, by date.
    std::vector<DayClicks> daysOf(std::span<const std::size_t> entries) const;
    /// One entry's landing pages in the order of landingsOf, each as its
    /// number, handed to `onLanding(page, clicks)` without copies:
    /// landingName(page) is its path. Every entry numbers pages alike.
    template<class OnLanding> void visitLandingNumbers(std::size_t entry, OnLanding&& onLanding) const
    {
        inOrder(
            landings, entry,
            [this](std::uint32_t a, std::uint32_t b) {
                const std::uint32_t ca = landings.counts[a];
                const std::uint32_t cb = landings.counts[b];
                return ca != cb ? ca > cb : names[landings.values[a]] < names[landings.values[b]];
            },
            [&](std::uint32_t k) { onLanding(landings.values[k], std::uint64_t(landings.counts[k])); });
    }
    std::string_view landingName(std::uint32_t page) const { return names[page]; }
    /// One entry's days in the order of daysOf, handed to `onDay(day, clicks)`.
    template<class OnDay> void visitDays(std::size_t entry, OnDay&& onDay) const
    {
        inOrder(
            days, entry, [this](std::uint32_t a, std::uint32_t b) { return days.values[a] < days.values[b]; },
            [&](std::uint32_t k) { onDay(dayOf(days.values[k]), std::uint64_t(days.counts[k])); });
    }

private:
    /// A day as the tables keep it: moved up by 2^31, so that the days before
    /// 1970 keep their order and none of them is the value that a first
    /// pair's "value + 1" would wrap to 0 (none yet).
    static std::uint32_t dayValue(std::int32_t day) { return std::uint32_t(day) ^ 0x80000000U; }
    static std::int32_t dayOf(std::uint32_t value) { return std::int32_t(value ^ 0x80000000U); }
    /// Counts per (entry, value) pair. Each entry's first pair lies beside
    /// the entry in plain arrays: most referrers lead to one page, and most
    /// are seen on one day, so most lines never reach the table. Further pairs
    /// are kept in a hash table whose slot holds the pair and its
    /// count, so that counting a known pair reads one place; each entry's
    /// last such pair is looked at first (a log's lines come in time order).
    /// Once indexed, only each entry's range of values and counts is left.
    struct First
    {
        std::uint32_t value = 0; // value + 1 (0: none yet)
        std::uint32_t count = 0;
        std::uint32_t recent = 0; // the slot of the entry's last pair in the table + 1 (0: none)
        std::uint32_t recentValue = 0; // that pair's value
    };
    /// An entry's first landing page and first day lie in one record, so
    /// that a line of a known entry finds both in one cache line.
    struct alignas(32) Firsts
    {
        First landing;
        First day;
    };
    /// Per entry; large, so in huge pages (a scan's pieces each grow one).
    using FirstsList = std::vector<Firsts, HugePageAllocator<Firsts>>;
    struct PairCounts
    {
        explicit PairCounts(First Firsts::*which)
            : member(which)
        {
        }
        /// A pair and its clicks; entry 0 marks an empty slot.
        struct Slot
        {
            std::uint32_t entry = 0; // entry + 1
            std::uint32_t value = 0;
            std::uint32_t count = 0;
            bool empty() const { return entry == 0; }
        };
        First Firsts::*member; // this table's first pair in an entry's record
        FlatTable<Slot, FlatTableShape {1024, 75}, HugePageAllocator<Slot>> table;
        // The pairs that merges brought, in the order they came; a pair may be
        // here several times, and in the table or a record too.
        std::vector<Slot, HugePageAllocator<Slot>> merged;
        std::size_t sumAt = std::size_t(1) << 22; // merged's length that has it summed
        // Once sorted: entry e's pairs are values and counts from start[e] to start[e + 1].
        std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> start;
        std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> values;
        std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> counts;
        /// Counts clicks of the pair (the entry's record must exist).
        void add(FirstsList& records, std::uint32_t entry, std::uint32_t value, std::uint32_t clicks);
        /// Adds the pairs of `later` (whose first pairs are in `laterRecords`)
        /// to the merged list, where later's entry k is entry `entryOf[k]`
        /// here and its value v is `(*valueOf)[v]` (v itself without valueOf).
        void addAll(const PairCounts& later, const FirstsList& laterRecords, const std::vector<std::uint32_t>& entryOf,
                    const std::vector<std::uint32_t>* valueOf);
        /// Sums the merged list's equal pairs.
        void sumMerged();
        /// The pairs' part of renumber(): the table's pairs and those of the
        /// entries numbered below `earlier` go to the merged list.
        void renumber(FirstsList& records, const std::vector<std::uint32_t>& entryOf, std::uint32_t earlier);
        /// Fetches the slot where the pair's lookup starts into the cache.
        void prefetch(std::uint32_t entry, std::uint32_t value) const;
        std::size_t size(const FirstsList& records) const;
        /// Puts all pairs in entry order for entries 0 to entries - 1, and
        /// drops the table.
        void sortByEntry(std::size_t entries, const FirstsList& records);
    };
    /// Hands the positions of one indexed entry's pairs to `each`, in the
    /// order `less` gives them (the pairs of one entry are few).
    template<class Less, class Each>
    static void inOrder(const PairCounts& pairs, std::size_t entry, Less less, Each each)
    {
        if (entry + 1 >= pairs.start.size())
            return;
        const std::uint32_t from = pairs.start[entry];
        const std::uint32_t to = pairs.start[entry + 1];
        if (to - from <= 2) {
            // Most entries have one or two pairs.
            if (to - from == 2 && less(from + 1, from)) {
                each(from + 1);
                each(from);
            } else {
                for (std::uint32_t k = from; k < to; ++k)
                    each(k);
            }
            return;
        }
        constexpr std::size_t kInline = 32;
        std::uint32_t inlineOrder[kInline];
        std::vector<std::uint32_t> largeOrder;
        std::uint32_t* order = inlineOrder;
        if (to - from > kInline) {
            largeOrder.resize(to - from);
            order = largeOrder.data();
        }
        for (std::uint32_t k = from; k < to; ++k)
            order[k - from] = k;
        std::sort(order, order + (to - from), less);
        for (std::uint32_t i = 0; i < to - from; ++i)
            each(order[i]);
    }
    /// The record of an entry's first pairs, made when new.
    Firsts& firstsOf(std::uint32_t entry)
    {
        if (entry >= firsts.size())
            firsts.resize(std::max<std::size_t>(entry + 1, firsts.size() * 2));
        return firsts[entry];
    }
    /// The number of a landing page, added when new: a site has far fewer
    /// pages than its referrers have (referrer, page) pairs, so each page's
    /// bytes are kept once.
    std::uint32_t landingNumber(std::string_view landing);

    /// A line that addLine() queued.
    struct QueuedLine
    {
        std::uint32_t entry;
        std::uint32_t page;
        std::uint32_t day; // dayValue()
        std::uint32_t clicks;
        bool hasDay;
    };
    void count(const QueuedLine& line);
    static constexpr std::size_t kQueuedLines = 8;
    std::array<QueuedLine, kQueuedLines> queue {};
    std::size_t queued = 0; // lines in the queue
    std::size_t oldest = 0; // where the first of them is

    TextList names;
    struct NameSlot
    {
        std::uint32_t name = 0; // its number in names + 1 (0: none)
        bool empty() const { return name == 0; }
    };
    FlatTable<NameSlot, FlatTableShape {1024, 50}> nameTable;
    FirstsList firsts; // per entry, until indexed
    PairCounts landings {&Firsts::landing}; // (entry, landing page number)
    PairCounts days {&Firsts::day}; // (entry, dayValue(day))
};

/// "2026-12-08" of a day that DayClicks counts.
std::string DayText(std::int32_t day);
/// Appends DayText(day) to `out`.
void AppendDayText(std::string& out, std::int32_t day);
/// The day of a "2026-12-08" text; false when it is no valid date.
bool ReadDayText(std::string_view text, std::int32_t& day);

} // namespace backtrail::engine
