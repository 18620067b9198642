#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// The parts of a referrer that its source is told by.
struct ReferrerParts
{
    std::string host; ///< its normal form (NormalHost of ReferrerHost); an app's package
    std::string_view path; ///< from the first "/" after the host up to "?" or "#"
    std::string_view query; ///< after "?" up to "#"
    std::string_view pathOnward; ///< the path with its query and fragment: all after the host and port
    bool app = false; ///< an app's address (android-app://), whose host is the app's package
};
/// Cuts a referrer into its parts.
ReferrerParts SplitReferrer(std::string_view referrer);

/// True when the text (lower case, no leading or trailing dot) is a public
/// suffix of the ICANN part of the Public Suffix List ("com", "co.uk"); the
/// list's implicit "*" rule does not count, so an unlisted top-level label is
/// none. Only letters, digits, dots and hyphens are asked about: any other
/// text is none.
bool IsPublicSuffix(std::string_view domain);

/// Percent-decodes a text (a "%" not followed by two hex digits stays as it
/// is); with `plusIsBlank`, "+" becomes a blank.
std::string PercentDecoded(std::string_view text, bool plusIsBlank);

/// Search words' bytes as UTF-8: UTF-8 as they are, else decoded with the
/// first of `charsets` that reads them without a fault, else with each byte
/// that is no UTF-8 replaced by U+FFFD.
std::string WordsAsUtf8(std::string_view bytes, const std::vector<std::string>& charsets);

} // namespace backtrail::engine
