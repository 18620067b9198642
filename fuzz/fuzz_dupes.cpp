// Duplicate removal against a plain reading of its rule: equal List1 entries
// collapse into the first occurrence, which keeps its place, its List2 entry,
// its side entries and the number of entries it stands for.
//
// The same entries collapsed as a scan collapses them while it reads, in three
// parts merged in order, and in one part: both give the same survivors.
//
// The input is a list of entries separated by NUL bytes. The first byte
// chooses whether the side lists are as long as List1 (bits 0 and 1) and how
// many duplicates a previous pass already removed (the rest); it also places
// the cuts between the parts.

#include "FuzzSupport.h"
#include "ReusedState.h"

#include "engine/ListKillDupes.h"
#include "engine/ScanFrontEnd.h"
#include "engine/ScanPart.h"

#include <map>
#include <string>
#include <vector>

namespace {

using namespace backtrail::engine;
using backtrail::fuzz::ByteReader;

class QuietFrontEnd final : public ScanFrontEnd
{
public:
    int fileCount() const override { return 0; }
    bool fileSelected(int) const override { return false; }
    QString fileFolder(int) const override { return {}; }
    QString fileName(int) const override { return {}; }
    void setStatus(const QString& text) override { lastStatus = text; }
    void setProgress(double value, double) override { FUZZ_CHECK(value == 0); }
    void yieldToEvents() override { }
    void showStatistics(const QString&, const QString&) override { }
    void scanCompleted() override { }
    void clearResults() override { }
    void addResults(ResultTable) override { }
    void fileUnreadable(const QString&, const QString&) override { }
    QString lastStatus;
};

struct Survivor
{
    std::string entry;
    std::string rest;
    std::string landing;
    std::uint8_t bot;
    std::uint32_t count;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    backtrail::fuzz::UsePlainPages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader input(data, size);
    const std::uint8_t choice = input.take();
    const bool withLanding = !(choice & 1);
    const bool withBot = !(choice & 2);
    const std::int32_t removedBefore = choice >> 2;

    std::vector<std::string_view> entries;
    std::string_view bytes = input.rest();
    while (!bytes.empty()) {
        const std::size_t cut = bytes.find('\0');
        entries.push_back(bytes.substr(0, cut));
        bytes.remove_prefix(cut == std::string_view::npos ? bytes.size() : cut + 1);
    }

    static backtrail::fuzz::ReusedState reused;
    ScanState& state = reused.take(8 * size + 16);
    state.DuplicatesRemoved = removedBefore;
    WorkingLists& lists = state.lists;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        lists.List1.append(entries[i]);
        lists.List2.append(std::to_string(i));
        if (withLanding)
            lists.landing.append("/" + std::to_string(i));
        if (withBot)
            lists.bot.push_back(std::uint8_t(i % 3 == 0));
    }

    // The reference: a map from entry and bot flag to its survivor, filled in
    // list order (without bot flags every entry is people's).
    auto survivorsOf = [&](bool bots) {
        std::vector<Survivor> survivors;
        std::map<std::pair<std::string, std::uint8_t>, std::size_t> firstAt;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::uint8_t bot = bots && i % 3 == 0;
            const auto [at, fresh] = firstAt.emplace(std::make_pair(std::string(entries[i]), bot), survivors.size());
            if (!fresh) {
                ++survivors[at->second].count;
                continue;
            }
            survivors.push_back({std::string(entries[i]), std::to_string(i), "/" + std::to_string(i), bot, 1});
        }
        return survivors;
    };
    std::vector<Survivor> expected = survivorsOf(withBot);

    QuietFrontEnd frontEnd;
    ListKillDupes(state, frontEnd);

    const std::size_t removed = entries.size() - expected.size();
    FUZZ_CHECK(state.DuplicatesRemoved == removedBefore + std::int32_t(removed));
    FUZZ_CHECK(lists.hasCounts());
    FUZZ_CHECK(lists.size() == expected.size());
    FUZZ_CHECK(lists.List2.size() == expected.size());
    FUZZ_CHECK(lists.counts.size() == expected.size());
    FUZZ_CHECK(lists.landing.size() == (withLanding ? expected.size() : 0));
    FUZZ_CHECK(lists.bot.size() == (withBot ? expected.size() : 0));
    for (std::size_t k = 0; k < expected.size(); ++k) {
        FUZZ_CHECK(lists.List1[k] == expected[k].entry);
        FUZZ_CHECK(lists.List2[k] == expected[k].rest);
        FUZZ_CHECK(lists.counts[k] == expected[k].count);
        if (withLanding)
            FUZZ_CHECK(lists.landing[k] == expected[k].landing);
        if (withBot)
            FUZZ_CHECK(lists.bot[k] == expected[k].bot);
        // The entry as the data model shows it: the count, "|" and the address.
        FUZZ_CHECK(lists.entryText(k) == CountText(expected[k].count) + "|" + expected[k].entry);
    }
    const QString wait = QStringLiteral("Removing Duplicates...  Please Wait.");
    if (entries.empty())
        FUZZ_CHECK(frontEnd.lastStatus == wait);
    else
        FUZZ_CHECK(frontEnd.lastStatus
                   == wait + QStringLiteral("  (") + QString::number(state.DuplicatesRemoved)
                       + QStringLiteral(" removed)"));

    // Collapsed while read, in parts cut at places the first byte picks and merged in order.
    const std::size_t n = entries.size();
    const std::size_t cuts[] = {0, n * (choice % 5) / 10, n * (choice % 5 + 5) / 10, n};
    auto partOf = [&](std::size_t from, std::size_t to) {
        ScanPart part(true);
        for (std::size_t i = from; i < to; ++i) {
            part.countLine();
            part.add(entries[i], "/" + std::to_string(i), i % 3 == 0, LineTime(), [&] { return std::uint8_t(i % 32); });
        }
        return part;
    };
    ScanPart merged = partOf(cuts[0], cuts[1]);
    merged.merge(partOf(cuts[1], cuts[2]));
    merged.merge(partOf(cuts[2], cuts[3]));
    const ScanPart whole = partOf(0, n);
    FUZZ_CHECK(merged.lines == std::int64_t(n) && merged.links == std::int64_t(n));
    expected = survivorsOf(true); // the parts always flag every third entry
    for (const ScanPart* part : {static_cast<const ScanPart*>(&merged), &whole}) {
        const WorkingLists& read = part->entries();
        FUZZ_CHECK(read.size() == expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            FUZZ_CHECK(read.List1[k] == expected[k].entry);
            FUZZ_CHECK(read.landing[k] == expected[k].landing);
            FUZZ_CHECK(read.bot[k] == expected[k].bot);
            FUZZ_CHECK(read.counts[k] == expected[k].count);
            FUZZ_CHECK(read.types[k] == std::uint8_t(std::stoul(expected[k].rest) % 32));
        }
    }

    // A second pass finds nothing more to remove.
    const std::size_t survivors = lists.size();
    FUZZ_CHECK(RemoveDuplicates(lists) == 0);
    FUZZ_CHECK(lists.size() == survivors);
    return 0;
}
