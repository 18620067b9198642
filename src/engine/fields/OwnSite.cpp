#include "OwnSite.h"

#include "AddressHost.h"

namespace backtrail::engine {

namespace {

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
    std::size_t end = 0;
    host = NormalHost(AddressHost(setting, &end));
    const std::size_t slash = setting.find('/', end);
    const std::string_view ownPath = slash == std::string_view::npos ? std::string_view() : setting.substr(slash);
    // "example.org/" names the whole site
    path = ownPath.find_first_not_of('/') == std::string_view::npos ? std::string() : folded(ownPath);
}

bool OwnSite::holds(std::string_view address) const
{
    if (host.empty())
        return true;
    std::size_t end = 0;
    const std::string_view bare = BareHost(AddressHost(address, &end));
    const bool sameHost = bare.size() == host.size() ? equalFolded(bare, host)
                                                     : bare.size() > host.size()
            && bare[bare.size() - host.size() - 1] == '.' && equalFolded(bare.substr(bare.size() - host.size()), host);
    return sameHost && (path.empty() || startsFolded(address.substr(end), path));
}

} // namespace backtrail::engine
