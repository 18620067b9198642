#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace backtrail::engine {

/// How large a FlatTable starts and how full it may grow.
struct FlatTableShape
{
    std::size_t firstCapacity = 64; ///< slots of the first table (a power of two)
    std::size_t maxLoadPercent = 50; ///< at most this share of the slots is held
};

/// An open-addressing hash table of slots that its caller lays out: a power
/// of two slots, probed one after the other from the slot a hash picks, grown
/// to twice its slots by putting every held slot anew. The table keeps no
/// hashes and no keys: a slot holds whatever finds its key (most often the
/// number of an entry whose text lies in the caller's own lists), each lookup
/// is given the hash and an equality, and growing is given the hash of a
/// held slot. Nothing is ever removed but by emptying the whole table.
///
/// `Slot{}` is an empty slot, and `slot.empty()` tells one; a slot put in the
/// table must not be empty.
template<class Slot, FlatTableShape kShape = FlatTableShape {}, class Allocator = std::allocator<Slot>> class FlatTable
{
    static_assert(std::has_single_bit(kShape.firstCapacity));
    static_assert(kShape.maxLoadPercent > 0 && kShape.maxLoadPercent < 100);

public:
    FlatTable() = default;
    FlatTable(const FlatTable&) = default;
    FlatTable& operator=(const FlatTable&) = default;
    FlatTable(FlatTable&& other) noexcept
        : cells(std::move(other.cells))
        , held(std::exchange(other.held, 0))
    {
        other.cells.clear();
    }
    FlatTable& operator=(FlatTable&& other) noexcept
    {
        if (this != &other) {
            cells = std::move(other.cells);
            other.cells.clear();
            held = std::exchange(other.held, 0);
        }
        return *this;
    }

    /// Slots held, and slots in all.
    std::size_t size() const { return held; }
    std::size_t capacity() const { return cells.size(); }
    /// True when one slot more would fill the table past its load.
    bool full() const { return (held + 1) * 100 > cells.size() * kShape.maxLoadPercent; }
    /// The slots a table needs to hold `entries` slots.
    static std::size_t capacityFor(std::size_t entries)
    {
        return std::max(kShape.firstCapacity,
                        std::bit_ceil((entries * 100 + kShape.maxLoadPercent - 1) / kShape.maxLoadPercent));
    }

    /// The held slot for which `matches(slot)` is true, probing from the
    /// hash; null when an empty slot comes first.
    template<class Matches> Slot* find(std::uint64_t hash, Matches&& matches)
    {
        return const_cast<Slot*>(std::as_const(*this).find(hash, std::forward<Matches>(matches)));
    }
    template<class Matches> const Slot* find(std::uint64_t hash, Matches&& matches) const
    {
        if (cells.empty())
            return nullptr;
        const std::size_t mask = cells.size() - 1;
        for (std::size_t at = std::size_t(hash) & mask;; at = (at + 1) & mask) {
            const Slot& slot = cells[at];
            if (slot.empty())
                return nullptr;
            if (matches(slot))
                return &slot;
        }
    }

    /// The slot that `matches`, or else `make()` put in the table; true with
    /// the latter. The table grows first when one slot more would fill it,
    /// whether or not one is added (`hashOf(slot)` gives a held slot's hash).
    template<class Matches, class Make, class HashOf>
    std::pair<Slot*, bool> findOrAdd(std::uint64_t hash, Matches&& matches, Make&& make, HashOf&& hashOf)
    {
        if (full())
            grow(hashOf);
        const std::size_t mask = cells.size() - 1;
        for (std::size_t at = std::size_t(hash) & mask;; at = (at + 1) & mask) {
            Slot& slot = cells[at];
            if (slot.empty()) {
                slot = make();
                ++held;
                return {&slot, true};
            }
            if (matches(slot))
                return {&slot, false};
        }
    }

    /// Puts a slot whose key the table does not hold yet, growing first when
    /// it would fill the table.
    template<class HashOf> Slot& add(std::uint64_t hash, const Slot& slot, HashOf&& hashOf)
    {
        if (full())
            grow(hashOf);
        return place(hash, slot);
    }

    /// For a caller that puts its slots itself (it keeps their hashes in
    /// an order of its own): empties the table to at least `capacity` slots
    /// (and never fewer than the first table's), and place() puts a slot
    /// whose key the table does not hold yet, without growing; the caller
    /// makes room with reset() while full().
    void reset(std::size_t capacity)
    {
        cells.assign(std::max(kShape.firstCapacity, std::bit_ceil(capacity)), Slot {});
        held = 0;
    }
    Slot& place(std::uint64_t hash, const Slot& slot)
    {
        const std::size_t mask = cells.size() - 1;
        std::size_t at = std::size_t(hash) & mask;
        while (!cells[at].empty())
            at = (at + 1) & mask;
        cells[at] = slot;
        ++held;
        return cells[at];
    }

    /// The slot where a probe for the hash starts (null in a table without
    /// slots): what a lookup reads first.
    const Slot* home(std::uint64_t hash) const
    {
        return cells.empty() ? nullptr : &cells[std::size_t(hash) & (cells.size() - 1)];
    }
    /// Fetches that slot into the cache, for a lookup to come.
    void prefetch(std::uint64_t hash) const
    {
        if (const Slot* slot = home(hash)) {
            __builtin_prefetch(slot);
            if constexpr (64 % sizeof(Slot) != 0) // it may lie across two cache lines
                __builtin_prefetch(reinterpret_cast<const char*>(slot) + sizeof(Slot) - 1);
        }
    }

    /// A held slot's place, which stays its own until the table grows or is
    /// emptied, and the slot at such a place.
    std::size_t placeOf(const Slot& slot) const { return std::size_t(&slot - cells.data()); }
    Slot& at(std::size_t place) { return cells[place]; }

    /// Hands every held slot to `each`, in the order of their places.
    template<class Each> void forEach(Each&& each) const
    {
        for (const Slot& slot : cells) {
            if (!slot.empty())
                each(slot);
        }
    }

    /// Empties the table and frees its memory.
    void clear()
    {
        std::vector<Slot, Allocator>().swap(cells);
        held = 0;
    }

private:
    template<class HashOf> void grow(HashOf& hashOf)
    {
        std::vector<Slot, Allocator> old(std::max(kShape.firstCapacity, cells.size() * 2));
        old.swap(cells); // the larger table is now `cells`
        held = 0;
        for (const Slot& slot : old) {
            if (!slot.empty())
                place(hashOf(slot), slot);
        }
    }

    std::vector<Slot, Allocator> cells;
    std::size_t held = 0;
};

} // namespace backtrail::engine
