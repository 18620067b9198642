#include "ScanInputs.h"

#include "TextOutput.h"

#include "engine/input/FileRoutines.h"

#include <QFile>
#include <QFileInfo>

namespace backtrail::cli {

using namespace backtrail::engine;

void ListInputs(const QStringList& paths, std::vector<Entry>& entries, std::vector<Problem>& missing)
{
    // The file list: each file as given, each folder as all the files it lists.
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& name : ListLogFiles(path))
                entries.push_back({path, name});
        } else if (!info.exists()) {
            missing.push_back({path, QStringLiteral("No such file or directory")});
        } else if (!xdirExists(path)) {
            missing.push_back(
                {path,
                 info.isFile() ? QStringLiteral("hidden file, not scanned") : QStringLiteral("not an ordinary file")});
        } else {
            const QString folder = path.contains(u'/') ? path.left(path.lastIndexOf(u'/')) : QStringLiteral(".");
            entries.push_back({folder.isEmpty() ? QStringLiteral("") : folder, xfileExists(path)});
        }
    }
}

bool LoadVisitorLists(const QString& crawlerListPath, const QString& spamListPath, const QString& settingsFile,
                      std::ostream& err, CrawlerList& crawlers, std::shared_ptr<SpamList>& spamHosts)
{
    // The lists that tell crawlers and spam: the shipped ones, or the files given.
    crawlers = CrawlerList::Shipped();
    if (!crawlerListPath.isEmpty()) {
        QFile file(crawlerListPath);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "backtrail-scan: " << Utf8(file.fileName()) << ": " << Utf8(file.errorString()) << '\n';
            return false;
        }
        const QByteArray json = file.readAll();
        crawlers = CrawlerList::FromJson(std::string_view(json.constData(), std::size_t(json.size())));
        if (!crawlers.error().isEmpty()) {
            err << "backtrail-scan: " << Utf8(file.fileName()) << ": " << Utf8(crawlers.error()) << '\n';
            return false;
        }
        // A pattern that does not compile would tell no crawler, without a word.
        for (const CrawlerList::Rejected& entry : crawlers.rejected()) {
            err << "backtrail-scan: " << Utf8(file.fileName()) << ": entry " << entry.entry + 1 << ": "
                << (entry.pattern.empty() ? std::string() : "pattern '" + entry.pattern + "': ") << entry.reason
                << '\n';
        }
        if (!crawlers.rejected().empty())
            return false;
    }
    QString spamError;
    const QStringList userSpam
        = settingsFile.isEmpty() ? QStringList() : ReadUserSpamList(UserSpamListPath(settingsFile), &spamError);
    if (!spamError.isEmpty())
        err << "backtrail-scan: " << Utf8(spamError) << '\n';
    spamHosts = std::make_shared<SpamList>();
    if (!spamListPath.isEmpty()) {
        QFile file(spamListPath);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "backtrail-scan: " << Utf8(file.fileName()) << ": " << Utf8(file.errorString()) << '\n';
            return false;
        }
        const QByteArray lines = file.readAll();
        spamHosts->addLines(std::string_view(lines.constData(), std::size_t(lines.size())));
        spamHosts->addLines(userSpam);
    } else {
        *spamHosts = SpamList::Shipped(userSpam);
    }
    return true;
}

} // namespace backtrail::cli
