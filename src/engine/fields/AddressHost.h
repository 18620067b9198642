#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace backtrail::engine {

// The one reading of an address's host, shared by the own site's test, the
// spam list, the source lists and grouping by site.

/// The host of an address whose text after its "://" is `address` (which may
/// run on past the address's end, to the end of its line), as written: a
/// view into `address`. The address's authority ends at the first "/", "?",
/// "#", blank, double quote, ")", "\" or control byte (DEL too); its host runs
/// from after the last "@" in it (user information is no part of the host) up
/// to a port, which starts at the first ":" after the last "]" (the colons of
/// an IPv6 address in brackets are no port's; the brackets stay). An app's
/// address (android-app://com.example.reader/) has its package as its host.
/// `authorityEnd`, when given, receives where the authority ends.
std::string_view AddressHost(std::string_view address, std::size_t* authorityEnd = nullptr);

/// The text after an address's scheme and "://" ("http://", "android-app://"; a
/// scheme is a letter followed by letters, digits, "+", "-" or "."); the whole
/// text when it starts with none.
std::string_view AfterScheme(std::string_view address);

/// The host of a referrer as written: AddressHost of the text after its scheme.
inline std::string_view ReferrerHost(std::string_view referrer)
{
    return AddressHost(AfterScheme(referrer));
}

/// A host as hosts are compared, letter case as written: without one trailing
/// "." (a fully qualified name) and then without a leading "www." of either
/// letter case (unless nothing would be left after it).
std::string_view BareHost(std::string_view host);

/// A host's normal form: BareHost in ASCII lower case ("WWW.Example.com." is
/// "example.com").
std::string NormalHost(std::string_view host);

} // namespace backtrail::engine
