#include "OwnSite.h"

#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace backtrail::engine {

namespace {

constexpr std::size_t npos = std::string_view::npos;

unsigned char lower(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b;
}

// `text` equals `folded` (already lower case), ASCII letter case ignored.
bool equalFolded(std::string_view text, std::string_view folded)
{
    if (text.size() != folded.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != static_cast<unsigned char>(folded[i]))
            return false;
    }
    return true;
}

bool startsFolded(std::string_view text, std::string_view folded)
{
    return text.size() >= folded.size() && equalFolded(text.substr(0, folded.size()), folded);
}

// A host as it is compared: without a trailing "." (a fully qualified name)
// and without a leading "www.".
std::string_view bareHost(std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (host.size() > 4 && startsFolded(host, "www."))
        host.remove_prefix(4);
    return host;
}

// What each byte does to the host of an address being read.
enum ByteRole : unsigned char { Part, Ends, At, Colon, Close };

constexpr std::array<unsigned char, 256> kRoles = [] {
    std::array<unsigned char, 256> roles {};
    for (int b = 0; b < 0x20; ++b)
        roles[std::size_t(b)] = Ends;
    roles[0x7F] = Ends;
    for (const char b : {'/', '?', '#', ' ', '"', ')', '\\'})
        roles[static_cast<unsigned char>(b)] = Ends;
    roles['@'] = At;
    roles[':'] = Colon;
    roles[']'] = Close; // the colons of an IPv6 address in brackets are no port's
    return roles;
}();

std::string folded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        out.push_back(char(lower(c)));
    return out;
}

// The first byte of [from, end) that is no letter, digit, "." or "-", or
// end: the bytes a host is made of are passed over sixteen at a time.
const char* skipNameBytes(const char* from, const char* end)
{
#if defined(__SSE2__)
    for (; end - from >= 16; from += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        // Letters folded to lower case; bytes from 0x80 on compare as negative and never match.
        const __m128i lowered = _mm_or_si128(block, _mm_set1_epi8(0x20));
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lowered, _mm_set1_epi8('a' - 1)),
                                             _mm_cmplt_epi8(lowered, _mm_set1_epi8('z' + 1)));
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('0' - 1)),
                                            _mm_cmplt_epi8(block, _mm_set1_epi8('9' + 1)));
        const __m128i dotOrDash
            = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('.')), _mm_cmpeq_epi8(block, _mm_set1_epi8('-')));
        const unsigned name = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(letter, digit), dotOrDash)));
        if (name != 0xFFFF)
            return from + std::countr_one(name);
    }
#endif
    for (; from < end; ++from) {
        const auto c = static_cast<unsigned char>(*from | 0x20);
        if (!((c >= 'a' && c <= 'z') || (*from >= '0' && *from <= '9') || *from == '.' || *from == '-'))
            return from;
    }
    return end;
}

} // namespace

OwnSite::OwnSite(std::string_view setting)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!setting.empty() && blank(setting.front()))
        setting.remove_prefix(1);
    while (!setting.empty() && blank(setting.back()))
        setting.remove_suffix(1);
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (startsFolded(setting, scheme))
            setting.remove_prefix(scheme.size());
    }
    const std::size_t slash = setting.find('/');
    std::string_view authority = setting.substr(0, slash);
    std::string_view ownPath = slash == npos ? std::string_view() : setting.substr(slash);
    const std::size_t bracket = authority.rfind(']');
    authority = authority.substr(0, authority.find(':', bracket == npos ? 0 : bracket)); // no port
    if (ownPath.find_first_not_of('/') == npos)
        ownPath = {}; // "example.org/" names the whole site
    host = folded(bareHost(authority));
    path = folded(ownPath);
}

bool OwnSite::holds(std::string_view address) const
{
    if (host.empty())
        return true;
    std::size_t begin = 0; // where the host starts: after user information
    std::size_t port = npos; // the first ":" after the last "]"
    const char* const base = address.data();
    std::size_t end = 0;
    for (; end < address.size(); ++end) {
        end = std::size_t(skipNameBytes(base + end, base + address.size()) - base);
        if (end == address.size())
            break;
        const unsigned char role = kRoles[static_cast<unsigned char>(address[end])];
        if (role == Ends)
            break;
        if (role == At) {
            begin = end + 1;
            port = npos;
        } else if (role == Colon && port == npos) {
            port = end;
        } else if (role == Close) {
            port = npos;
        }
    }
    const std::string_view bare = bareHost(address.substr(begin, (port == npos ? end : port) - begin));
    const bool sameHost = bare.size() == host.size() ? equalFolded(bare, host)
                                                     : bare.size() > host.size()
            && bare[bare.size() - host.size() - 1] == '.' && equalFolded(bare.substr(bare.size() - host.size()), host);
    return sameHost && (path.empty() || startsFolded(address.substr(end), path));
}

} // namespace backtrail::engine
