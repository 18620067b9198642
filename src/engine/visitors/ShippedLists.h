#pragma once

#include <string_view>

namespace backtrail::engine {

// The lists that ship with the program, compiled into the engine from
// third_party/ at build time (see cmake/EmbedFile.cmake); the bytes stay valid
// for the whole run.

/// third_party/crawler-user-agents/crawler-user-agents.json: the crawler
/// patterns with their example user agents.
std::string_view ShippedCrawlerUserAgentsJson();

/// third_party/referrer-spam-list/spammers.txt: hosts that send referrer spam,
/// one a line.
std::string_view ShippedSpammersTxt();

/// third_party/searchengine-and-social-list/: the search engines, social
/// networks and AI assistants that referrers come from (YAML).
std::string_view ShippedSearchEnginesYml();
std::string_view ShippedSocialsYml();
std::string_view ShippedAIAssistantsYml();

} // namespace backtrail::engine
