#pragma once

#include <cstddef>
#include <cstdint>

namespace backtrail::engine {

// Searches for a class of bytes that the fields of a line end at, sixteen
// bytes at a time on every processor (the texts searched are tens of bytes).

/// The first byte of [from, end) that ends an address: a double quote, ")", a
/// control byte or DEL, and with `blankToo` a blank; end when there is none.
const char* FindAddressStop(const char* from, const char* end, bool blankToo);

/// The first byte of [from, end) that is no ASCII letter, digit, "." or "-"
/// (a host name's bytes); end when there is none.
const char* SkipHostNameBytes(const char* from, const char* end);

/// The offsets from `from` of the bytes of [from, end) equal to `byte`, in
/// order, into `offsets`: at most `capacity` of them. Returns how many it wrote.
std::size_t FindEach(const char* from, const char* end, char byte, std::uint32_t* offsets, std::size_t capacity);

} // namespace backtrail::engine
