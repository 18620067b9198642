#pragma once

#include "LineShape.h"
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
    /// also accepts "https://" addresses; `format` is how lines are read.
    ReferrerMatcher(std::string_view ownDomain, bool https, LogFormat format = LogFormat::Auto);

    LogFormat format() const { return lineFormat; }

    /// Where the line's first address starts: the first "http://" (or, with
    /// https on, "https://" when that comes first), letter case ignored; npos
    /// when none. The referrer of a line of no known shape starts there.
    std::size_t addressStart(std::string_view line) const;

    /// True when a line held on its own (read by its shape, without W3C field
    /// names) has a referrer by findReferrer's rule.
    bool IsReferrerLine(std::string_view line) const;

    struct Referrer
    {
        std::string_view text; ///< a view into the line, or into a JSON line's unescaped value
        bool closedByParen = false; ///< ended by ")": a crawler's address in its user agent
        bool inAgent = false; ///< found in the user-agent field: a crawler's address
    };

    /// Cuts the referrer out of a line held on its own (read as IsReferrerLine
    /// reads it), and writes the line without any occurrence of the referrer
    /// into `remainder`; an empty referrer when the line has none. The text is
    /// a view into the line: a JSON value that the line writes with escapes
    /// has none, and is empty too.
    Referrer ExtractReferrer(std::string_view line, std::string& remainder) const;

    /// The line's referrer: false when the line has none or is the own site's.
    ///
    /// A line of a known shape (`fields`, as LineShapeReader read it) gives its
    /// referrer field's first address ("http://", "https://" with https on,
    /// and "android-app://"), ended as below or at the field's end; the line
    /// is the own site's when that address is. A referrer field without an
    /// address gives the first address in the user-agent field (a crawler's;
    /// it also ends at ";"), tested the same way. No other field counts.
    ///
    /// A line of no known shape gives its first address ("http://", and
    /// "https://" with https on), and is the own site's when any of its
    /// addresses is.
    ///
    /// An address ends at the first double quote or control byte, else at the
    /// first ")", else after the first blank (which it keeps). `marks` are the
    /// line's; `start` is where the referrer starts in the line (npos when it
    /// is a JSON line's unescaped value).
    /// A user-agent field left for later is read when it is needed.
    bool findReferrer(std::string_view line, const LineMarks& marks, LineFields& fields, Referrer& referrer,
                      std::size_t& start) const;
    /// The line without any occurrence of `referrer`, searched left to right;
    /// `marks` are the line's.
    static void Remainder(std::string_view line, const LineMarks& marks, std::string_view referrer,
                          std::string& remainder);

private:
    static Referrer cutAt(std::string_view line, std::size_t start);
    bool findInText(std::string_view line, const LineMarks& marks, Referrer& referrer, std::size_t& start) const;
    // -1 for the own site's address, 0 for none, 1 for a referrer.
    int findInField(std::string_view line, const LineMarks* marks, std::string_view field, bool agent,
                    Referrer& referrer, std::size_t& start) const;
    // The length of the scheme that stands before the "://" at `separator`
    // ("http" 4, "https" 5 with https on, "android-app" 11 with `apps`), 0
    // when it starts no address.
    std::size_t schemeBefore(std::string_view text, std::size_t separator, bool apps) const;
    OwnSite own;
    bool https;
    LogFormat lineFormat;
};

} // namespace backtrail::engine
