#include "FileType.h"

#include "engine/input/ByteSearch.h"

#include <array>
#include <bit>
#include <cstring>

namespace backtrail::engine {

namespace {

struct ExtensionTest
{
    std::string_view texts[2];
    std::string_view code;
};

// In the order in which the tests are tried: the first that finds one of its
// texts decides, so ".jpg" wins over ".zip" and ".asp" also matches ".aspx".
constexpr std::array<ExtensionTest, 31> kTests {{
    {{".jpeg", ".jpg"}, "JPG"}, {{".zip", {}}, "ZIP"}, {{".msi", {}}, "MSI"},      {{".gif", {}}, "GIF"},
    {{".asp", {}}, "ASP"},      {{".php", {}}, "PHP"}, {{".png", {}}, "PNG"},      {{".pdf", {}}, "PDF"},
    {{".tar", {}}, "TAR"},      {{".txt", {}}, "TXT"}, {{".aiff", ".aif"}, "AIF"}, {{".avi", {}}, "AVI"},
    {{".mov", {}}, "MOV"},      {{".mp3", {}}, "MP3"}, {{".mpeg", ".mpg"}, "MPG"}, {{".rm", {}}, "RM"},
    {{".swf", {}}, "SWF"},      {{".wav", {}}, "WAV"}, {{".wmf", {}}, "WMF"},      {{".eps", {}}, "EPS"},
    {{".ppt", {}}, "PPT"},      {{".psd", {}}, "PSD"}, {{".pict", ".pct"}, "PCT"}, {{".tiff", ".tif"}, "TIF"},
    {{".rtf", {}}, "RTF"},      {{".sea", {}}, "SEA"}, {{".sit", {}}, "SIT"},      {{".smil", ".sml"}, "SML"},
    {{".svg", {}}, "SVG"},      {{".xls", {}}, "XLS"}, {{".exe", {}}, "EXE"},
}};

// The tests' texts by the letter after their dot, each letter's in test
// order: a dot needs to look only at the texts its next letter starts.
struct TextsByLetter
{
    struct Text
    {
        std::uint8_t test;
        std::string_view tail; // the text after its dot
    };
    std::array<std::array<Text, 8>, 26> texts {};
    std::array<std::uint8_t, 26> counts {};
};

constexpr TextsByLetter kTextsByLetter = [] {
    TextsByLetter byLetter;
    for (std::size_t t = 0; t < kTests.size(); ++t) {
        for (const std::string_view text : kTests[t].texts) {
            if (text.size() < 2)
                continue;
            const std::size_t letter = std::size_t(text[1] - 'a');
            byLetter.texts[letter][byLetter.counts[letter]++] = {std::uint8_t(t), text.substr(1)};
        }
    }
    return byLetter;
}();

} // namespace

std::uint8_t ExtensionIndex(std::string_view remainder)
{
    // Every text starts with ".", so one walk over the dots finds, for each
    // dot, the earliest test that matches there; the earliest over all dots wins.
    std::size_t best = kTests.size();
    const char* const bytes = remainder.data();
    const std::size_t size = remainder.size();
    auto atDot = [&](std::size_t dot) {
        // The (at most four) bytes after the dot, in lower case; every extension
        // starts with a letter, so the dots of addresses and versions end here.
        const char next = char(bytes[dot + 1 < size ? dot + 1 : dot] | 0x20);
        if (dot + 2 >= size || next < 'a' || next > 'z')
            return;
        char after[4];
        std::size_t length = 0;
        for (; length < 4 && dot + 1 + length < size; ++length) {
            const unsigned char c = static_cast<unsigned char>(bytes[dot + 1 + length]);
            after[length] = char((c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c);
        }
        if (length < 2 || after[0] < 'a' || after[0] > 'z')
            return;
        const std::size_t letter = std::size_t(after[0] - 'a');
        for (std::size_t k = 0; k < kTextsByLetter.counts[letter]; ++k) {
            const TextsByLetter::Text& text = kTextsByLetter.texts[letter][k];
            if (text.test >= best)
                break;
            if (text.tail.size() <= length && std::memcmp(text.tail.data(), after, text.tail.size()) == 0) {
                best = text.test;
                break;
            }
        }
    };
    // The dots, sixty-four at a time: a line holds a dozen or so, a memchr call each would cost more.
    constexpr std::size_t kDots = 64;
    std::uint32_t dots[kDots];
    for (std::size_t from = 0; best > 0 && from < size;) {
        const std::size_t found = FindEach(bytes + from, bytes + size, '.', dots, kDots);
        for (std::size_t i = 0; i < found && best > 0; ++i)
            atDot(from + dots[i]);
        if (found < kDots)
            break;
        from += dots[kDots - 1] + 1;
    }
    return std::uint8_t(best);
}

std::string_view ExtensionCode(std::uint8_t index)
{
    return index < kTests.size() ? kTests[index].code : std::string_view("HTM");
}

std::uint8_t ExtensionIndexOfCode(std::string_view code)
{
    for (std::size_t t = 0; t < kTests.size(); ++t) {
        if (kTests[t].code == code)
            return std::uint8_t(t);
    }
    return std::uint8_t(kTests.size());
}

std::string_view ExtensionTable(std::string_view remainder)
{
    return ExtensionCode(ExtensionIndex(remainder));
}

} // namespace backtrail::engine
