#pragma once

#include "CrawlerList.h"
#include "SourceLists.h"
#include "SpamList.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace backtrail::engine {

/// The lists that tell a scan's visitors apart: crawlers by their user agents,
/// referrer spam by its hosts, and where people come from (search engines,
/// social networks, AI assistants) by their referrers.
struct VisitorLists
{
    CrawlerList crawlers;
    std::shared_ptr<const SpamList> spam;
    std::shared_ptr<const SourceLists> sources;
    /// What went wrong, one text a fault ("FILE: what is wrong").
    QStringList problems;
    /// False when a list that was asked for cannot be used as it is (missing,
    /// no list, a pattern that does not compile); the shipped list is then in
    /// its place. A user's spam.txt that cannot be read is a problem, but the
    /// lists stay usable.
    bool usable = true;
};

/// The lists both front ends scan with: the shipped crawler list, or the
/// crawler-user-agents JSON list at `crawlerListPath`; the shipped spam hosts,
/// or those of `spamListPath` (one a line); with the user's own spam hosts
/// from the spam.txt beside `settingsFile` in either case; the shipped source
/// lists, or the SearchEngines.yml, Socials.yml and AIAssistants.yml of the
/// folder `sourceListsFolder`. An empty path stands for the shipped list.
VisitorLists LoadVisitorLists(const QString& crawlerListPath = {}, const QString& spamListPath = {},
                              const QString& settingsFile = {}, const QString& sourceListsFolder = {});

} // namespace backtrail::engine
