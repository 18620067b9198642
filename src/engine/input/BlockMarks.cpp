// The structural pass, compiled once for each instruction set Highway offers
// and chosen at run time: this file includes itself through foreach_target.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/input/BlockMarks.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/highway.h>

#include "engine/input/BlockMarks.h"

#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace backtrail::engine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The bits of a mask of the lanes of one vector, lane i as bit i.
template<class D, class M> HWY_INLINE std::uint64_t maskBits(D d, M mask)
{
    constexpr std::size_t kMaxLanes = 64;
    std::uint8_t bytes[kMaxLanes / 8] = {};
    hn::StoreMaskBits(d, mask, bytes);
    std::uint64_t bits = 0;
    std::memcpy(&bits, bytes, sizeof bits);
    const std::size_t lanes = hn::Lanes(d);
    return lanes >= 64 ? bits : bits & ((std::uint64_t(1) << lanes) - 1);
}

// Marks 64 bytes; the colons of "://" are completed by the caller, which
// knows the slashes of the next 64 bytes.
HWY_INLINE void markWord(const std::uint8_t* bytes, MarkWord& word, std::uint64_t& colons, std::uint64_t& slashes)
{
    const hn::ScalableTag<std::uint8_t> d;
    const std::size_t lanes = hn::Lanes(d);
    const auto lf = hn::Set(d, '\n');
    const auto cr = hn::Set(d, '\r');
    const auto quote = hn::Set(d, '"');
    const auto bracket = hn::Set(d, '[');
    const auto colon = hn::Set(d, ':');
    const auto slash = hn::Set(d, '/');
    word = MarkWord {};
    colons = 0;
    slashes = 0;
    for (std::size_t i = 0; i < 64; i += lanes) {
        const auto v = hn::LoadU(d, bytes + i);
        word.lineEnds |= maskBits(d, hn::Or(hn::Eq(v, lf), hn::Eq(v, cr))) << i;
        word.quotes |= maskBits(d, hn::Eq(v, quote)) << i;
        word.brackets |= maskBits(d, hn::Eq(v, bracket)) << i;
        colons |= maskBits(d, hn::Eq(v, colon)) << i;
        slashes |= maskBits(d, hn::Eq(v, slash)) << i;
    }
}

void MarkStructureHere(const char* chars, std::size_t size, MarkWord* words)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(chars);
    const std::size_t whole = size / 64;
    const std::size_t count = (size + 63) / 64;
    std::uint64_t colons = 0;
    std::uint64_t slashes = 0;
    for (std::size_t w = 0; w < count; ++w) {
        std::uint64_t nextColons;
        std::uint64_t nextSlashes;
        if (w < whole) {
            markWord(bytes + 64 * w, words[w], nextColons, nextSlashes);
        } else {
            // The last bytes, padded with zeros, which mark nothing.
            alignas(64) std::uint8_t tail[64] = {};
            std::memcpy(tail, bytes + 64 * w, size - 64 * w);
            markWord(tail, words[w], nextColons, nextSlashes);
        }
        if (w > 0) {
            // A colon followed by two slashes, which may stand in the next word.
            words[w - 1].schemes
                = colons & ((slashes >> 1) | (nextSlashes << 63)) & ((slashes >> 2) | (nextSlashes << 62));
        }
        colons = nextColons;
        slashes = nextSlashes;
    }
    if (count > 0)
        words[count - 1].schemes = colons & (slashes >> 1) & (slashes >> 2);
}

const char* TargetHere()
{
    return hwy::TargetName(HWY_TARGET);
}

} // namespace backtrail::engine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace backtrail::engine {

HWY_EXPORT(MarkStructureHere);
HWY_EXPORT(TargetHere);

void MarkStructure(const char* bytes, std::size_t size, MarkWord* words)
{
    HWY_DYNAMIC_DISPATCH(MarkStructureHere)(bytes, size, words);
}

const char* StructureTarget()
{
    return HWY_DYNAMIC_DISPATCH(TargetHere)();
}

} // namespace backtrail::engine
#endif
