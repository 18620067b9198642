#include "engine/base/FlatTable.h"
#include "engine/base/TextHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

using backtrail::engine::FlatTable;
using backtrail::engine::FlatTableShape;
using backtrail::engine::TextHash;

namespace {

// A slot as the callers lay them out: the number of a text kept elsewhere
// (+ 1, 0 when empty) and a count.
struct Slot
{
    std::uint32_t text = 0;
    std::uint32_t count = 0;
    bool empty() const { return text == 0; }
};

// Texts counted in a FlatTable whose texts lie in a list of their own, and
// the same counts in a std::unordered_map, through the same random
// operations; `weak` hashes many texts alike.
template<FlatTableShape kShape> void runAgainstMap(std::uint32_t seed, bool weak)
{
    std::mt19937 random(seed);
    FlatTable<Slot, kShape> table;
    std::vector<std::string> texts;
    std::unordered_map<std::string, std::uint32_t> expected;
    auto hash = [weak](const std::string& text) { return weak ? TextHash(text) % 5 : TextHash(text); };
    auto hashOf = [&](const Slot& slot) { return hash(texts[slot.text - 1]); };
    auto same = [&](const std::string& text) { return [&](const Slot& s) { return texts[s.text - 1] == text; }; };
    // Where texts' slots were put, since the table last grew or was emptied.
    std::unordered_map<std::string, std::size_t> places;
    for (int step = 0; step < 3000; ++step) {
        const std::size_t capacity = table.capacity();
        // Few enough texts that many come again.
        const std::string text = "t" + std::to_string(random() % 700);
        const std::uint32_t by = random() % 9 + 1;
        switch (random() % 6) {
        case 0:
        case 1: {
            const auto fresh = [&] { return Slot {std::uint32_t(texts.size() + 1), 0}; };
            const auto [slot, added] = table.findOrAdd(hash(text), same(text), fresh, hashOf);
            ASSERT_EQ(added, !expected.contains(text)) << text;
            if (added)
                texts.push_back(text);
            slot->count += by;
            expected[text] += by;
            if (table.capacity() != capacity)
                places.clear();
            places[text] = table.placeOf(*slot);
            break;
        }
        case 2:
            if (!expected.contains(text)) {
                texts.push_back(text);
                table.add(hash(text), Slot {std::uint32_t(texts.size()), by}, hashOf);
                expected[text] = by;
            }
            break;
        case 3: {
            const Slot* slot = table.find(hash(text), same(text));
            ASSERT_EQ(slot ? slot->count : 0, expected.contains(text) ? expected[text] : 0) << text;
            if (places.contains(text)) { // a slot's place finds it until the table grows
                ASSERT_EQ(&table.at(places[text]), slot);
            }
            break;
        }
        case 4:
            if (random() % 50 == 0) {
                // The caller puts the slots anew itself, in an order of its own.
                std::vector<Slot> held;
                table.forEach([&](const Slot& slot) { held.push_back(slot); });
                std::shuffle(held.begin(), held.end(), random);
                table.reset(FlatTable<Slot, kShape>::capacityFor(held.size() + random() % 100));
                for (const Slot& slot : held)
                    table.place(hashOf(slot), slot);
                places.clear();
            } else if (random() % 100 == 0) {
                table.clear();
                places.clear();
                texts.clear();
                expected.clear();
            }
            break;
        default:
            // Every held slot once, as the map has them.
            std::unordered_map<std::string, std::uint32_t> seen;
            table.forEach([&](const Slot& s) { ASSERT_TRUE(seen.emplace(texts[s.text - 1], s.count).second); });
            ASSERT_EQ(seen, expected);
            break;
        }
        if (table.capacity() != capacity)
            places.clear();
        ASSERT_EQ(table.size(), expected.size());
        ASSERT_LE(table.size() * 100, table.capacity() * kShape.maxLoadPercent);
        ASSERT_TRUE(table.capacity() == 0 || std::has_single_bit(table.capacity()));
    }
}

} // namespace

// Random finds, additions, growth and rebuilds against std::unordered_map,
// with a strong hash and with one that sends many texts down one probe.
TEST(FlatTable, CountsAsAMapDoes)
{
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        runAgainstMap<FlatTableShape {4, 50}>(seed, false);
        runAgainstMap<FlatTableShape {4, 50}>(seed, true);
        runAgainstMap<FlatTableShape {16, 75}>(seed, false);
        runAgainstMap<FlatTableShape {16, 75}>(seed, true);
    }
}
