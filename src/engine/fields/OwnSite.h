#pragma once

#include <string>
#include <string_view>

namespace backtrail::engine {

/// What the own domain matches, as the scanner's help and the Options window say it.
inline constexpr const char* kOwnDomainHelp
    = "A line is the own site's, and no referrer line, when its referrer address (in a line of a known shape "
      "the address in its referrer field; in other text any of its addresses: http://, and https:// with https "
      "on) has this host or one below it (blog.example.org for example.org; \"www.\", letter case, a scheme "
      "and a port ignored) and, where the domain holds a path (example.org/blog), starts with that path. The "
      "site's name elsewhere in a line (the request, a host field, inside another site's address) does not "
      "count.";

/// The site the logs belong to, as the own domain setting names it, and the
/// test that tells its addresses from other sites'.
///
/// The setting is a host with an optional path ("example.org",
/// "www.example.org", "example.org/blog"); a scheme typed before it
/// ("https://example.org") and a port are ignored. An address is the own
/// site's when its host is the own host or one below it (blog.example.org),
/// letter case ignored and a leading "www." ignored on both sides, and, where
/// the setting holds a path, the address's path starts with it.
///
/// Only addresses count: the own site's name in a host field, in a path or
/// percent-encoded inside another site's address (a search engine's redirect)
/// does not make a line the own site's.
class OwnSite
{
public:
    explicit OwnSite(std::string_view setting);

    /// True when the setting names no host: every address is then taken as
    /// the own site's, so that no line is a referrer line.
    bool empty() const { return host.empty(); }

    /// Whether the address whose text after its "://" is `address` (which may
    /// run on past the address's end, to the end of its line) is the own
    /// site's. The address's host is read as AddressHost reads it: from after
    /// its last "@" (user information is no part of it) to the first of "/",
    /// "?", "#", a blank, a double quote, ")", "\" or a control byte; a port
    /// (from the first ":" after the last "]") is dropped.
    bool holds(std::string_view address) const;

private:
    std::string host; ///< lower case, without a leading "www." or a trailing "."
    std::string path; ///< lower case; empty when the setting holds none
};

} // namespace backtrail::engine
