#include "LineTime.h"

#include "LogReader.h"

#include <array>
#include <cstring>

namespace backtrail::engine {

namespace {

int digit(char c)
{
    const unsigned value = unsigned(static_cast<unsigned char>(c)) - unsigned('0');
    return value <= 9 ? int(value) : -1;
}

// Two or four decimal digits at p; -1 when one of them is no digit.
int twoDigits(const char* p)
{
    const int high = digit(p[0]);
    const int low = digit(p[1]);
    return (high | low) < 0 ? -1 : high * 10 + low;
}

int fourDigits(const char* p)
{
    const int high = twoDigits(p);
    const int low = twoDigits(p + 2);
    return (high | low) < 0 ? -1 : high * 100 + low;
}

bool isLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int year, int month)
{
    static constexpr unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// A LineTime of the given values when they name a second that exists; the
// digit helpers' -1 fails the checks too. `offset` is in minutes.
bool makeTime(int year, int month, int day, int hour, int minute, int second, int offset, LineTime& time)
{
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 || hour > 23
        || minute < 0 || minute > 59 || second < 0 || second > 59 || offset <= -24 * 60 || offset >= 24 * 60)
        return false;
    time.year = std::int16_t(year);
    time.month = std::uint8_t(month);
    time.day = std::uint8_t(day);
    time.hour = std::uint8_t(hour);
    time.minute = std::uint8_t(minute);
    time.second = std::uint8_t(second);
    time.offsetMinutes = std::int16_t(offset);
    time.valid = true;
    return true;
}

// The month of an English abbreviation as Apache writes it ("Jan", "Sep"); 0 for anything else.
int monthFromName(const char* p)
{
    const char a = p[0], b = p[1], c = p[2];
    switch (a) {
    case 'J':
        if (b == 'a' && c == 'n')
            return 1;
        if (b == 'u' && c == 'n')
            return 6;
        if (b == 'u' && c == 'l')
            return 7;
        return 0;
    case 'F':
        return b == 'e' && c == 'b' ? 2 : 0;
    case 'M':
        if (b == 'a' && c == 'r')
            return 3;
        if (b == 'a' && c == 'y')
            return 5;
        return 0;
    case 'A':
        if (b == 'p' && c == 'r')
            return 4;
        if (b == 'u' && c == 'g')
            return 8;
        return 0;
    case 'S':
        return b == 'e' && c == 'p' ? 9 : 0;
    case 'O':
        return b == 'c' && c == 't' ? 10 : 0;
    case 'N':
        return b == 'o' && c == 'v' ? 11 : 0;
    case 'D':
        return b == 'e' && c == 'c' ? 12 : 0;
    default:
        return 0;
    }
}

constexpr int kNoOffset = 1 << 20; // beyond any offset

// The offset in minutes of "+hhmm", "+hh:mm" or the same with '-' at p, kNoOffset when
// there is none; `after` is set to the byte after it. `end` bounds the read: a
// bracket's five bytes leave no room for the colon form.
int zoneOffset(const char* p, const char* end, const char** after)
{
    if (end - p < 5 || (p[0] != '+' && p[0] != '-'))
        return kNoOffset;
    const int hours = twoDigits(p + 1);
    const char* minutes = p + 3;
    if (*minutes == ':') {
        if (end - p < 6)
            return kNoOffset;
        ++minutes;
    }
    const int mins = twoDigits(minutes);
    if (hours < 0 || mins < 0 || mins > 59)
        return kNoOffset;
    *after = minutes + 2;
    const int offset = hours * 60 + mins;
    return p[0] == '-' ? -offset : offset;
}

// "[08/Dec/2026:17:13:23 +0200]" at b, which holds at least kBracketSize bytes.
constexpr std::ptrdiff_t kBracketSize = 28;

bool bracketTime(const char* b, LineTime& time)
{
    if (b[3] != '/' || b[7] != '/' || b[12] != ':' || b[15] != ':' || b[18] != ':' || b[21] != ' ' || b[27] != ']')
        return false;
    const char* zoneEnd = nullptr;
    const int offset = zoneOffset(b + 22, b + 27, &zoneEnd);
    return offset != kNoOffset
        && makeTime(fourDigits(b + 8), monthFromName(b + 4), twoDigits(b + 1), twoDigits(b + 13), twoDigits(b + 16),
                    twoDigits(b + 19), offset, time);
}

// Skips a fraction of a second (a '.' or ',' and at least one digit) at p; p itself when there is none.
const char* skipFraction(const char* p, const char* end)
{
    if (end - p < 2 || (*p != '.' && *p != ',') || digit(p[1]) < 0)
        return p;
    p += 2;
    while (p < end && digit(*p) >= 0)
        ++p;
    return p;
}

// The values of "2026-12-08" at p, ten bytes; false when the dashes are missing. makeTime checks the values.
bool readDate(const char* p, int& year, int& month, int& day)
{
    if (p[4] != '-' || p[7] != '-')
        return false;
    year = fourDigits(p);
    month = twoDigits(p + 5);
    day = twoDigits(p + 8);
    return true;
}

bool w3cTime(std::string_view date, std::string_view clock, LineTime& time)
{
    if (date.size() != 10 || clock.size() < 8 || clock[2] != ':' || clock[5] != ':')
        return false;
    const char* clockEnd = clock.data() + clock.size();
    if (clock.size() > 8 && skipFraction(clock.data() + 8, clockEnd) != clockEnd)
        return false;
    int year, month, day;
    return readDate(date.data(), year, month, day)
        && makeTime(year, month, day, twoDigits(clock.data()), twoDigits(clock.data() + 3), twoDigits(clock.data() + 6),
                    0, time);
}

// An ISO 8601 date-time whose 'T' is at t, begin <= t - 10.
bool isoTime(const char* begin, const char* t, const char* end, LineTime& time)
{
    const char* date = t - 10;
    if (date[7] != '-' || date[4] != '-' || (date > begin && digit(date[-1]) >= 0))
        return false;
    if (end - t < 10 || t[3] != ':' || t[6] != ':')
        return false;
    const char* zone = skipFraction(t + 9, end);
    int offset = kNoOffset;
    if (zone < end && *zone == 'Z') {
        offset = 0;
    } else {
        const char* after = nullptr;
        offset = zoneOffset(zone, end, &after);
        if (offset != kNoOffset && after < end && digit(*after) >= 0)
            return false;
    }
    int year, month, day;
    return offset != kNoOffset && readDate(date, year, month, day)
        && makeTime(year, month, day, twoDigits(t + 1), twoDigits(t + 4), twoDigits(t + 7), offset, time);
}

} // namespace

std::int32_t DaysFromCivil(int year, unsigned month, unsigned day)
{
    // Howard Hinnant's days_from_civil: years counted from March, in 400-year eras.
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = unsigned(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + std::int32_t(dayOfEra) - 719468;
}

std::int32_t LineTime::localDay() const
{
    return DaysFromCivil(year, month, day);
}

std::int64_t LineTime::localKey() const
{
    return std::int64_t(localDay()) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string LineTime::iso() const
{
    std::string text;
    appendIso(text);
    return text;
}

void LineTime::appendIso(std::string& out) const
{
    if (!valid)
        return;
    // Two digits at a time: a large answer writes two times a row.
    static constexpr auto kPairs = [] {
        std::array<char, 200> pairs {};
        for (int i = 0; i < 100; ++i) {
            pairs[std::size_t(2 * i)] = char('0' + i / 10);
            pairs[std::size_t(2 * i + 1)] = char('0' + i % 10);
        }
        return pairs;
    }();
    char text[25];
    auto put2 = [&](std::size_t at, int value) { std::memcpy(text + at, &kPairs[std::size_t(2 * value)], 2); };
    const int y = year < 0 ? 0 : year % 10000;
    put2(0, y / 100);
    put2(2, y % 100);
    text[4] = '-';
    put2(5, month % 100);
    text[7] = '-';
    put2(8, day % 100);
    text[10] = 'T';
    put2(11, hour % 100);
    text[13] = ':';
    put2(14, minute % 100);
    text[16] = ':';
    put2(17, second % 100);
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    text[19] = offsetMinutes < 0 ? '-' : '+';
    put2(20, offset / 60 % 100);
    text[22] = ':';
    put2(23, offset % 60);
    out.append(text, sizeof text);
}

LineTime FindLineTime(std::string_view line, const LineMarks& marks, const W3cFields& fields)
{
    LineTime time;
    const char* const begin = line.data();
    const char* const end = begin + line.size();

    for (std::size_t at = marks.next(Mark::Bracket, 0);
         at != std::string_view::npos && at + kBracketSize <= line.size(); at = marks.next(Mark::Bracket, at + 1)) {
        if (bracketTime(begin + at, time))
            return time;
    }

    if (fields.count > 0 && fields.date >= 0 && fields.time >= 0 && !line.empty() && line[0] != '#') {
        std::string_view date, clock;
        const int count = ForEachW3cField(line, [&](int index, std::string_view field) {
            if (index == fields.date)
                date = field;
            if (index == fields.time)
                clock = field;
        });
        if (count == fields.count && w3cTime(date, clock, time))
            return time;
    }

    // An ISO date-time is found by its 'T', which stands ten bytes after the
    // start; a 'T' elsewhere in a log (HTTP, GET) fails the first test.
    for (const char* from = begin + 10; from < end;) {
        const void* hit = std::memchr(from, 'T', std::size_t(end - from));
        if (!hit)
            break;
        const char* t = static_cast<const char*>(hit);
        if (isoTime(begin, t, end, time))
            return time;
        from = t + 1;
    }
    return LineTime {};
}

std::optional<std::int64_t> ParseRangeBound(std::string_view text, bool isEnd)
{
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return std::nullopt;
    const char* p = text.data();
    int year, month, day;
    if (!readDate(p, year, month, day))
        return std::nullopt;
    LineTime time;
    if (text.size() == 10) {
        if (!makeTime(year, month, day, isEnd ? 23 : 0, isEnd ? 59 : 0, isEnd ? 59 : 0, 0, time))
            return std::nullopt;
        return time.localKey();
    }
    if ((p[10] != 'T' && p[10] != ' ') || p[13] != ':' || (text.size() == 19 && p[16] != ':'))
        return std::nullopt;
    const int second = text.size() == 19 ? twoDigits(p + 17) : 0;
    if (!makeTime(year, month, day, twoDigits(p + 11), twoDigits(p + 14), second, 0, time))
        return std::nullopt;
    return time.localKey();
}

LineTime FindLineTime(std::string_view line, const W3cFields& fields)
{
    return FindLineTime(line, OwnLineMarks(line), fields);
}

} // namespace backtrail::engine
