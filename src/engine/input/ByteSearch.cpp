// Compiled once for each instruction set Highway offers and chosen at run
// time: this file includes itself through foreach_target.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/input/ByteSearch.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "engine/input/ByteSearch.h"

#include <bit>
#include <cstdint>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace backtrail::engine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Sixteen lanes: the texts are short, and a wider vector would leave most of
// them to the byte loop.
using Tag = hn::CappedTag<std::uint8_t, 16>;

// Lanes of v from lo to hi, as unsigned bytes (without unsigned comparisons,
// which not every instruction set has for bytes).
template<class V> HWY_INLINE auto inRange(Tag d, V v, unsigned char lo, unsigned char hi)
{
    return hn::Eq(hn::Min(hn::Max(v, hn::Set(d, lo)), hn::Set(d, hi)), v);
}

// The first byte from `from` on whose lanes `found` marks, tried a vector at a
// time while a whole vector is left, then a byte at a time with `plain`.
template<class Found, class Plain>
HWY_INLINE const char* findFirst(const char* from, const char* end, Found found, Plain plain)
{
    const Tag d;
    const std::size_t lanes = hn::Lanes(d);
    for (; std::size_t(end - from) >= lanes; from += lanes) {
        const auto v = hn::LoadU(d, reinterpret_cast<const std::uint8_t*>(from));
        const intptr_t at = hn::FindFirstTrue(d, found(d, v));
        if (at >= 0)
            return from + at;
    }
    for (; from < end; ++from) {
        if (plain(static_cast<unsigned char>(*from)))
            return from;
    }
    return end;
}

const char* FindAddressStopHere(const char* from, const char* end, bool blankToo)
{
    const unsigned char blank = blankToo ? ' ' : ')';
    return findFirst(
        from, end,
        [blank](Tag d, auto v) {
            const auto control = hn::Or(inRange(d, v, 0, 0x1F), hn::Eq(v, hn::Set(d, 0x7F)));
            const auto mark = hn::Or(hn::Eq(v, hn::Set(d, '"')), hn::Eq(v, hn::Set(d, ')')));
            return hn::Or(hn::Or(control, mark), hn::Eq(v, hn::Set(d, blank)));
        },
        [blank](unsigned char c) { return c < 0x20 || c == 0x7F || c == '"' || c == ')' || c == blank; });
}

const char* SkipHostNameBytesHere(const char* from, const char* end)
{
    auto nameByte = [](unsigned char c) {
        const unsigned char folded = c | 0x20;
        return (folded >= 'a' && folded <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    };
    return findFirst(
        from, end,
        [](Tag d, auto v) {
            const auto folded = hn::Or(v, hn::Set(d, 0x20));
            const auto letter = inRange(d, folded, 'a', 'z');
            const auto digit = inRange(d, v, '0', '9');
            const auto dotOrDash = hn::Or(hn::Eq(v, hn::Set(d, '.')), hn::Eq(v, hn::Set(d, '-')));
            return hn::Not(hn::Or(hn::Or(letter, digit), dotOrDash));
        },
        [nameByte](unsigned char c) { return !nameByte(c); });
}

std::size_t FindEachHere(const char* from, const char* end, char byte, std::uint32_t* offsets, std::size_t capacity)
{
    const Tag d;
    const std::size_t lanes = hn::Lanes(d);
    const auto wanted = hn::Set(d, static_cast<std::uint8_t>(byte));
    const char* const begin = from;
    std::size_t count = 0;
    for (; std::size_t(end - from) >= lanes && count < capacity; from += lanes) {
        std::uint8_t bits[8] = {};
        hn::StoreMaskBits(d, hn::Eq(hn::LoadU(d, reinterpret_cast<const std::uint8_t*>(from)), wanted), bits);
        std::uint64_t mask = 0;
        std::memcpy(&mask, bits, sizeof mask);
        for (; mask != 0 && count < capacity; mask &= mask - 1)
            offsets[count++] = std::uint32_t(from - begin) + std::uint32_t(std::countr_zero(mask));
    }
    for (; from < end && count < capacity; ++from) {
        if (*from == byte)
            offsets[count++] = std::uint32_t(from - begin);
    }
    return count;
}

} // namespace backtrail::engine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace backtrail::engine {

HWY_EXPORT(FindAddressStopHere);
HWY_EXPORT(SkipHostNameBytesHere);
HWY_EXPORT(FindEachHere);

const char* FindAddressStop(const char* from, const char* end, bool blankToo)
{
    return HWY_DYNAMIC_DISPATCH(FindAddressStopHere)(from, end, blankToo);
}

const char* SkipHostNameBytes(const char* from, const char* end)
{
    return HWY_DYNAMIC_DISPATCH(SkipHostNameBytesHere)(from, end);
}

std::size_t FindEach(const char* from, const char* end, char byte, std::uint32_t* offsets, std::size_t capacity)
{
    return HWY_DYNAMIC_DISPATCH(FindEachHere)(from, end, byte, offsets, capacity);
}

} // namespace backtrail::engine
#endif
