#include "LogReader.h"

#include "engine/input/ByteSearch.h"

#include <cstring>

namespace backtrail::engine {

namespace {

constexpr unsigned char asciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
constexpr unsigned char asciiUpper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

// How common each byte is in web-server access logs, letter case folded, on a
// logarithmic scale from 0 (never seen) to 255; measured on a day of a real
// site's combined log. The finder anchors its memchr on the rarest byte of
// its needle; bytes past 0x7F count as rare.
constexpr unsigned char kLogByteFrequency[128] = {
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   160, 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   211, 82,  191, 55,  45,  137, 142, 0,   165, 165, 24,  164,
    145, 185, 202, 203, 207, 202, 194, 185, 176, 190, 181, 180, 174, 172, 184, 169, 0,   150, 0,   131, 92,  194,
    172, 188, 170, 201, 174, 185, 185, 193, 148, 174, 193, 192, 185, 198, 191, 132, 185, 194, 201, 167, 160, 181,
    169, 168, 159, 160, 67,  160, 0,   153, 0,   194, 172, 188, 170, 201, 174, 185, 185, 193, 148, 174, 193, 192,
    185, 198, 191, 132, 185, 194, 201, 167, 160, 181, 169, 168, 159, 0,   0,   0,   52,  0,
};

int commonness(unsigned char c)
{
    // A letter needs two memchr searches (both cases), so it must be clearly
    // rarer than a non-letter to win.
    const int base = c < 128 ? kLogByteFrequency[c] : 0;
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return base + (letter ? 12 : 0);
}

} // namespace

CaseInsensitiveFinder::CaseInsensitiveFinder(std::string_view needle)
{
    lower.reserve(needle.size());
    for (const char c : needle)
        lower.push_back(char(asciiLower(static_cast<unsigned char>(c))));
    int best = 1000;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const int rank = commonness(static_cast<unsigned char>(lower[i]));
        if (rank < best) {
            best = rank;
            anchor = i;
        }
    }
    if (!lower.empty()) {
        anchorLower = static_cast<unsigned char>(lower[anchor]);
        anchorUpper = asciiUpper(anchorLower);
    }
}

bool CaseInsensitiveFinder::matchesAt(const char* at) const
{
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (asciiLower(static_cast<unsigned char>(at[i])) != static_cast<unsigned char>(lower[i]))
            return false;
    }
    return true;
}

std::size_t CaseInsensitiveFinder::find(std::string_view text, std::size_t from) const
{
    const std::size_t n = lower.size();
    if (from > text.size() || text.size() - from < n)
        return n == 0 && from <= text.size() ? from : std::string_view::npos;
    if (n == 0)
        return from;
    // Candidate anchor positions lie in [first, last).
    const char* const base = text.data();
    const char* first = base + from + anchor;
    const char* const last = base + (text.size() - n) + anchor + 1;
    auto next = [&](unsigned char c, const char* at) -> const char* {
        const void* hit = std::memchr(at, c, std::size_t(last - at));
        return hit ? static_cast<const char*>(hit) : last;
    };
    const bool twoCases = anchorLower != anchorUpper;
    const char* lo = next(anchorLower, first);
    const char* up = twoCases ? next(anchorUpper, first) : last;
    for (;;) {
        const char* at = lo < up ? lo : up;
        if (at == last)
            return std::string_view::npos;
        if (matchesAt(at - anchor))
            return std::size_t(at - anchor - base);
        if (at == lo)
            lo = next(anchorLower, at + 1);
        else
            up = next(anchorUpper, at + 1);
    }
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(static_cast<unsigned char>(text[i])) != asciiLower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

namespace {

// Where the path of the line's quoted request starts ("GET /path ..."): after
// the first double quote followed by capital letters and one blank; npos when none.
std::size_t quotedRequestPath(std::string_view line, const LineMarks& marks)
{
    for (std::size_t q = marks.next(Mark::Quote, 0); q != std::string_view::npos; q = marks.next(Mark::Quote, q + 1)) {
        std::size_t j = q + 1;
        while (j < line.size() && line[j] >= 'A' && line[j] <= 'Z')
            ++j;
        if (j > q + 1 && j < line.size() && line[j] == ' ')
            return j + 1;
    }
    return std::string_view::npos;
}

} // namespace

std::string_view LandingPath(std::string_view line, const LineMarks& marks, const W3cFields& fields,
                             std::string& scratch)
{
    if (const std::size_t start = quotedRequestPath(line, marks); start != std::string_view::npos) {
        std::size_t end = start;
        while (end < line.size() && line[end] != ' ' && line[end] != '"')
            ++end;
        return line.substr(start, end - start);
    }
    if (fields.count == 0 || fields.uriStem < 0 || line.empty() || line[0] == '#')
        return {};
    std::string_view stem;
    std::string_view query;
    const int count = ForEachW3cField(line, [&](int index, std::string_view field) {
        if (index == fields.uriStem)
            stem = field;
        else if (index == fields.uriQuery)
            query = field;
    });
    if (count != fields.count)
        return {};
    if (query.empty() || query == "-")
        return stem;
    scratch.assign(stem);
    scratch += '?';
    scratch += query;
    return scratch;
}

std::string_view LandingPath(std::string_view line, const W3cFields& fields, std::string& scratch)
{
    return LandingPath(line, OwnLineMarks(line), fields, scratch);
}

ReferrerMatcher::ReferrerMatcher(std::string_view ownDomain, bool httpsToo, LogFormat format)
    : own(ownDomain)
    , https(httpsToo)
    , lineFormat(format)
{
}

std::size_t ReferrerMatcher::schemeBefore(std::string_view text, std::size_t separator, bool apps) const
{
    if (separator >= 4 && StartsWithIgnoringCase(text.substr(separator - 4), "http"))
        return 4;
    if (https && separator >= 5 && StartsWithIgnoringCase(text.substr(separator - 5), "https"))
        return 5;
    if (apps && separator >= 11 && StartsWithIgnoringCase(text.substr(separator - 11), "android-app"))
        return 11;
    return 0;
}

std::size_t ReferrerMatcher::addressStart(std::string_view line) const
{
    const OwnLineMarks marks(line);
    const LineMarks lineMarks = marks;
    for (std::size_t at = lineMarks.next(Mark::Scheme, 0); at != std::string_view::npos;
         at = lineMarks.next(Mark::Scheme, at + 1)) {
        if (const std::size_t scheme = schemeBefore(line, at, false))
            return at - scheme;
    }
    return std::string_view::npos;
}

bool ReferrerMatcher::IsReferrerLine(std::string_view line) const
{
    const OwnLineMarks marks(line);
    LineShapeReader shapes(lineFormat);
    Referrer referrer;
    std::size_t start = 0;
    LineFields fields = shapes.read(line, marks, W3cFields());
    return findReferrer(line, marks, fields, referrer, start);
}

ReferrerMatcher::Referrer ReferrerMatcher::ExtractReferrer(std::string_view line, std::string& remainder) const
{
    const OwnLineMarks marks(line);
    LineShapeReader shapes(lineFormat);
    LineFields fields = shapes.read(line, marks, W3cFields());
    Referrer referrer;
    std::size_t start = 0;
    if (!findReferrer(line, marks, fields, referrer, start)) {
        remainder.assign(line);
        return {};
    }
    Remainder(line, marks, referrer.text, remainder);
    if (!fields.inLine() && fields.known()) {
        // The value lives in the reader, which ends here: the text found in
        // the line instead, or none.
        const std::size_t at = line.find(referrer.text);
        referrer.text = at == std::string_view::npos ? std::string_view() : line.substr(at, referrer.text.size());
    }
    return referrer;
}

bool ReferrerMatcher::findReferrer(std::string_view line, const LineMarks& marks, LineFields& fields,
                                   Referrer& referrer, std::size_t& start) const
{
    if (!fields.known())
        return findInText(line, marks, referrer, start);
    const LineMarks* const lineMarks = fields.inLine() ? &marks : nullptr;
    if (const int found = findInField(line, lineMarks, fields.referrer, false, referrer, start))
        return found > 0;
    ReadAgentField(line, marks, fields);
    return findInField(line, lineMarks, fields.agent, true, referrer, start) > 0;
}

int ReferrerMatcher::findInField(std::string_view line, const LineMarks* marks, std::string_view field, bool agent,
                                 Referrer& referrer, std::size_t& start) const
{
    if (field.size() < 4)
        return 0;
    // The field's "://" separators: from the line's marks where the field lies
    // in the line, else searched in the value.
    const std::size_t offset = marks ? std::size_t(field.data() - line.data()) : 0;
    auto next = [&](std::size_t from) {
        if (!marks)
            return field.find("://", from);
        const std::size_t at = marks->next(Mark::Scheme, offset + from);
        return at == std::string_view::npos || at + 3 > offset + field.size() ? std::string_view::npos : at - offset;
    };
    for (std::size_t at = next(0); at != std::string_view::npos; at = next(at + 1)) {
        const std::size_t length = schemeBefore(field, at, true);
        if (length == 0)
            continue;
        if (own.holds(field.substr(at + 3)))
            return -1;
        referrer = cutAt(field, at - length);
        if (agent) {
            // In a user agent an address also ends at ";" ("...feedfetcher.html; 3 subscribers").
            referrer.text = referrer.text.substr(0, referrer.text.find(';'));
            referrer.inAgent = true;
        }
        start = marks ? offset + at - length : std::string_view::npos;
        return 1;
    }
    return 0;
}

bool ReferrerMatcher::findInText(std::string_view line, const LineMarks& marks, Referrer& referrer,
                                 std::size_t& start) const
{
    // The referrer is the first address; the line is the own site's when any
    // of its addresses is.
    start = std::string_view::npos;
    for (std::size_t at = marks.next(Mark::Scheme, 0); at != std::string_view::npos;
         at = marks.next(Mark::Scheme, at + 1)) {
        const std::size_t length = schemeBefore(line, at, false);
        if (length == 0)
            continue;
        if (own.holds(line.substr(at + 3)))
            return false;
        if (start == std::string_view::npos)
            start = at - length;
    }
    if (start == std::string_view::npos)
        return false;
    referrer = cutAt(line, start);
    return true;
}

namespace {

// A double quote or a control byte (a tab, say, between a W3C log's fields)
// ends an address alike.
bool EndsLikeAQuote(char c)
{
    return c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

} // namespace

ReferrerMatcher::Referrer ReferrerMatcher::cutAt(std::string_view line, std::size_t start)
{
    // The referrer ends at the first double quote or control byte after its
    // first byte (combined logs quote it and follow it by the quoted user
    // agent; W3C logs may put a tab after it), else at the first ")" (a
    // crawler's address in its user agent), else after the first blank (kept
    // as part of the referrer), else at the end of the line. A blank does not
    // end it where a ")" follows: then a quote before that ")" ends it, or
    // else the ")" does.
    Referrer result;
    const std::string_view rest = line.substr(start);
    const char* const begin = rest.data();
    const char* const end = begin + rest.size();
    auto upTo = [&](const char* at) { return rest.substr(0, std::size_t(at - begin)); };
    const char* hit = FindAddressStop(begin, end, true);
    if (hit == begin && EndsLikeAQuote(*hit))
        hit = FindAddressStop(begin + 1, end, true);
    if (hit == end) {
        result.text = rest;
    } else if (EndsLikeAQuote(*hit)) {
        result.text = upTo(hit);
    } else if (*hit == ')') {
        result.text = upTo(hit);
        result.closedByParen = true;
    } else {
        const char* const blank = hit;
        const char* const next = FindAddressStop(blank + 1, end, false);
        if (next == end) {
            result.text = upTo(blank + 1);
        } else if (*next == ')') {
            result.text = upTo(next);
            result.closedByParen = true;
        } else if (std::memchr(next + 1, ')', std::size_t(end - next - 1)) != nullptr) {
            result.text = upTo(next); // a quote before a later ")"
        } else {
            result.text = upTo(blank + 1);
        }
    }
    return result;
}

void ReferrerMatcher::Remainder(std::string_view line, const LineMarks& marks, std::string_view text,
                                std::string& remainder)
{
    // The remainder: the line with every occurrence of the referrer taken out,
    // left to right. Each occurrence holds the referrer's first "://" at the
    // same offset, so the search runs over the line's rare "://" separators
    // instead of every 'h'.
    remainder.clear();
    const std::size_t schemeOffset = text.find("://");
    if (schemeOffset == std::string_view::npos) {
        remainder.assign(line);
        return;
    }
    std::size_t from = 0;
    for (std::size_t offset = marks.next(Mark::Scheme, schemeOffset); offset != std::string_view::npos;
         offset = marks.next(Mark::Scheme, offset + 1)) {
        const std::size_t at = offset - schemeOffset;
        if (at < from || line.substr(at, text.size()) != text)
            continue;
        remainder.append(line.substr(from, at - from));
        from = at + text.size();
    }
    remainder.append(line.substr(from));
}

} // namespace backtrail::engine
