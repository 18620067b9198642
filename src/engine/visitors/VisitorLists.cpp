#include "VisitorLists.h"

#include <QFile>

namespace backtrail::engine {

namespace {

// The bytes of a list file; false, with the problem noted, when it cannot be read.
bool readList(const QString& path, QByteArray& bytes, VisitorLists& lists)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        lists.problems << QStringLiteral("%1: %2").arg(path, file.errorString());
        lists.usable = false;
        return false;
    }
    bytes = file.readAll();
    return true;
}

// The crawler list, and the spam hosts with the user's own.
void readCrawlersAndSpam(const QString& crawlerListPath, const QString& spamListPath, const QString& settingsFile,
                         VisitorLists& lists)
{
    QByteArray bytes;
    bool crawlersGiven = false;
    if (!crawlerListPath.isEmpty() && readList(crawlerListPath, bytes, lists)) {
        CrawlerList given = CrawlerList::FromJson(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        if (!given.error().isEmpty()) {
            lists.problems << QStringLiteral("%1: %2").arg(crawlerListPath, given.error());
            lists.usable = false;
        }
        // A pattern that does not compile would tell no crawler, without a word.
        for (const CrawlerList::Rejected& entry : given.rejected()) {
            lists.problems << QStringLiteral("%1: entry %2: %3%4")
                                  .arg(crawlerListPath)
                                  .arg(entry.entry + 1)
                                  .arg(
                                      entry.pattern.empty()
                                          ? QString()
                                          : QStringLiteral("pattern '%1': ").arg(QString::fromStdString(entry.pattern)),
                                      QString::fromStdString(entry.reason));
            lists.usable = false;
        }
        if (lists.usable) {
            lists.crawlers = given;
            crawlersGiven = true;
        }
    }
    // The shipped list is read only when no usable list takes its place.
    if (!crawlersGiven)
        lists.crawlers = CrawlerList::Shipped();
    QString spamError;
    const QStringList userHosts
        = settingsFile.isEmpty() ? QStringList() : ReadUserSpamList(UserSpamListPath(settingsFile), &spamError);
    if (!spamError.isEmpty())
        lists.problems << spamError;
    auto spam = std::make_shared<SpamList>();
    if (!spamListPath.isEmpty() && readList(spamListPath, bytes, lists)) {
        spam->addLines(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        spam->addLines(userHosts);
    } else {
        *spam = SpamList::Shipped(userHosts);
    }
    lists.spam = std::move(spam);
}

} // namespace

VisitorLists LoadVisitorLists(const QString& crawlerListPath, const QString& spamListPath, const QString& settingsFile,
                              const QString& sourceListsFolder)
{
    VisitorLists lists;
    readCrawlersAndSpam(crawlerListPath, spamListPath, settingsFile, lists);
    // The shipped source lists are read only when no other folder's take their place.
    auto sources = std::make_shared<SourceLists>();
    QString sourcesError;
    if (sourceListsFolder.isEmpty()) {
        *sources = SourceLists::Shipped();
    } else if (!SourceLists::FromFolder(sourceListsFolder, *sources, &sourcesError)) {
        lists.problems << sourcesError;
        lists.usable = false;
        *sources = SourceLists::Shipped();
    }
    lists.sources = std::move(sources);
    return lists;
}

} // namespace backtrail::engine
