#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace backtrail::engine {

/// The text as UTF-8 bytes.
std::string Utf8(const QString& text);

/// Appends bytes as valid UTF-8: each byte that does not belong to a
/// well-formed UTF-8 sequence becomes U+FFFD.
void AppendValidUtf8(std::string& out, std::string_view bytes);

/// Appends a JSON string literal (quotes included) of the bytes, as valid UTF-8
/// with control characters, quotes and backslashes escaped. A byte that is not
/// part of well-formed UTF-8 is written as the escape of a lone surrogate,
/// "\udc80" to "\udcff" for the bytes 0x80 to 0xFF, so that every byte can be
/// read back (SavedResults does).
void AppendJsonString(std::string& out, std::string_view bytes);

/// Appends bytes for a terminal or a TSV cell: valid UTF-8, with tabs and
/// other control characters (which could steer a terminal) shown as blanks.
void AppendPlainCell(std::string& out, std::string_view bytes);

/// The number of characters (code points) in valid UTF-8 text.
std::size_t DisplayWidth(std::string_view utf8);

} // namespace backtrail::engine
