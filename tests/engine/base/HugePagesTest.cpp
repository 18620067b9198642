#include "engine/base/HugePages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace backtrail::engine;

namespace {

struct alignas(32) Wide
{
    std::uint64_t values[4];
};

} // namespace

// Blocks of every size, below and above a huge page, keep the alignment their
// element type asks for.
TEST(HugePageAllocator, BlocksKeepTheirTypesAlignment)
{
    for (const std::size_t count : {std::size_t(1), std::size_t(3), std::size_t(1000), std::size_t(100000)}) {
        std::vector<Wide, HugePageAllocator<Wide>> wide(count);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide.data()) % alignof(Wide), 0U) << count;
        std::vector<char, HugePageAllocator<char>> narrow(count * 37);
        narrow.back() = 1;
        EXPECT_EQ(narrow.back(), 1);
    }
}
