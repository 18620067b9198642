// The export line of any entry is well formed: <a href='TARGET'>TEXT</a><br>
// with no unescaped < > ' " in the target or the text, only the five entity
// references the escaper writes, and a target that is an http or https address
// or "#". Unescaped, the two parts give back the link target and the entry.
//
// The input is one or more entries separated by NUL bytes; the first byte's
// bit 0 gives every entry a click-count prefix as duplicate removal writes it.

#include "FuzzSupport.h"
#include "ReusedState.h"

#include "engine/results/Export.h"

#include <string>
#include <vector>

namespace {

using namespace backtrail::engine;
using backtrail::fuzz::ByteReader;
using backtrail::fuzz::HasPrefixAnyCase;

constexpr std::string_view kEntities[][2] = {
    {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"},
};

// Reverses the escaping; checks that nothing is left unescaped on the way.
std::string Unescape(std::string_view escaped)
{
    std::string out;
    std::size_t i = 0;
    while (i < escaped.size()) {
        const char c = escaped[i];
        FUZZ_CHECK(c != '<' && c != '>' && c != '"' && c != '\'');
        if (c != '&') {
            out += c;
            ++i;
            continue;
        }
        bool known = false;
        for (const auto& entity : kEntities) {
            if (escaped.substr(i, entity[0].size()) == entity[0]) {
                out += entity[1];
                i += entity[0].size();
                known = true;
                break;
            }
        }
        FUZZ_CHECK(known);
    }
    return out;
}

// Takes every occurrence of `tag` out of `text`, ASCII letter case ignored.
std::string RemoveAnyCase(const std::string& text, std::string_view tag)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (HasPrefixAnyCase(std::string_view(text).substr(i), tag)) {
            i += tag.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

// The link target as its rule reads: the part after the first "|", without
// the type tags and the first blank; "#" unless an http or https address.
std::string ReferenceTarget(std::string_view entry)
{
    const std::size_t bar = entry.find('|');
    std::string text(bar == std::string_view::npos ? entry : entry.substr(bar + 1));
    for (const std::string_view tag : {"[img]", "[zip]", "[exe]", "[htm]", "[bot]"})
        text = RemoveAnyCase(text, tag);
    const std::size_t blank = text.find(' ');
    if (blank != std::string::npos)
        text.erase(blank, 1);
    if (HasPrefixAnyCase(text, "http://") || HasPrefixAnyCase(text, "https://"))
        return text;
    return "#";
}

void CheckLine(std::string_view entry)
{
    const std::string line = BuildExportLine(entry);
    constexpr std::string_view kOpen = "<a href='";
    constexpr std::string_view kClose = "</a><br>";
    FUZZ_CHECK(line.size() >= kOpen.size() + 2 + kClose.size());
    FUZZ_CHECK(std::string_view(line).substr(0, kOpen.size()) == kOpen);
    FUZZ_CHECK(std::string_view(line).substr(line.size() - kClose.size()) == kClose);
    const std::size_t attributeEnd = line.find('\'', kOpen.size());
    FUZZ_CHECK(attributeEnd != std::string::npos);
    FUZZ_CHECK(line.compare(attributeEnd, 2, "'>") == 0);
    const std::string_view attribute = std::string_view(line).substr(kOpen.size(), attributeEnd - kOpen.size());
    const std::size_t textStart = attributeEnd + 2;
    const std::string_view text = std::string_view(line).substr(textStart, line.size() - kClose.size() - textStart);

    const std::string target = Unescape(attribute);
    FUZZ_CHECK(target == "#" || HasPrefixAnyCase(target, "http://") || HasPrefixAnyCase(target, "https://"));
    FUZZ_CHECK(target == ExportLinkTarget(entry));
    FUZZ_CHECK(target == ReferenceTarget(entry));
    FUZZ_CHECK(Unescape(text) == entry);
    FUZZ_CHECK(HtmlEscape(entry) == text);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    backtrail::fuzz::UsePlainPages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader input(data, size);
    const bool counted = input.take() & 1;
    std::vector<std::string> entries;
    std::string_view bytes = input.rest();
    do {
        const std::size_t cut = bytes.find('\0');
        const std::string_view entry = bytes.substr(0, cut);
        entries.push_back(counted ? CountText(std::uint32_t(entries.size() + 1)) + "|" + std::string(entry)
                                  : std::string(entry));
        bytes.remove_prefix(cut == std::string_view::npos ? bytes.size() : cut + 1);
    } while (!bytes.empty());

    static backtrail::fuzz::ReusedState reused;
    WorkingLists& lists = reused.take(size + 16).lists;
    std::string expected;
    for (const std::string& entry : entries) {
        CheckLine(entry);
        expected += BuildExportLine(entry) + "\r\n";
        const std::size_t bar = entry.find('|');
        lists.List1.append(counted ? std::string_view(entry).substr(bar + 1) : std::string_view(entry));
        lists.counts.push_back(std::uint32_t(lists.List1.size()));
    }
    lists.countsWritten = counted;
    if (!counted)
        lists.counts.clear();
    // The whole export: one line per entry, in list order, each ended by CR LF.
    FUZZ_CHECK(BuildExport(lists) == expected);
    return 0;
}
