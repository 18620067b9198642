#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// How the lines of a log are read. Auto reads each line by its shape: an
/// access-log line (Apache's and nginx's common and combined formats and those
/// that add fields at the end), a line of a W3C log under its "#Fields:"
/// directive, or a JSON object; a line of none of these is read as text. The
/// other choices try only the shape they name (Text none), for a log whose
/// shape Auto guesses wrong; a line not of that shape is read as text.
enum class LogFormat : std::uint8_t { Auto, Access, W3c, Json, Text };

inline constexpr std::array<std::string_view, 5> kLogFormatNames {"auto", "access", "w3c", "json", "text"};

/// The name the settings, the results and the --log-format option use.
constexpr std::string_view LogFormatName(LogFormat format)
{
    return kLogFormatNames[std::size_t(format)];
}

/// The format a name stands for; false for none (letter case counts).
constexpr bool LogFormatFromName(std::string_view name, LogFormat& format)
{
    for (std::size_t i = 0; i < kLogFormatNames.size(); ++i) {
        if (kLogFormatNames[i] == name) {
            format = LogFormat(i);
            return true;
        }
    }
    return false;
}

} // namespace backtrail::engine
