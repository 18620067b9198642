#pragma once

#include "W3cFields.h"
#include "engine/input/BlockMarks.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace backtrail::engine {

/// The time of a log line to the second, as the line writes it: the local date
/// and time of the server and its offset from UTC.
///
/// Kept as the written fields in 10 bytes (alignment 2), since every entry
/// stores when it was first and last seen; the keys below are a few integer
/// operations away. A default LineTime is no time (`valid` false).
struct LineTime
{
    std::int16_t year = 1970; ///< 0..9999
    std::int16_t offsetMinutes = 0; ///< east of UTC positive: +0200 is 120; |offset| < 24 hours
    std::uint8_t month = 1; ///< 1..12
    std::uint8_t day = 1; ///< 1..last day of the month
    std::uint8_t hour = 0; ///< 0..23
    std::uint8_t minute = 0; ///< 0..59
    std::uint8_t second = 0; ///< 0..59
    bool valid = false;

    /// Seconds since 1970-01-01T00:00:00 of the date and time as written, the
    /// offset set aside: date ranges compare these, the time on the server's clock.
    std::int64_t localKey() const;
    /// The instant the line was written, seconds since the Unix epoch: first
    /// and last seen compare these.
    std::int64_t instant() const { return localKey() - std::int64_t(offsetMinutes) * 60; }
    /// Days since 1970-01-01 of the date as written: the server's day.
    std::int32_t localDay() const;
    /// True when this is an earlier instant than `other`. Times of one offset
    /// (all of a server's lines, mostly) compare their written fields as they
    /// stand, without counting days.
    bool earlierThan(const LineTime& other) const
    {
        if (offsetMinutes == other.offsetMinutes)
            return writtenKey() < other.writtenKey();
        return instant() < other.instant();
    }
    /// "2026-12-08T17:13:23+02:00"; an offset of zero is "+00:00". Empty when no time.
    std::string iso() const;
    /// The same text appended to `out` (nothing when no time).
    void appendIso(std::string& out) const;

    bool operator==(const LineTime&) const = default;

private:
    // The written date and time as one number that orders like them.
    std::uint64_t writtenKey() const
    {
        return std::uint64_t(std::uint16_t(year)) << 40 | std::uint64_t(month) << 32 | std::uint64_t(day) << 24
            | std::uint64_t(hour) << 16 | std::uint64_t(minute) << 8 | std::uint64_t(second);
    }
};

/// First and last seen as lines come: a time replaces `first` only when it
/// is an earlier instant, `last` only when it is a later one, so that where
/// lines tie the first of them in the scan stays. No time changes nothing.
inline void KeepEarlier(LineTime& first, const LineTime& time)
{
    if (time.valid && (!first.valid || time.earlierThan(first)))
        first = time;
}
inline void KeepLater(LineTime& last, const LineTime& time)
{
    if (time.valid && (!last.valid || last.earlierThan(time)))
        last = time;
}

/// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int32_t DaysFromCivil(int year, unsigned month, unsigned day);

/// The time of a log line, the first of these that the line holds:
///  1. the first bracket with a valid "[08/Dec/2026:17:13:23 +0200]" (combined
///     and common logs; English month names as Apache writes them);
///  2. in a W3C log whose "#Fields:" name date and time, on a line that is no
///     directive and has as many fields as named: those two fields
///     ("2026-12-08", "17:13:23" or "17:13:23.123"), in UTC;
///  3. the first valid "2026-12-08T17:13:23+02:00": seconds may carry a
///     fraction ('.' or ','), the zone is "Z", "+hh:mm" or "+hhmm" (or '-').
///     A date-time without a zone is passed over: it is no instant, and it is
///     what dates in a query string look like.
/// A fraction of a second is dropped. No time found: `valid` is false.
/// `marks` are the line's: a bracketed time is found by its marked "[".
LineTime FindLineTime(std::string_view line, const LineMarks& marks, const W3cFields& fields);
/// The same for a line held on its own.
LineTime FindLineTime(std::string_view line, const W3cFields& fields);

/// A bound given to --since or --until, comparable to LineTime::localKey():
/// "2026-12-08" is the whole day, from 00:00:00 (`isEnd` false) or to
/// 23:59:59 inclusive (`isEnd` true); "2026-12-08T10:00" and
/// "2026-12-08T10:00:30" (or with a blank for the 'T') are that second.
/// Anything else, a zone included, is nullopt.
std::optional<std::int64_t> ParseRangeBound(std::string_view text, bool isEnd);

/// The lines a scan takes by their time as written, both bounds inclusive.
struct DateRange
{
    std::int64_t since = std::numeric_limits<std::int64_t>::min();
    std::int64_t until = std::numeric_limits<std::int64_t>::max();

    bool active() const
    {
        return since != std::numeric_limits<std::int64_t>::min() || until != std::numeric_limits<std::int64_t>::max();
    }
    /// Every line is inside an inactive range; a line without time is outside an active one.
    bool contains(const LineTime& time) const
    {
        if (!active())
            return true;
        if (!time.valid)
            return false;
        const std::int64_t key = time.localKey();
        return since <= key && key <= until;
    }
};

} // namespace backtrail::engine
