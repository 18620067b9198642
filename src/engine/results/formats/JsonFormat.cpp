#include "Formats.h"

#include "RowDetailsVisit.h"
#include "TextOutput.h"

#include "engine/aggregate/EntryDetails.h"
#include "engine/fields/FileType.h"
#include "engine/fields/LineTime.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <thread>

namespace backtrail::engine {

namespace {

std::string jsonString(const QString& value)
{
    std::string text;
    AppendJsonString(text, Utf8(value));
    return text;
}

// What many rows repeat, made once for each thread that formats rows:
// the text of a landing page item up to its clicks, and a day's date, by
// number in small direct-mapped caches.
struct Repeated
{
    static constexpr std::size_t kSlots = 4096;
    struct Page
    {
        std::uint32_t number = UINT32_MAX;
        std::string text; // {"path": "...", "clicks":<space>
    };
    struct Day
    {
        std::int32_t day = 0;
        bool made = false;
        std::array<char, 10> text {};
    };
    std::vector<Page> pages = std::vector<Page>(kSlots);
    std::vector<Day> days = std::vector<Day>(kSlots);
    std::optional<RowSourceFinder> findSource; // each thread's own
};

} // namespace

void WriteJson(Output& output, const ResultsToWrite& scan, const ResultTable& rows, bool bySite, bool details,
               const std::vector<std::vector<std::size_t>>& siteMembers, int threads, const RowSourcesOut& sources,
               std::string_view more, const RowOrder& order)
{
    const ScanSettings& settings = scan.settings;
    static const WorkingLists noEntries;
    const WorkingLists& entries = scan.lists ? *scan.lists : noEntries;
    // What a merge needs: the settings, and each entry's bot flag and file type
    // (rows grouped by site have no entries of their own).
    auto flag = [](bool on) { return on ? "true" : "false"; };
    std::string text = "{\n  \"settings\": {\"domain\": ";
    AppendJsonString(text, Utf8(settings.strYourWebsite));
    text += std::string(", \"dupes\": ") + flag(settings.bRemoveDupes) + ", \"types\": " + flag(settings.bGetFileTypes)
        + ", \"https\": " + flag(settings.bHttps) + ", \"hide_crawlers\": " + flag(settings.bHideCrawlers)
        + ", \"hide_spam\": " + flag(settings.bHideSpam) + ", \"since\": " + jsonString(settings.strDateSince)
        + ", \"until\": " + jsonString(settings.strDateUntil) + ", \"log_format\": \""
        + std::string(LogFormatName(settings.logFormat)) + "\", \"details\": " + flag(details)
        + ", \"by_site\": " + flag(bySite && !sources.bySource) + ", \"by_source\": " + flag(sources.bySource)
        + "},\n  \"stopped\": " + flag(scan.stopped) + ",\n  \"files_done\": " + std::to_string(scan.filesDone)
        + ",\n  \"lines_scanned\": " + std::to_string(scan.linesScanned) + ",\n  \"links_found\": "
        + std::to_string(scan.linksFound) + ",\n  \"hidden_crawler_lines\": " + std::to_string(scan.hiddenCrawlerLines)
        + ",\n  \"hidden_spam_lines\": " + std::to_string(scan.hiddenSpamLines)
        + ",\n  \"lines_outside_range\": " + std::to_string(scan.outsideRangeLines)
        + ",\n  \"duplicates_removed\": " + std::to_string(scan.duplicatesRemoved) + ",\n  \"unique_links\": "
        + std::to_string(std::int64_t(scan.linksFound) - scan.duplicatesRemoved) + ",\n  \"status\": ";
    AppendJsonString(text, Utf8(scan.status));
    text += ",\n  \"rows\": [";
    using namespace std::string_view_literals;
    auto appendRow = [&](std::string& out, std::size_t k, Repeated& repeated) {
        const std::size_t i = RowAt(order, k);
        const ResultRow row = rows.row(i);
        out += k ? ",\n    {\"type\": "sv : "\n    {\"type\": "sv;
        AppendJsonString(out, row.type);
        out += ", \"clicks\": "sv;
        AppendJsonString(out, row.clicks);
        out += ", \"referrer\": "sv;
        AppendJsonString(out, row.referrer);
        out += ", \"landing\": "sv;
        AppendJsonString(out, row.landing);
        out += ", \"first_seen\": \""sv;
        const std::size_t firstAt = out.size();
        row.firstSeen.appendIso(out);
        const std::size_t firstLength = out.size() - firstAt;
        out += "\", \"last_seen\": \""sv;
        if (row.lastSeen == row.firstSeen && firstLength <= 32) {
            // Most rows were seen once: the same text again.
            char same[32];
            out.copy(same, firstLength, firstAt);
            out.append(same, firstLength);
        } else {
            row.lastSeen.appendIso(out);
        }
        out += '"';
        if (const std::optional<Source> source = sources.of(i, row, repeated.findSource)) {
            out += ", \"source_kind\": \""sv;
            out += SourceKindName(source->kind);
            out += "\", \"source\": "sv;
            AppendJsonString(out, source->name);
            out += ", \"keyword\": "sv;
            AppendJsonString(out, source->keyword);
        }
        if (!bySite && i < entries.size()) {
            out += entries.isBot(i) ? ", \"bot\": true, \"ext\": "sv : ", \"bot\": false, \"ext\": "sv;
            AppendJsonString(out, ExtensionCode(i < entries.List2.size() ? entries.List2[i] : 255));
        }
        if (details) {
            auto appendNumber = [&out](std::uint64_t number) {
                char digits[24];
                out.append(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, number).ptr - digits));
            };
            bool firstItem = true;
            auto appendLanding = [&](std::string_view path, std::uint64_t clicks) {
                out += firstItem ? "{\"path\": "sv : ", {\"path\": "sv;
                firstItem = false;
                AppendJsonString(out, path);
                out += ", \"clicks\": "sv;
                appendNumber(clicks);
                out += '}';
            };
            auto appendLandingNumber = [&](std::uint32_t page, std::uint64_t clicks) {
                Repeated::Page& cached = repeated.pages[page % Repeated::kSlots];
                if (cached.number != page) {
                    cached.number = page;
                    cached.text.assign("{\"path\": "sv);
                    AppendJsonString(cached.text, scan.details->landingName(page));
                    cached.text += ", \"clicks\": "sv;
                }
                if (!firstItem)
                    out += ", "sv;
                firstItem = false;
                out += cached.text;
                appendNumber(clicks);
                out += '}';
            };
            auto appendDay = [&](std::int32_t day, std::uint64_t clicks) {
                out += firstItem ? "{\"date\": \""sv : ", {\"date\": \""sv;
                firstItem = false;
                Repeated::Day& cached = repeated.days[std::uint32_t(day) % Repeated::kSlots];
                if (!cached.made || cached.day != day) {
                    std::string date;
                    AppendDayText(date, day);
                    cached.made = date.size() == cached.text.size();
                    cached.day = day;
                    std::copy_n(date.begin(), std::min(date.size(), cached.text.size()), cached.text.begin());
                    if (!cached.made)
                        out += date;
                }
                if (cached.made)
                    out.append(cached.text.data(), cached.text.size());
                out += "\", \"clicks\": "sv;
                appendNumber(clicks);
                out += '}';
            };
            out += ", \"landings\": ["sv;
            bool inDays = false;
            VisitRowDetails(scan, i, bySite, siteMembers, appendLandingNumber, appendLanding,
                            [&](std::int32_t day, std::uint64_t clicks) {
                                if (!inDays) {
                                    out += "], \"days\": ["sv;
                                    firstItem = true;
                                    inDays = true;
                                }
                                appendDay(day, clicks);
                            });
            if (!inDays)
                out += "], \"days\": ["sv;
            out += ']';
            if (sources.bySource) {
                out += ", \"keywords\": ["sv;
                firstItem = true;
                for (const KeywordClicks& words : sources.keywordsOf(i)) {
                    out += firstItem ? "{\"keyword\": "sv : ", {\"keyword\": "sv;
                    firstItem = false;
                    AppendJsonString(out, words.keyword);
                    out += ", \"clicks\": "sv;
                    appendNumber(words.clicks);
                    out += '}';
                }
                out += ']';
            }
        }
        out += '}';
    };
    // A large answer's rows are formatted in batches, the second half of each
    // batch on another thread, and written in order.
    constexpr std::size_t kBatchRows = 4096;
    Repeated repeated;
    if (threads < 2 || rows.size() <= kBatchRows) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            appendRow(text, i, repeated);
            output.writeSome(text);
        }
    } else {
        // A third thread writes the batches formatted before while the next
        // is formatted: a pipe takes its bytes about as slowly as they are made.
        BatchWriter writer(output);
        std::string second;
        Repeated repeatedSecond;
        for (std::size_t begin = 0; begin < rows.size();) {
            const std::size_t middle = std::min(rows.size(), begin + kBatchRows);
            const std::size_t end = std::min(rows.size(), middle + kBatchRows);
            std::thread helper([&] {
                for (std::size_t i = middle; i < end; ++i)
                    appendRow(second, i, repeatedSecond);
            });
            for (std::size_t i = begin; i < middle; ++i)
                appendRow(text, i, repeated);
            helper.join();
            writer.write(text);
            writer.write(second);
            begin = end;
        }
        writer.finish();
    }
    text += rows.size() ? "\n  ],\n  \"unreadable\": [" : "],\n  \"unreadable\": [";
    for (std::size_t i = 0; i < scan.unreadable.size(); ++i) {
        text += i ? ",\n    {\"path\": " : "\n    {\"path\": ";
        AppendJsonString(text, Utf8(scan.unreadable[i].path));
        text += ", \"error\": ";
        AppendJsonString(text, Utf8(scan.unreadable[i].error));
        text += '}';
    }
    text += scan.unreadable.empty() ? "]" : "\n  ]";
    text += more;
    text += "\n}\n";
    output.write(text);
}

} // namespace backtrail::engine
