#include "engine/input/ByteSearch.h"
#include "engine/input/BlockMarks.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace backtrail::engine;

namespace {

// Each search on every instruction set here, against a byte loop, on random
// bytes of every value searched from anywhere to anywhere.
TEST(ByteSearch, AgreesWithPlainLoopsOnEveryInstructionSet)
{
    auto plainStop = [](unsigned char c, bool blankToo) {
        return c < 0x20 || c == 0x7F || c == '"' || c == ')' || (blankToo && c == ' ');
    };
    auto plainName = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    };
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(StructureTarget());
        std::mt19937 random(5);
        for (int round = 0; round < 3000; ++round) {
            // Mostly bytes that pass, so that the searches run long.
            std::string text(random() % 80, 'a');
            for (char& c : text)
                c = random() % 8 == 0 ? char(random() % 256) : "aZ09.-/:%"[random() % 9];
            const std::size_t from = random() % (text.size() + 1);
            const std::size_t to = from + random() % (text.size() - from + 1);
            const char* const begin = text.data();
            for (const bool blankToo : {false, true}) {
                std::size_t stop = from;
                while (stop < to && !plainStop(static_cast<unsigned char>(text[stop]), blankToo))
                    ++stop;
                ASSERT_EQ(FindAddressStop(begin + from, begin + to, blankToo) - begin, std::ptrdiff_t(stop));
            }
            std::size_t name = from;
            while (name < to && plainName(static_cast<unsigned char>(text[name])))
                ++name;
            ASSERT_EQ(SkipHostNameBytes(begin + from, begin + to) - begin, std::ptrdiff_t(name));
            std::vector<std::uint32_t> dots;
            for (std::size_t at = from; at < to; ++at) {
                if (text[at] == '.')
                    dots.push_back(std::uint32_t(at - from));
            }
            const std::size_t capacity = 1 + random() % 12;
            std::vector<std::uint32_t> found(capacity);
            found.resize(FindEach(begin + from, begin + to, '.', found.data(), capacity));
            dots.resize(std::min(dots.size(), capacity));
            ASSERT_EQ(found, dots);
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}

} // namespace
