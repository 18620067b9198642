// Duplicate removal against a plain reading of its rule: equal referrers (and
// bot flags) collapse into the first occurrence, which keeps its place, its
// type, its landing page and the number of lines it stands for.
//
// The entries are collapsed as a scan collapses them while it reads, in three
// parts merged in order and in one part: both give the same survivors, and
// duplicate removal counts them and writes its texts.
//
// The input is a list of entries separated by NUL bytes. The first byte
// chooses how many duplicates a previous file already removed and places the
// cuts between the parts.

#include "FuzzSupport.h"
#include "ReusedState.h"

#include "engine/scan/ListKillDupes.h"
#include "engine/scan/ScanFrontEnd.h"
#include "engine/aggregate/ScanPart.h"

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
    std::size_t first; // the line it was first seen on
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
    const std::int32_t removedBefore = choice >> 2;

    std::vector<std::string_view> entries;
    std::string_view bytes = input.rest();
    while (!bytes.empty()) {
        const std::size_t cut = bytes.find('\0');
        entries.push_back(bytes.substr(0, cut));
        bytes.remove_prefix(cut == std::string_view::npos ? bytes.size() : cut + 1);
    }

    // The reference: a map from entry and bot flag (every third line is a
    // crawler's) to its survivor, filled in list order.
    std::vector<Survivor> expected;
    std::map<std::pair<std::string, std::uint8_t>, std::size_t> firstAt;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint8_t bot = i % 3 == 0;
        const auto [at, fresh] = firstAt.emplace(std::make_pair(std::string(entries[i]), bot), expected.size());
        if (fresh)
            expected.push_back({std::string(entries[i]), i, bot, 1});
        else
            ++expected[at->second].count;
    }

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
    ScanPart whole = partOf(0, n);
    FUZZ_CHECK(merged.lines == std::int64_t(n) && merged.links == std::int64_t(n));
    for (const ScanPart* part : {static_cast<const ScanPart*>(&merged), static_cast<const ScanPart*>(&whole)}) {
        const WorkingLists& read = part->entries();
        FUZZ_CHECK(read.size() == expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            FUZZ_CHECK(read.List1[k] == expected[k].entry);
            FUZZ_CHECK(read.landing[k] == "/" + std::to_string(expected[k].first));
            FUZZ_CHECK(read.bot[k] == expected[k].bot);
            FUZZ_CHECK(read.counts[k] == expected[k].count);
            FUZZ_CHECK(read.List2[k] == std::uint8_t(expected[k].first % 32));
        }
    }

    // Duplicate removal as the scan runs it, after a file that removed some.
    static backtrail::fuzz::ReusedState reused;
    ScanState& state = reused.take(8 * size + 16);
    state.DuplicatesRemoved = removedBefore;
    state.lists = whole.takeEntries();
    QuietFrontEnd frontEnd;
    ListKillDupes(state, frontEnd);
    const WorkingLists& lists = state.lists;
    FUZZ_CHECK(state.DuplicatesRemoved == removedBefore + std::int32_t(n - expected.size()));
    FUZZ_CHECK(lists.hasCounts());
    FUZZ_CHECK(lists.size() == expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
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

    // A second pass finds nothing more to remove.
    FUZZ_CHECK(RemoveDuplicates(state.lists) == 0);
    FUZZ_CHECK(lists.size() == expected.size());
    return 0;
}
