#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/prctl.h>

namespace backtrail::fuzz {

/// Stops the run with a message when an invariant does not hold; libFuzzer
/// then saves the input that broke it.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::backtrail::fuzz::Fail(#condition, __FILE__, __LINE__);                                                   \
    } while (false)

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

/// The engine's text lists take their memory in 8 MiB chunks backed by huge
/// pages; a run that builds a few short lists would spend most of its time
/// clearing those pages. Plain pages keep the runs fast.
inline void UsePlainPages()
{
    ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
}

/// Reads the leading bytes of an input as choices; a short input reads as zeros.
class ByteReader
{
public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : bytes(reinterpret_cast<const char*>(data), size)
    {
    }

    std::uint8_t take()
    {
        if (bytes.empty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(bytes.front());
        bytes.remove_prefix(1);
        return byte;
    }
    /// Up to `count` bytes.
    std::string_view take(std::size_t count)
    {
        const std::string_view part = bytes.substr(0, count);
        bytes.remove_prefix(part.size());
        return part;
    }
    /// Everything not taken yet.
    std::string_view rest() const { return bytes; }

private:
    std::string_view bytes;
};

/// True when `text` starts with `prefix`, ASCII letters compared without case.
/// Written apart from the engine's own comparison, so that it checks it.
inline bool HasPrefixAnyCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = char(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

} // namespace backtrail::fuzz
