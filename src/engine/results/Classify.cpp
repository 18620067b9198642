#include "Classify.h"

#include "engine/visitors/SpamList.h"

#include "engine/fields/LogReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>

namespace backtrail::engine {

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
            const std::uint8_t mark = i < lists.bot.size() ? lists.bot[i] : kPersonMark;
            const bool bot = mark != kPersonMark;
            std::string_view type;
            if (bGetFileTypes)
                type = bot                                        ? std::string_view("BOT")
                    : spam && spam->isSpam(ReferrerHost(address)) ? std::string_view("SPM")
                                                                  : ExtensionCode(lists.List2[i]);
            if (address != listed)
                own.emplace_back(i, address);
            into.appendLabels(type, clicks, mark);
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
