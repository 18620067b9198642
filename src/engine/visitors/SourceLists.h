#pragma once

#include "ReferrerText.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace backtrail::engine {

/// Where a row's visitors come from.
enum class SourceKind : std::uint8_t { Website, Search, Social, Ai, Crawler, Spam };

/// The kind as the scanner writes it: "website", "search", "social", "ai",
/// "crawler", "spam".
std::string_view SourceKindName(SourceKind kind);
/// The kind a name (as SourceKindName writes it) stands for; false for none.
bool SourceKindFromName(std::string_view name, SourceKind& kind);

/// A row's source: its kind, its name (a search engine's, social network's or
/// AI assistant's name as the lists write it, a crawler's kind, or the site),
/// and for a search engine the visitor's search words (UTF-8; empty when the
/// engine hides them).
struct Source
{
    SourceKind kind = SourceKind::Website;
    std::string name;
    std::string keyword;
    bool operator==(const Source&) const = default;
};

/// The search engines, social networks and AI assistants of the
/// searchengine-and-social-list YAML files (SearchEngines.yml, Socials.yml,
/// AIAssistants.yml), and the rule that gives a person's referrer its source
/// by them:
///
/// An AI-assistant or social entry "H" or "H/P" (a leading "www." dropped
/// from H) matches a host equal to H or ending in ".H", and where it has a
/// path, a path starting with "/P". A search-engine entry matches a host equal
/// to H, where "{}" at the end of H stands for a public suffix and elsewhere
/// for one label; an engine counts only when it finds search words in the
/// referrer or its path onward is one of the engine's hidden-keyword pages.
/// The longest matching entry text (as the list writes it) wins; on a tie an
/// AI assistant, then a search engine, then a social network, then the entry
/// listed first. No match: a website, named by its site, or an app's
/// (android-app://PACKAGE/) by "app:" and its package.
///
/// A built list is only read: one may serve many threads, and a copy shares
/// its entries.
class SourceLists
{
public:
    /// No entries: every referrer is a website.
    SourceLists();
    ~SourceLists();
    SourceLists(const SourceLists&);
    SourceLists& operator=(const SourceLists&);

    /// Reads the three files' texts. False, with `error` naming the file and
    /// what is wrong with it, when one is no such list (or holds a pattern
    /// that does not compile).
    static bool FromYaml(std::string_view searchEngines, std::string_view socials, std::string_view aiAssistants,
                         SourceLists& lists, QString* error);
    /// Reads SearchEngines.yml, Socials.yml and AIAssistants.yml of a folder;
    /// false, with `error` naming the file, when one is missing or malformed.
    static bool FromFolder(const QString& folder, SourceLists& lists, QString* error);
    /// The lists shipped with the program, read once per run.
    static const SourceLists& Shipped();

    /// Entries read, of all three lists.
    std::size_t size() const;

    /// The source of a person's referrer by the lists: an AI assistant, a
    /// search engine or a social network, else a website named by its site
    /// (an app: "app:" and its package).
    Source classify(std::string_view referrer) const;

    /// The entries whose host matches a host (a ReferrerParts host), best
    /// first; what the paths and search words then decide between.
    using HostMatches = std::vector<std::uint32_t>;
    HostMatches hostMatches(std::string_view host) const;
    /// classify() with the host's matches looked up before.
    Source classify(std::string_view referrer, const ReferrerParts& parts, const HostMatches& matches) const;

    struct Data;

private:
    std::shared_ptr<const Data> data;
};

/// Tells the sources of many referrers, looking each distinct host up once
/// (most rows of a scan share their hosts with others). One instance serves
/// one thread; the lists must outlive it.
class SourceClassifier
{
public:
    explicit SourceClassifier(const SourceLists& sourceLists)
        : lists(sourceLists)
    {
    }
    Source operator()(std::string_view referrer);

private:
    /// Hosts remembered at most; past it the memory starts again empty.
    static constexpr std::size_t kMostHosts = 1 << 16;
    struct HostHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept;
    };
    const SourceLists& lists;
    std::unordered_map<std::string, SourceLists::HostMatches, HostHash, std::equal_to<>> cache;
};

} // namespace backtrail::engine
