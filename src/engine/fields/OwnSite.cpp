#include "OwnSite.h"

#include "engine/input/ByteSearch.h"

#include <array>
#include <bit>

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
    const std::string_view bare = bareHost(address.substr(begin, (port == npos ? end : port) - begin));
    const bool sameHost = bare.size() == host.size() ? equalFolded(bare, host)
                                                     : bare.size() > host.size()
            && bare[bare.size() - host.size() - 1] == '.' && equalFolded(bare.substr(bare.size() - host.size()), host);
    return sameHost && (path.empty() || startsFolded(address.substr(end), path));
}

} // namespace backtrail::engine
