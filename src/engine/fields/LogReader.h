#pragma once

#include "OwnSite.h"
#include "W3cFields.h"
#include "engine/input/BlockMarks.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace backtrail::engine {

/// Finds a byte string in text, ignoring the letter case of ASCII letters; every
/// other byte compares exactly. The search looks for the needle's rarest byte
/// with memchr and then compares the rest, so it runs at memchr speed on logs.
class CaseInsensitiveFinder
{
public:
    explicit CaseInsensitiveFinder(std::string_view needle);
    /// Position of the first occurrence, std::string_view::npos when there is none.
    /// An empty needle is found at 0.
    std::size_t find(std::string_view text, std::size_t from = 0) const;
    bool containedIn(std::string_view text) const { return find(text) != std::string_view::npos; }

private:
    bool matchesAt(const char* at) const;
    std::string lower;
    std::size_t anchor = 0;
    unsigned char anchorLower = 0;
    unsigned char anchorUpper = 0;
};

/// True when `text` starts with `prefix`, ASCII letter case ignored.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

/// The requested path of a log line: in a quoted request ("GET /path HTTP/1.1")
/// the text after the first double quote followed by capital letters and one
/// blank, up to the next blank or double quote; otherwise a W3C line's
/// cs-uri-stem (with "?" and cs-uri-query when present); otherwise empty.
/// `marks` are the line's.
std::string_view LandingPath(std::string_view line, const LineMarks& marks, const W3cFields& fields,
                             std::string& scratch);
/// The same for a line held on its own.
std::string_view LandingPath(std::string_view line, const W3cFields& fields, std::string& scratch);

/// The tests that decide whether a log line carries an outside referrer and
/// which one, for one own domain.
class ReferrerMatcher
{
public:
    /// `ownDomain` is the own domain setting's bytes (see OwnSite); `https`
    /// also accepts "https://" addresses.
    ReferrerMatcher(std::string_view ownDomain, bool https);

    /// Where the line's referrer starts: the first "http://" (or, with https on,
    /// "https://" when that comes first), letter case ignored; npos when none.
    std::size_t addressStart(std::string_view line) const;

    /// True when the line holds an address and none of its addresses (each
    /// "http://", and "https://" with https on) is the own site's; with an
    /// empty own domain every address is the own site's.
    bool IsReferrerLine(std::string_view line) const;

    struct Referrer
    {
        std::string_view text; ///< a view into the line
        bool closedByParen = false; ///< ended by ")": a crawler's address in its user agent
    };

    /// Cuts the referrer out of a line that passed IsReferrerLine, and writes
    /// the line without any occurrence of the referrer into `remainder`.
    Referrer ExtractReferrer(std::string_view line, std::string& remainder) const;

    /// Both steps at once for the reader, without the remainder, which the
    /// reader makes only when it needs it: false when the line is no referrer
    /// line; `marks` are the line's, `start` where the referrer starts in the line.
    bool findReferrer(std::string_view line, const LineMarks& marks, Referrer& referrer, std::size_t& start) const;
    /// The line without any occurrence of the referrer that starts at `start`;
    /// `marks` are the line's.
    static void Remainder(std::string_view line, const LineMarks& marks, std::size_t start, std::string_view referrer,
                          std::string& remainder);

private:
    static Referrer cutAt(std::string_view line, std::size_t start);
    std::size_t addressStart(std::string_view line, const LineMarks& marks) const;
    // The length of the scheme that stands before the "://" at `separator`
    // ("http" 4, "https" 5 with https on), 0 when it starts no address.
    std::size_t schemeBefore(std::string_view line, std::size_t separator) const;
    OwnSite own;
    bool https;
};

} // namespace backtrail::engine
