#include "Classify.h"

#include "SpamList.h"

#include "LogReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    std::size_t from = 0;
#if defined(__SSE2__)
    // The dots of sixteen bytes at a time, as a bit mask.
    const __m128i dots = _mm_set1_epi8('.');
    for (; from + 16 <= size && best > 0; from += 16) {
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + from)), dots)));
        for (; mask != 0 && best > 0; mask &= mask - 1)
            atDot(from + std::size_t(std::countr_zero(mask)));
    }
#endif
    for (; from < size && best > 0; ++from) {
        if (bytes[from] == '.')
            atDot(from);
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

void SplitEntry(std::string_view entry, std::string& clicks, std::string& referrer)
{
    const std::size_t bar = entry.find('|');
    if (bar == std::string_view::npos) {
        clicks.clear();
        referrer.assign(entry);
        return;
    }
    const std::string_view prefix = entry.substr(0, bar + 1);
    clicks.assign(entry.substr(0, bar));
    referrer.clear();
    std::size_t from = 0;
    for (std::size_t at = entry.find(prefix); at != std::string_view::npos; at = entry.find(prefix, from)) {
        referrer.append(entry.substr(from, at - from));
        from = at + prefix.size();
    }
    referrer.append(entry.substr(from));
}

ResultTable FillResults(const WorkingLists& lists, bool bGetFileTypes, const SpamList* spam, int threads)
{
    const std::size_t n = lists.size();
    // The labels of rows [from, to) into `into`; referrers that differ from
    // the entry as listed into `own`.
    using OwnReferrers = std::vector<std::pair<std::size_t, std::string>>;
    auto label = [&](std::size_t from, std::size_t to, ResultTable& into, OwnReferrers& own) {
        std::string entry;
        std::string clicks;
        std::string referrer;
        for (std::size_t i = from; i < to; ++i) {
            const std::string_view listed = lists.List1.at(i);
            // The entry's text is split at its first "|": an address without one
            // is the referrer as listed, after its count when it has one.
            const bool plain = listed.find('|') == std::string_view::npos;
            if (plain) {
                clicks.clear();
                if (lists.hasCounts() && i < lists.counts.size())
                    clicks = CountText(lists.counts[i]);
            } else {
                entry.clear();
                lists.appendEntryText(i, entry);
                SplitEntry(entry, clicks, referrer);
            }
            const std::string_view address = plain ? listed : std::string_view(referrer);
            const bool bot = lists.isBot(i);
            std::string_view type;
            if (bGetFileTypes)
                type = bot                                        ? std::string_view("BOT")
                    : spam && spam->isSpam(ReferrerHost(address)) ? std::string_view("SPM")
                                                                  : ExtensionCode(lists.List2[i]);
            if (address != listed)
                own.emplace_back(i, address);
            into.appendLabels(type, clicks, bot);
        }
    };
    // The rows share the lists' referrers, landing pages and times rather than
    // holding copies: most of a large answer is those.
    ResultTable rows;
    rows.shareEntriesOf(lists);
    rows.reserve(n);
    OwnReferrers own;
    // A large table's second half is labelled on another core.
    constexpr std::size_t kLeastRowsToShare = std::size_t(1) << 16;
    const std::size_t half = threads > 1 && n >= kLeastRowsToShare ? n / 2 : n;
    ResultTable later;
    OwnReferrers laterOwn;
    std::thread helper;
    if (half < n) {
        try {
            helper = std::thread(label, half, n, std::ref(later), std::ref(laterOwn));
        } catch (const std::system_error&) {
            label(half, n, later, laterOwn);
        }
    }
    label(0, half, rows, own);
    if (helper.joinable())
        helper.join();
    rows.appendLabelsOf(later);
    own.insert(own.end(), laterOwn.begin(), laterOwn.end());
    for (const auto& [i, referrer] : own)
        rows.setReferrer(i, referrer);
    return rows;
}

ResultTable RetypeSpam(const ResultTable& rows, const SpamList& spam)
{
    // Only types change: the rows' texts and times are shared, not copied.
    ResultTable retyped = rows.share();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow row = rows.row(i);
        if (!row.type.empty() && !row.bot && spam.isSpam(ReferrerHost(row.referrer)))
            retyped.setType(i, "SPM");
    }
    return retyped;
}

} // namespace backtrail::engine
