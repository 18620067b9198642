#include "WorkingLists.h"

#include <charconv>

namespace backtrail::engine {

void WorkingLists::clear()
{
    List1.clear();
    List2.clear();
    List2.shrink_to_fit();
    landing.clear();
    bot.clear();
    bot.shrink_to_fit();
    counts.clear();
    counts.shrink_to_fit();
    firstSeen.clear();
    lastSeen.clear();
    countsWritten = false;
    distinct = false;
}

std::string CountText(std::uint32_t count)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    const std::size_t length = std::size_t(end - digits);
    std::string text;
    if (length < 7)
        text.assign(7 - length, '0');
    text.append(digits, length);
    return text;
}

void WorkingLists::appendEntryText(std::size_t i, std::string& out) const
{
    if (countsWritten && i < counts.size()) {
        out += CountText(counts[i]);
        out += '|';
    }
    out += List1.at(i);
}

std::string WorkingLists::entryText(std::size_t i) const
{
    std::string text;
    appendEntryText(i, text);
    return text;
}

} // namespace backtrail::engine
