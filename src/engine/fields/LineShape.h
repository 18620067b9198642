#pragma once

#include "W3cFields.h"
#include "engine/base/LogFormat.h"
#include "engine/input/BlockMarks.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace backtrail::engine {

/// Which field of a line is its referrer, as the scanner's help, its manual
/// page and the program's help say it.
inline constexpr const char* kLogFormatHelp
    = "How lines are read: auto (the default) reads each line by its shape. In an access-log line (Apache's and "
      "nginx's common and combined formats, also with a virtual host in front or more fields at the end) the "
      "referrer is the address in its quoted referrer field, in a W3C line under \"#Fields:\" its cs(Referer) "
      "field, in a JSON line its referer value (Caddy's request.headers.Referer too); where that field holds no "
      "address, the address in the user agent (a crawler's, typed BOT); an address in the request or any other "
      "field is never a referrer. A line of no known shape gives its first address. access, w3c or json read "
      "only that shape (other lines as text); text reads every line as text.";

/// The shapes a log line is read by.
enum class LineShape : std::uint8_t {
    Text, ///< none known: the referrer is the line's first address
    Access, ///< an access-log line: [host[:port] ]client ident user [time] "request" status bytes ["referrer"
            ///< "agent"]...
    W3c, ///< a line of a W3C log under a "#Fields:" directive that names cs(Referer)
    Json, ///< a JSON object
};

/// The referrer and user-agent fields of a line of a known shape.
///
/// For Access and W3C lines both are views into the line: a quoted field
/// without its quotes (backslash escapes kept as written), a W3C field as
/// written (its blanks as "+"). For a JSON line they are the values' text,
/// unescaped, in the reader's own memory until its next read. A field the
/// line does not have is empty, and so is a JSON value that is no string.
struct LineFields
{
    LineShape shape = LineShape::Text;
    std::string_view referrer;
    std::string_view agent;
    /// An access-log line read with its user agent left for later: where the
    /// line goes on after its referrer field (npos: it has no user agent).
    /// ReadAgentField reads it.
    std::size_t agentFrom = std::string_view::npos;
    bool agentPending = false;

    bool known() const { return shape != LineShape::Text; }
    /// The fields are views into the line (not a JSON line's unescaped values).
    bool inLine() const { return shape == LineShape::Access || shape == LineShape::W3c; }
    /// A W3C field writes a blank as "+".
    bool agentPlusIsBlank() const { return shape == LineShape::W3c; }
};

/// The double quote that closes a quoted field opened at `opening`: the next
/// one that no backslash escapes (a backslash escapes the byte after it);
/// npos when the field runs to the end of the line. `marks` are the line's.
std::size_t ClosingQuote(std::string_view line, const LineMarks& marks, std::size_t opening);

/// Reads the user-agent field that LineShapeReader::read left for later; nothing
/// when none was left.
void ReadAgentField(std::string_view line, const LineMarks& marks, LineFields& fields);

/// The fields of a W3C line by the field names of its "#Fields:" directive:
/// shape Text when no directive named cs(Referer), the line is a directive
/// or it has another number of fields. A "-" field is written as such.
LineFields W3cLineFields(std::string_view line, const W3cFields& fields);

/// Reads the shape of each line and its fields. JSON lines are parsed with a
/// parser of its own: one reader serves one thread.
class LineShapeReader
{
public:
    explicit LineShapeReader(LogFormat format = LogFormat::Auto);
    ~LineShapeReader();
    LineShapeReader(const LineShapeReader&) = delete;
    LineShapeReader& operator=(const LineShapeReader&) = delete;

    /// The line's shape and fields: each shape the format allows is tried
    /// (JSON, W3C, then access); none fitting, shape Text. `marks` are the
    /// line's, `fields` the W3C field names in force; `agentLater` as for
    /// the access shape below.
    ///
    /// An access-log line, its quotes and bracket found from its marks:
    ///     [vhost[:port] ]client ident user [time] "request" status bytes ["referrer" ["agent"]] anything
    /// Fields are separated by blanks; the status is three digits and the bytes
    /// digits or "-". A referrer or agent field that never closes runs to the
    /// line's end; a request that never closes makes the line none. With
    /// `agentLater` the user-agent field is left for ReadAgentField (a line
    /// that turns out to have no referrer needs none).
    LineFields read(std::string_view line, const LineMarks& marks, const W3cFields& fields, bool agentLater = false);

    /// The fields of a line that starts with "{" as a JSON object: the
    /// referrer under "referer", "referrer", "http_referer" or
    /// "request_Referer" at the top, or request.headers.Referer[0] (Caddy);
    /// the user agent under "user_agent", "http_user_agent", "ua", "agent",
    /// "request_User-Agent" or request.headers.User-Agent[0]; keys in any
    /// letter case, the first one found counting. Shape Text when the line is
    /// no valid JSON object.
    LineFields readJson(std::string_view line);

    LogFormat format() const { return chosen; }

private:
    struct Json;
    LogFormat chosen;
    std::unique_ptr<Json> json;
};

} // namespace backtrail::engine
