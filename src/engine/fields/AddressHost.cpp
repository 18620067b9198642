#include "AddressHost.h"

#include "engine/base/AsciiCase.h"
#include "engine/input/ByteSearch.h"

#include <array>

namespace backtrail::engine {

namespace {

constexpr std::size_t npos = std::string_view::npos;

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

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

std::string_view AddressHost(std::string_view address, std::size_t* authorityEnd)
{
    std::size_t begin = 0; // where the host starts: after user information
    std::size_t port = npos; // the first ":" after the last "]" and "@"
    const char* const base = address.data();
    std::size_t end = 0;
    // Most of a host is letters, digits, dots and hyphens: skipped many at a time.
    for (; end < address.size(); ++end) {
        end = std::size_t(SkipHostNameBytes(base + end, base + address.size()) - base);
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
    if (authorityEnd)
        *authorityEnd = end;
    return address.substr(begin, (port == npos ? end : port) - begin);
}

std::string_view AfterScheme(std::string_view address)
{
    if (address.empty() || !isLetter(address.front()))
        return address;
    for (std::size_t i = 1; i < address.size(); ++i) {
        const char c = address[i];
        if (c == ':')
            return address.substr(i).starts_with("://") ? address.substr(i + 3) : address;
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return address;
    }
    return address;
}

std::string_view BareHost(std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (host.size() > 4 && AsciiLower(host[0]) == 'w' && AsciiLower(host[1]) == 'w' && AsciiLower(host[2]) == 'w'
        && host[3] == '.')
        host.remove_prefix(4);
    return host;
}

std::string NormalHost(std::string_view host)
{
    return AsciiLowered(BareHost(host));
}

} // namespace backtrail::engine
