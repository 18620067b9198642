#include "TextOutput.h"

#include <cstdint>
#include <cstring>

namespace backtrail::engine {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at `p`, 0 when the byte there does
// not start one (overlong forms, surrogates and code points past U+10FFFF are
// not well formed).
std::size_t sequenceLength(const unsigned char* p, std::size_t left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    auto cont = [&](std::size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 2)
            return 0;
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        return (p[1] >= lo && p[1] <= hi && cont(2)) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 2)
            return 0;
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        return (p[1] >= lo && p[1] <= hi && cont(2) && cont(3)) ? 4 : 0;
    }
    return 0;
}

template<class OnAscii> void forEachValid(std::string& out, std::string_view bytes, OnAscii&& onAscii)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const std::size_t n = sequenceLength(p, left);
        if (n == 0) {
            out += kReplacement;
            ++p;
            --left;
        } else if (n == 1) {
            onAscii(char(*p));
            ++p;
            --left;
        } else {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
            left -= n;
        }
    }
}

// True when none of the 8 bytes at p needs escaping: each is printable
// ASCII (0x20 to 0x7e) other than the quote and the backslash.
bool plainWord(const unsigned char* p)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    // A byte with its high bit set, or one that 0x01 added to makes 0x80 (0x7f):
    // the sum's high bit is set exactly for the bytes 0x7f to 0xff.
    const std::uint64_t high = (x | ((x & ~kHighs) + kOnes)) & kHighs;
    // Bytes whose low 7 bits are below 0x20: with the high bit set first,
    // subtracting 0x20 clears it exactly for those (and borrows from no
    // other byte).
    const std::uint64_t low = ~((x | kHighs) - 0x20 * kOnes) & kHighs;
    // Bytes equal to c: zero after the exclusive or, found the same way.
    auto hasByte = [&](unsigned char c) {
        const std::uint64_t v = x ^ (c * kOnes);
        return ~((v | kHighs) - kOnes) & ~v & kHighs;
    };
    return (high | low | hasByte('"') | hasByte('\\')) == 0;
}

} // namespace

std::string Utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void AppendValidUtf8(std::string& out, std::string_view bytes)
{
    forEachValid(out, bytes, [&](char c) { out += c; });
}

void AppendJsonString(std::string& out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        // Printable ASCII other than the quote and the backslash goes in as it is, a run at a time.
        std::size_t run = 0;
        while (run + 8 <= left && plainWord(p + run))
            run += 8;
        while (run < left && p[run] >= 0x20 && p[run] < 0x7f && p[run] != '"' && p[run] != '\\')
            ++run;
        out.append(reinterpret_cast<const char*>(p), run);
        p += run;
        left -= run;
        if (left == 0)
            break;
        const std::size_t n = sequenceLength(p, left);
        if (n == 0) {
            // A byte that is no UTF-8 is kept as a lone surrogate, U+DC80 to
            // U+DCFF (as Python's surrogateescape does): the results read back
            // give the log's bytes.
            out += "\\udc";
            out += kHex[*p >> 4];
            out += kHex[*p & 0xF];
            ++p;
            --left;
            continue;
        }
        if (n > 1) {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
            left -= n;
            continue;
        }
        switch (const char c = char(*p)) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: // the other control characters and DEL
            out += "\\u00";
            out += kHex[(c >> 4) & 0xf];
            out += kHex[c & 0xf];
        }
        ++p;
        --left;
    }
    out += '"';
}

void AppendPlainCell(std::string& out, std::string_view bytes)
{
    forEachValid(out, bytes, [&](char c) { out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c; });
}

std::size_t DisplayWidth(std::string_view utf8)
{
    std::size_t width = 0;
    for (const char c : utf8)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

} // namespace backtrail::engine
