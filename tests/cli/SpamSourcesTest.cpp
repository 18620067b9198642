#include "ScanCommand.h"

#include "engine/base/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

using namespace backtrail;

namespace {

// A referrer whose host the spam list holds is spam, by its row's type or
// without one: in every grouping, with type codes on or off.
TEST(SpamSources, ASpamSiteIsSpamWithTypeCodesOnOrOff)
{
    QTemporaryDir dir;
    engine::IniSettingsStore store {dir.filePath(QStringLiteral("settings/Backtrail.ini"))};
    auto write = [&](const QString& name, const std::string& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
        return file.fileName();
    };
    const QString spamList = write(QStringLiteral("spam-hosts.txt"), "spam.example\n");
    std::string lines;
    for (const char* referrer : {"http://promo.spam.example/offer", "http://blog.example/post"})
        lines += std::string("1.1.1.1 - - [08/Dec/2026:10:00:00 +0000] \"GET /a HTTP/1.1\" 200 1 \"") + referrer
            + "\" \"Mozilla/5.0\"\n";
    const QString log = write(QStringLiteral("access.log"), lines);
    for (const char* types : {"--types", "--no-types"}) {
        for (const char* grouping : {"--by-source", "--by-site", "--no-dupes"}) {
            std::ostringstream out, err;
            const QStringList arguments {QStringLiteral("--spam-list"),
                                         spamList,
                                         QString::fromLatin1(types),
                                         QString::fromLatin1(grouping),
                                         QStringLiteral("--format=tsv"),
                                         QStringLiteral("--quiet"),
                                         log};
            ASSERT_EQ(cli::RunScanCommand(arguments, store, {out, err, false}), 0) << err.str();
            EXPECT_NE(out.str().find("\tspam:promo.spam.example\n"), std::string::npos)
                << types << ' ' << grouping << '\n'
                << out.str();
            EXPECT_NE(out.str().find("\twebsite:blog.example\n"), std::string::npos) << out.str();
        }
    }
}

} // namespace
