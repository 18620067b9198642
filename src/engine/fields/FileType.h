#pragma once

#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// The type code of a log line's remainder: the first test of the extension
/// table (".jpeg"/".jpg" JPG, ".zip" ZIP, ... ".exe" EXE) that finds one of its
/// texts anywhere in it, letter case ignored; "HTM" when none does.
std::string_view ExtensionTable(std::string_view remainder);

/// The same test as a number: the position of the deciding test in the table,
/// or the table's length for "HTM". A scan keeps this byte per entry instead of
/// the remainder it came from.
std::uint8_t ExtensionIndex(std::string_view remainder);
/// The type code of a number that ExtensionIndex gave.
std::string_view ExtensionCode(std::uint8_t index);
/// The number of a type code ("HTM", and any text that is no code, give the table's length).
std::uint8_t ExtensionIndexOfCode(std::string_view code);

} // namespace backtrail::engine
