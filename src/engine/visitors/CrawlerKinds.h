#pragma once

#include <cstdint>
#include <string_view>

namespace backtrail::engine {

/// What the working lists keep of a referrer line's visitor in one byte (its
/// "bot mark"): 0 for a person, otherwise a crawler, with the kind the crawler
/// list names for it (the first tag of the first pattern that its user agent
/// matches: "ai-crawler", "search-engine", "seo", ...) as a number into one
/// table of kinds for the whole run, so that marks from any list, piece or
/// saved result mean the same.
constexpr std::uint8_t kPersonMark = 0;
/// A crawler of no known kind: only the address in its user agent told it, or
/// its pattern has no tags, or the table of kinds is full.
constexpr std::uint8_t kCrawlerMark = 1;

/// The name of the kind of a crawler of no known kind.
inline constexpr std::string_view kUnknownCrawlerKind = "crawler (unknown kind)";

/// The mark of a crawler of the given kind, adding the kind to the table when
/// it is new (kCrawlerMark for an empty kind or kUnknownCrawlerKind, or when
/// 254 kinds are known already). Thread-safe; not meant for each line, but for each list entry
/// or saved row.
std::uint8_t CrawlerKindMark(std::string_view kind);

/// The kind a mark stands for: empty for a person, kUnknownCrawlerKind for
/// kCrawlerMark or a mark the table does not hold. The text stays valid for
/// the whole run.
std::string_view CrawlerKindOfMark(std::uint8_t mark);

} // namespace backtrail::engine
