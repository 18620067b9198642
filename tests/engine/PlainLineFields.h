#pragma once

// The referrer of a log line by the fields of its shape, written the plain
// way, byte by byte, as the reference for the scanner's reading from the
// structural marks: an access-log line's quoted referrer field, a W3C line's
// cs(Referer), a JSON line's referer value (parsed here with Qt's JSON
// reader); where that holds no address, the user agent's first address (a
// crawler's); a line of no known shape by the text rule of PlainReferrerRule.h.
// Shared by the engine's tests and the fuzzer.

#include "PlainReferrerRule.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace backtrail::testing {

struct PlainFields
{
    enum Shape { Text, Access, W3c, Json } shape = Text;
    std::optional<std::string> referrer; ///< the referrer field's text, when the line has one
    std::optional<std::string> agent; ///< the user agent's text (a W3C field's "+" left as written)
};

struct PlainReferrer
{
    bool found = false;
    std::string text;
    bool closedByParen = false;
    bool inAgent = false;
};

/// The W3C field names a "#Fields:" line gave: each field's name in order.
using PlainW3cNames = std::vector<std::string>;

inline std::vector<std::string> PlainW3cSplit(std::string_view text)
{
    std::vector<std::string> fields;
    std::string field;
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            if (!field.empty())
                fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty())
        fields.push_back(field);
    return fields;
}

// A quoted field from the quote at `at`: a backslash takes the byte after it
// along. Sets `after` past the closing quote (npos when there is none).
inline std::string PlainQuoted(std::string_view line, std::size_t at, std::size_t& after)
{
    std::size_t i = at + 1;
    while (i < line.size() && line[i] != '"')
        i += line[i] == '\\' ? 2 : 1;
    if (i >= line.size()) {
        after = std::string::npos;
        return std::string(line.substr(at + 1));
    }
    after = i + 1;
    return std::string(line.substr(at + 1, i - at - 1));
}

inline std::optional<PlainFields> PlainAccess(std::string_view line)
{
    // [host ]client ident user: three or four fields, none empty, each ended by one blank.
    const std::size_t bracket = line.find('[');
    if (bracket == std::string::npos || bracket == 0 || line[bracket - 1] != ' ')
        return std::nullopt;
    std::size_t leading = 0;
    for (std::size_t start = 0; start < bracket;) {
        const std::size_t blank = line.find(' ', start);
        if (blank == start)
            return std::nullopt; // an empty field
        ++leading;
        start = blank + 1;
    }
    if (leading != 3 && leading != 4)
        return std::nullopt;
    // [time]: the first quote after the "[" follows "]" and blanks.
    const std::size_t quote = line.find('"', bracket);
    if (quote == std::string::npos)
        return std::nullopt;
    std::size_t close = quote;
    while (close > bracket && line[close - 1] == ' ')
        --close;
    if (close == quote || close <= bracket + 1 || line[close - 1] != ']')
        return std::nullopt;
    --close;
    std::size_t i = close + 1;
    auto blanks = [&] {
        const std::size_t from = i;
        while (i < line.size() && line[i] == ' ')
            ++i;
        return i > from;
    };
    auto digit = [&](std::size_t at) { return at < line.size() && line[at] >= '0' && line[at] <= '9'; };
    if (!blanks() || i >= line.size() || line[i] != '"')
        return std::nullopt;
    std::size_t after = 0;
    PlainQuoted(line, i, after);
    if (after == std::string::npos)
        return std::nullopt;
    i = after;
    if (!blanks() || !digit(i) || !digit(i + 1) || !digit(i + 2))
        return std::nullopt;
    i += 3;
    if (!blanks())
        return std::nullopt;
    if (i < line.size() && line[i] == '-') {
        ++i;
    } else {
        if (!digit(i))
            return std::nullopt;
        while (digit(i))
            ++i;
    }
    PlainFields fields;
    fields.shape = PlainFields::Access;
    if (i == line.size())
        return fields;
    if (!blanks())
        return std::nullopt;
    if (i >= line.size() || line[i] != '"')
        return fields;
    fields.referrer = PlainQuoted(line, i, after);
    if (after == std::string::npos)
        return fields;
    i = after;
    if (blanks() && i < line.size() && line[i] == '"')
        fields.agent = PlainQuoted(line, i, after);
    return fields;
}

inline std::optional<PlainFields> PlainW3c(std::string_view line, const PlainW3cNames& names)
{
    if (names.empty() || line.empty() || line[0] == '#')
        return std::nullopt;
    std::size_t referrer = names.size();
    std::size_t agent = names.size();
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (names[k] == "cs(Referer)" || names[k] == "cs(Referrer)")
            referrer = k;
        else if (names[k] == "cs(User-Agent)")
            agent = k;
    }
    const std::vector<std::string> values = PlainW3cSplit(line);
    if (referrer == names.size() || values.size() != names.size())
        return std::nullopt;
    PlainFields fields;
    fields.shape = PlainFields::W3c;
    fields.referrer = values[referrer];
    if (agent < names.size())
        fields.agent = values[agent];
    return fields;
}

inline std::optional<PlainFields> PlainJson(std::string_view line)
{
    if (line.empty() || line.front() != '{')
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(line.data(), qsizetype(line.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    PlainFields fields;
    fields.shape = PlainFields::Json;
    auto folded = [](const QString& key) { return PlainLower(key.toStdString()); };
    const QJsonObject top = document.object();
    for (auto it = top.begin(); it != top.end(); ++it) {
        const std::string key = folded(it.key());
        if (!it.value().isString()) {
            if (key == "request" && it.value().isObject()) {
                const QJsonObject request = it.value().toObject();
                for (auto r = request.begin(); r != request.end(); ++r) {
                    if (folded(r.key()) != "headers" || !r.value().isObject())
                        continue;
                    const QJsonObject headers = r.value().toObject();
                    for (auto h = headers.begin(); h != headers.end(); ++h) {
                        const QJsonArray values = h.value().toArray();
                        if (values.isEmpty() || !values.first().isString())
                            continue;
                        const std::string text = values.first().toString().toStdString();
                        if (folded(h.key()) == "referer" && !fields.referrer)
                            fields.referrer = text;
                        else if (folded(h.key()) == "user-agent" && !fields.agent)
                            fields.agent = text;
                    }
                }
            }
            continue;
        }
        const std::string text = it.value().toString().toStdString();
        if (key == "referer" || key == "referrer" || key == "http_referer" || key == "request_referer")
            fields.referrer = text;
        else if (key == "user_agent" || key == "http_user_agent" || key == "ua" || key == "agent"
                 || key == "request_user-agent")
            fields.agent = text;
    }
    return fields;
}

/// The shape and fields of a line; `format` is "auto", "access", "w3c", "json" or "text".
inline PlainFields PlainShape(std::string_view line, const PlainW3cNames& names, std::string_view format = "auto")
{
    const bool any = format == "auto";
    if (any || format == "json") {
        if (auto json = PlainJson(line))
            return *json;
    }
    if (any || format == "w3c") {
        if (auto w3c = PlainW3c(line, names))
            return *w3c;
    }
    if (any || format == "access") {
        if (auto access = PlainAccess(line))
            return *access;
    }
    return {};
}

/// An address cut out of `text` from `start`: it ends at the first double
/// quote or control byte, else at the first ")", else after the first blank;
/// a blank does not end it where a ")" follows (a quote before that ")" does).
inline PlainReferrer PlainCut(std::string_view text, std::size_t start)
{
    auto quoteLike = [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    const std::string_view rest = text.substr(start);
    PlainReferrer out;
    out.found = true;
    std::size_t i = 0;
    while (i < rest.size() && !quoteLike(rest[i]) && rest[i] != ')' && rest[i] != ' ')
        ++i;
    if (i == rest.size() || quoteLike(rest[i])) {
        out.text = rest.substr(0, i);
    } else if (rest[i] == ')') {
        out.text = rest.substr(0, i);
        out.closedByParen = true;
    } else {
        std::size_t j = i + 1;
        while (j < rest.size() && !quoteLike(rest[j]) && rest[j] != ')')
            ++j;
        if (j < rest.size() && rest[j] == ')') {
            out.text = rest.substr(0, j);
            out.closedByParen = true;
        } else if (j < rest.size() && rest.find(')', j + 1) != std::string::npos) {
            out.text = rest.substr(0, j);
        } else {
            out.text = rest.substr(0, i + 1);
        }
    }
    return out;
}

/// The referrer of a line by its shape's fields; `names` are the W3C field
/// names in force.
inline PlainReferrer PlainFieldReferrer(std::string_view line, const PlainW3cNames& names, std::string_view setting,
                                        bool https, std::string_view format = "auto")
{
    const PlainFields fields = PlainShape(line, names, format);
    if (fields.shape == PlainFields::Text) {
        const std::size_t start = PlainReferrerStart(line, setting, https);
        return start == std::string::npos ? PlainReferrer() : PlainCut(line, start);
    }
    // -1: the own site's; 0: none; 1: found.
    auto inField = [&](const std::optional<std::string>& field, bool agent, PlainReferrer& out) {
        if (!field)
            return 0;
        const std::string lower = PlainLower(*field);
        for (std::size_t at = lower.find("://"); at != std::string::npos; at = lower.find("://", at + 1)) {
            const std::size_t scheme = PlainSchemeBefore(lower, at, https, true);
            if (scheme == 0)
                continue;
            if (PlainIsOwnAddress(std::string_view(*field).substr(at + 3), setting))
                return -1;
            out = PlainCut(*field, at - scheme);
            if (agent) {
                out.text = out.text.substr(0, out.text.find(';'));
                out.inAgent = true;
            }
            return 1;
        }
        return 0;
    };
    PlainReferrer out;
    const int found = inField(fields.referrer, false, out);
    if (found == 0)
        inField(fields.agent, true, out);
    return out;
}

} // namespace backtrail::testing
