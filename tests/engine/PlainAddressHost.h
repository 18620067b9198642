#pragma once

// The host of an address read the plain way, a byte at a time: the reference
// for AddressHost and every reader of a referrer's host.

#include "PlainReferrerRule.h"

#include <string>

namespace backtrail::testing {

/// The text after a scheme (a letter, then letters, digits, "+", "-" or ".")
/// and "://"; the whole text without one.
inline std::string PlainAfterScheme(const std::string& text)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto more = [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; };
    std::size_t i = 0;
    while (i < text.size() && (i == 0 ? letter(text[i]) : more(text[i])))
        ++i;
    return i > 0 && text.compare(i, 3, "://") == 0 ? text.substr(i + 3) : text;
}

struct PlainHost
{
    std::size_t begin = 0; ///< where the host starts in the text read
    std::string host; ///< as written
    std::size_t authorityEnd = 0;
};

/// The host of the text after an address's "://": its authority ends at the
/// first "/", "?", "#", blank, double quote, ")", "\", control byte or DEL;
/// user information up to the last "@" and a port are no part of the host.
inline PlainHost PlainAddressHost(const std::string& address)
{
    PlainHost plain;
    const std::string ends = "/?# \")\\";
    while (plain.authorityEnd < address.size()) {
        const auto b = static_cast<unsigned char>(address[plain.authorityEnd]);
        if (b < 0x20 || b == 0x7F || ends.find(char(b)) != std::string::npos)
            break;
        ++plain.authorityEnd;
    }
    const std::string authority = address.substr(0, plain.authorityEnd);
    const std::size_t at = authority.rfind('@');
    plain.begin = at == std::string::npos ? 0 : at + 1;
    plain.host = PlainWithoutPort(authority.substr(plain.begin));
    return plain;
}

/// A referrer's host in its normal form: lower case, no trailing ".", no leading "www.".
inline std::string PlainNormalHost(const std::string& referrer)
{
    return PlainBareHost(PlainLower(PlainAddressHost(PlainAfterScheme(referrer)).host));
}

} // namespace backtrail::testing
