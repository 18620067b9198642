#pragma once

#include "CliFrontEnd.h"

#include "engine/visitors/CrawlerList.h"
#include "engine/visitors/SpamList.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>
#include <vector>

namespace backtrail::cli {

/// The files to scan: each file as given, each folder as all the log files it
/// lists. A path that names no ordinary file is a problem, with the reason.
void ListInputs(const QStringList& paths, std::vector<Entry>& entries, std::vector<Problem>& missing);

/// The lists that tell crawlers and referrer spam: the shipped ones, or the
/// files given (an empty path: the shipped list), with the user's own spam
/// hosts from the spam.txt beside `settingsFile`. False, after a line on `err`
/// for each fault, when a list given cannot be used as it is.
bool LoadVisitorLists(const QString& crawlerListPath, const QString& spamListPath, const QString& settingsFile,
                      std::ostream& err, engine::CrawlerList& crawlers, std::shared_ptr<engine::SpamList>& spamHosts);

} // namespace backtrail::cli
