#include "LineShape.h"

#include "engine/base/AsciiCase.h"

#include <simdjson.h>

#include <array>
#include <cstring>

namespace backtrail::engine {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Past a run of blanks at `at`; `at` itself when there is none.
std::size_t pastBlanks(std::string_view line, std::size_t at)
{
    while (at < line.size() && line[at] == ' ')
        ++at;
    return at;
}

// A quoted field opened at `opening`: its text without the quotes, and where
// the line goes on after it (npos when it runs to the end of the line).
std::string_view quotedField(std::string_view line, const LineMarks& marks, std::size_t opening, std::size_t& after)
{
    const std::size_t closing = ClosingQuote(line, marks, opening);
    if (closing == npos) {
        after = npos;
        return line.substr(opening + 1);
    }
    after = closing + 1;
    return line.substr(opening + 1, closing - opening - 1);
}

// The host, client, ident and user fields before the time's "[": three or
// four of them, none empty, each followed by one blank.
bool leadingFieldsFit(std::string_view line, std::size_t bracket)
{
    if (bracket == 0 || line[0] == ' ' || line[bracket - 1] != ' ')
        return false;
    const char* const begin = line.data();
    const char* const end = begin + bracket;
    int blanks = 0;
    for (const char* at = static_cast<const char*>(std::memchr(begin, ' ', bracket)); at != nullptr;
         at = static_cast<const char*>(std::memchr(at + 1, ' ', std::size_t(end - at - 1)))) {
        if (at[-1] == ' ' || ++blanks > 4)
            return false;
    }
    return blanks >= 3;
}

bool equalFolded(std::string_view key, std::string_view lower)
{
    if (key.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (AsciiLower(key[i]) != lower[i])
            return false;
    }
    return true;
}

template<std::size_t N> bool oneOf(std::string_view key, const std::array<std::string_view, N>& names)
{
    for (const std::string_view name : names) {
        if (equalFolded(key, name))
            return true;
    }
    return false;
}

constexpr std::array<std::string_view, 4> kReferrerKeys {"referer", "referrer", "http_referer", "request_referer"};
constexpr std::array<std::string_view, 5> kAgentKeys {"user_agent", "http_user_agent", "ua", "agent",
                                                      "request_user-agent"};

} // namespace

std::size_t ClosingQuote(std::string_view line, const LineMarks& marks, std::size_t opening)
{
    // A quote is escaped when an odd run of backslashes inside the field stands
    // before it; backslashes are looked at only there.
    for (std::size_t from = opening + 1; from < line.size();) {
        const std::size_t quote = marks.next(Mark::Quote, from);
        if (quote == npos)
            return npos;
        std::size_t backslashes = 0;
        while (quote - backslashes > opening + 1 && line[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote;
        from = quote + 1;
    }
    return npos;
}

namespace {

// The fields of an access-log line into `out` (written in part when the line is none): false
// when the line is none. Every way out returns the caller's own fields, so
// that no copy of them is made on the way.
bool readAccess(std::string_view line, const LineMarks& marks, bool agentLater, LineFields& out)
{
    // The time: "[", then "]" and blanks before the request's quote.
    const std::size_t bracket = marks.next(Mark::Bracket, 0);
    if (bracket == npos)
        return false;
    const std::size_t opening = marks.next(Mark::Quote, bracket);
    if (opening == npos || opening < bracket + 3 || line[opening - 1] != ' ')
        return false;
    std::size_t close = opening - 1;
    while (line[close] == ' ')
        --close;
    if (line[close] != ']' || close == bracket || !leadingFieldsFit(line, bracket))
        return false;
    // The request.
    std::size_t at = 0;
    std::size_t after = 0;
    quotedField(line, marks, opening, after);
    if (after == npos)
        return false;
    // The status and the bytes.
    at = pastBlanks(line, after);
    if (at == after || line.size() - at < 3 || !isDigit(line[at]) || !isDigit(line[at + 1]) || !isDigit(line[at + 2]))
        return false;
    after = at + 3;
    at = pastBlanks(line, after);
    if (at == after)
        return false;
    if (at < line.size() && line[at] == '-') {
        ++at;
    } else {
        const std::size_t digits = at;
        while (at < line.size() && isDigit(line[at]))
            ++at;
        if (at == digits)
            return false;
    }
    out.shape = LineShape::Access;
    out.referrer = {};
    out.agent = {};
    out.agentFrom = npos;
    out.agentPending = false;
    if (at == line.size())
        return true;
    // The referrer and the user agent, when quoted fields follow.
    std::size_t next = pastBlanks(line, at);
    if (next == at)
        return false; // the bytes run on into something else
    if (next >= line.size() || line[next] != '"')
        return true;
    out.referrer = quotedField(line, marks, next, after);
    if (after == npos)
        return true;
    out.agentFrom = after;
    out.agentPending = true;
    if (!agentLater)
        ReadAgentField(line, marks, out);
    return true;
}

} // namespace

void ReadAgentField(std::string_view line, const LineMarks& marks, LineFields& fields)
{
    if (!fields.agentPending)
        return;
    fields.agentPending = false;
    const std::size_t after = fields.agentFrom;
    const std::size_t next = pastBlanks(line, after);
    std::size_t end = 0;
    if (next > after && next < line.size() && line[next] == '"')
        fields.agent = quotedField(line, marks, next, end);
}

LineFields W3cLineFields(std::string_view line, const W3cFields& fields)
{
    if (fields.count == 0 || fields.referrer < 0 || line.empty() || line[0] == '#')
        return {};
    LineFields result;
    const int count = ForEachW3cField(line, [&](int index, std::string_view field) {
        if (index == fields.referrer)
            result.referrer = field;
        else if (index == fields.userAgent)
            result.agent = field;
    });
    if (count != fields.count)
        return {};
    result.shape = LineShape::W3c;
    return result;
}

struct LineShapeReader::Json
{
    simdjson::ondemand::parser parser;
    std::string padded; // the line, with the padding the parser reads past its end
};

LineShapeReader::LineShapeReader(LogFormat format)
    : chosen(format)
{
}

LineShapeReader::~LineShapeReader() = default;

LineFields LineShapeReader::read(std::string_view line, const LineMarks& marks, const W3cFields& fields,
                                 bool agentLater)
{
    // One object returned from every way out: the caller's own, no copy made.
    LineFields out;
    const bool any = chosen == LogFormat::Auto;
    if ((any || chosen == LogFormat::Json) && !line.empty() && line.front() == '{') {
        out = readJson(line);
        if (out.known())
            return out;
    }
    if ((any || chosen == LogFormat::W3c) && fields.count > 0 && fields.referrer >= 0) {
        out = W3cLineFields(line, fields);
        if (out.known())
            return out;
    }
    if ((any || chosen == LogFormat::Access) && readAccess(line, marks, agentLater, out))
        return out;
    out = LineFields();
    return out;
}

LineFields LineShapeReader::readJson(std::string_view line)
{
    using namespace simdjson;
    // An object's line ends with its "}": what is parsed is the object alone.
    std::size_t last = line.size();
    while (last > 0 && (line[last - 1] == ' ' || line[last - 1] == '\t' || line[last - 1] == '\r'))
        --last;
    if (line.empty() || line.front() != '{' || last == 0 || line[last - 1] != '}')
        return {};
    if (!json)
        json = std::make_unique<Json>();
    Json& j = *json;
    j.padded.assign(line);
    j.padded.append(SIMDJSON_PADDING, ' ');
    ondemand::document document;
    if (j.parser.iterate(padded_string_view(j.padded.data(), line.size(), j.padded.size())).get(document))
        return {};
    ondemand::object top;
    if (document.get_object().get(top))
        return {};
    LineFields result;
    bool haveReferrer = false;
    bool haveAgent = false;
    // The first string of an array, as Caddy writes each header's values.
    auto firstString = [](ondemand::value value, std::string_view& text) {
        ondemand::array values;
        if (value.get_array().get(values))
            return false;
        for (auto element : values) {
            ondemand::value first;
            return !element.get(first) && !first.get_string().get(text);
        }
        return false;
    };
    auto readHeaders = [&](ondemand::object headers) {
        for (auto field : headers) {
            std::string_view key;
            ondemand::value value;
            if (field.unescaped_key().get(key) || field.value().get(value))
                return false;
            if (!haveReferrer && equalFolded(key, "referer"))
                haveReferrer = firstString(value, result.referrer);
            else if (!haveAgent && equalFolded(key, "user-agent"))
                haveAgent = firstString(value, result.agent);
        }
        return true;
    };
    for (auto field : top) {
        std::string_view key;
        ondemand::value value;
        if (field.unescaped_key().get(key) || field.value().get(value))
            return {};
        if (!haveReferrer && oneOf(key, kReferrerKeys)) {
            haveReferrer = !value.get_string().get(result.referrer);
        } else if (!haveAgent && oneOf(key, kAgentKeys)) {
            haveAgent = !value.get_string().get(result.agent);
        } else if (equalFolded(key, "request")) {
            ondemand::object request;
            if (value.get_object().get(request))
                continue;
            for (auto inner : request) {
                std::string_view innerKey;
                ondemand::value innerValue;
                if (inner.unescaped_key().get(innerKey) || inner.value().get(innerValue))
                    return {};
                ondemand::object headers;
                if (equalFolded(innerKey, "headers") && !innerValue.get_object().get(headers) && !readHeaders(headers))
                    return {};
            }
        }
    }
    if (!haveReferrer)
        result.referrer = {};
    if (!haveAgent)
        result.agent = {};
    result.shape = LineShape::Json;
    return result;
}

} // namespace backtrail::engine
