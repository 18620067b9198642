#pragma once

// The rule that makes a log line a referrer line, written the plain way, as
// the reference for the scanner's fast reading: every "http://" (and
// "https://" with https on) starts an address, letter case ignored; the line
// is a referrer line when it has an address and none of its addresses is the
// own site's. Shared by the engine's tests, the scanner's tests and the fuzzer.

#include <cstring>
#include <string>
#include <string_view>

namespace backtrail::testing {

inline std::string PlainLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

// "www.example.org." compares as "example.org".
inline std::string PlainBareHost(std::string host)
{
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    if (host.size() > 4 && host.compare(0, 4, "www.") == 0)
        host.erase(0, 4);
    return host;
}

// A host with its port: the port starts at the first ':' after the last ']'.
inline std::string PlainWithoutPort(std::string host)
{
    const std::size_t bracket = host.rfind(']');
    const std::size_t colon = host.find(':', bracket == std::string::npos ? 0 : bracket);
    return colon == std::string::npos ? host : host.substr(0, colon);
}

/// Whether the address whose text after "://" is `afterScheme` (running on
/// to the line's end) is the site that the own domain setting names.
inline bool PlainIsOwnAddress(std::string_view afterScheme, std::string_view setting)
{
    std::string own = PlainLower(setting);
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!own.empty() && blank(own.front()))
        own.erase(0, 1);
    while (!own.empty() && blank(own.back()))
        own.pop_back();
    for (const char* scheme : {"http://", "https://"}) {
        if (own.rfind(scheme, 0) == 0)
            own.erase(0, std::strlen(scheme));
    }
    // The setting is read as an address is: its host ends at the first of
    // "/?#\" )\\" or a control byte, and its path starts at the first "/" after that.
    auto hostEnd = [](const std::string& text) {
        std::size_t end = 0;
        while (end < text.size() && !std::strchr("/?#\" )\\", text[end])
               && static_cast<unsigned char>(text[end]) >= 0x20 && text[end] != 0x7F)
            ++end;
        return end;
    };
    const std::size_t ownEnd = hostEnd(own);
    std::string ownPath;
    if (const std::size_t slash = own.find('/', ownEnd); slash != std::string::npos)
        ownPath = own.substr(slash);
    if (ownPath.find_first_not_of('/') == std::string::npos)
        ownPath.clear();
    own.erase(ownEnd);
    if (const std::size_t at = own.rfind('@'); at != std::string::npos)
        own.erase(0, at + 1);
    own = PlainBareHost(PlainWithoutPort(own));
    if (own.empty())
        return true;

    const std::string address = PlainLower(afterScheme);
    const std::size_t end = hostEnd(address);
    std::string host = address.substr(0, end);
    if (const std::size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    host = PlainBareHost(PlainWithoutPort(host));
    const bool sameSite = host == own
        || (host.size() > own.size() && host.compare(host.size() - own.size() - 1, std::string::npos, "." + own) == 0);
    return sameSite && address.compare(end, ownPath.size(), ownPath) == 0;
}

/// The length of the scheme before the "://" at `at` of lower-case text:
/// "http" 4, "https" 5 with https on, "android-app" 11 with `apps`; 0 for none.
inline std::size_t PlainSchemeBefore(const std::string& lower, std::size_t at, bool https, bool apps)
{
    if (at >= 4 && lower.compare(at - 4, 4, "http") == 0)
        return 4;
    if (https && at >= 5 && lower.compare(at - 5, 5, "https") == 0)
        return 5;
    if (apps && at >= 11 && lower.compare(at - 11, 11, "android-app") == 0)
        return 11;
    return 0;
}

/// Where the line's referrer starts (its first address), or npos when the
/// line is no referrer line.
inline std::size_t PlainReferrerStart(std::string_view line, std::string_view setting, bool https)
{
    const std::string lower = PlainLower(line);
    std::size_t first = std::string::npos;
    for (std::size_t at = lower.find("://"); at != std::string::npos; at = lower.find("://", at + 1)) {
        const std::size_t scheme = PlainSchemeBefore(lower, at, https, false);
        if (scheme == 0)
            continue;
        if (PlainIsOwnAddress(line.substr(at + 3), setting))
            return std::string::npos;
        if (first == std::string::npos)
            first = at - scheme;
    }
    return first;
}

} // namespace backtrail::testing
