#include "TestSupport.h"

#include "engine/base/Settings.h"

#include <gtest/gtest.h>

using namespace backtrail::engine;

namespace {

TEST(TextToBool, NumbersAndWords)
{
    const std::vector<std::pair<QString, bool>> cases = {
        {"1", true},    {"0", false},       {"2", true},    {"-1", true},     {" 1 ", true},
        {"0.0", false}, {"true", true},     {"TRUE", true}, {"False", false}, {"", false},
        {"yes", false}, {"garbage", false}, {"nan", false}, {"inf", false},   {"1e3", true},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(TextToBool(text), value) << text.toStdString();
}

TEST(LoadSettings, DefaultsStoredValuesAndBrokenFiles)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Backtrail.ini"));
    {
        const IniSettingsStore empty(file);
        const ScanSettings values = ReadScanSettings(empty);
        EXPECT_TRUE(values.bRemoveDupes);
        EXPECT_TRUE(values.bDisplayStats);
        EXPECT_TRUE(values.bGetFileTypes);
        EXPECT_TRUE(values.bHttps); // https:// referrers are found unless a stored "0" says otherwise
        EXPECT_EQ(values.strYourWebsite, QString::fromLatin1(kPlaceholderDomain));
        EXPECT_EQ(values.logFormat, LogFormat::Auto);
    }
    {
        IniSettingsStore store(file);
        ASSERT_TRUE(store.write(u"data", u"logFormat", QStringLiteral(" W3C ")));
        EXPECT_EQ(ReadScanSettings(store).logFormat, LogFormat::W3c); // letter case and blanks aside
        ASSERT_TRUE(store.write(u"data", u"logFormat", QStringLiteral("apache")));
        EXPECT_EQ(ReadScanSettings(store).logFormat, LogFormat::Auto); // a name it does not know
        ASSERT_TRUE(store.write(u"data", u"bRemoveDupes", QStringLiteral("0")));
        ASSERT_TRUE(store.write(u"data", u"strYourWebsite", QString()));
        ASSERT_TRUE(store.write(u"data", u"bHttps", QStringLiteral("1")));
    }
    {
        const IniSettingsStore store(file);
        LoadSettings(store);
        EXPECT_FALSE(Globals().bRemoveDupes);
        EXPECT_TRUE(Globals().bHttps);
        EXPECT_EQ(Globals().strYourWebsite, QString());
    }
    // Garbage in the file: defaults, and no crash.
    backtrail::testing::WriteBytes(file, std::string("\x00\xff[data\nbRemoveDupes\n=\x01=\n[[[", 26));
    const ScanSettings values = ReadScanSettings(IniSettingsStore(file));
    EXPECT_TRUE(values.bRemoveDupes);
}

TEST(IniSettingsStore, AWriteThatCannotBeSavedSaysSo)
{
    QTemporaryDir dir;
    // A file stands where the settings folder should be.
    backtrail::testing::WriteBytes(dir.filePath(QStringLiteral("blocked")), "x");
    IniSettingsStore store(dir.filePath(QStringLiteral("blocked/Backtrail.ini")));
    EXPECT_FALSE(store.write(u"data", u"path", QStringLiteral("/tmp")));
    EXPECT_EQ(store.read(u"data", u"bRemoveDupes", QStringLiteral("1")), QStringLiteral("1"));
}

TEST(LoadSettings, TruncatedFilesAndHugeValues)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Backtrail.ini"));
    const std::string whole = "[data]\nbRemoveDupes=0\nbDisplayStats=0\nstrYourWebsite=mysite.example\nbHttps=1\n";
    // Cut at every length: each key reads as written or as its default, never as anything else.
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        backtrail::testing::WriteBytes(file, whole.substr(0, cut));
        const ScanSettings values = ReadScanSettings(IniSettingsStore(file));
        EXPECT_TRUE(values.strYourWebsite == QString::fromLatin1(kPlaceholderDomain)
                    || QStringLiteral("mysite.example").startsWith(values.strYourWebsite))
            << cut;
        EXPECT_TRUE(values.bGetFileTypes) << cut;
    }
    // Values of megabytes, a number too large for a double, a key repeated, a line without "=".
    const std::string site(8u << 20, 's');
    const std::string digits = "1" + std::string(1u << 20, '0');
    backtrail::testing::WriteBytes(file,
                                   "[data]\nstrYourWebsite=" + site + "\nbRemoveDupes=" + digits
                                       + "\nbDisplayStats=1e999999\nbHttps=0\nbHttps=1\n" + std::string(1u << 20, 'k')
                                       + "\npath=" + std::string(1u << 20, '/') + "\n");
    IniSettingsStore store(file);
    const ScanSettings values = ReadScanSettings(store);
    EXPECT_EQ(values.strYourWebsite.size(), qsizetype(site.size()));
    EXPECT_FALSE(values.bRemoveDupes); // too large to be a finite number
    EXPECT_FALSE(values.bDisplayStats);
    EXPECT_TRUE(values.bGetFileTypes);
    // The store still takes writes after reading such a file, and says that they landed:
    // the first write replaces the damaged file with a clean one, and so does each after it.
    EXPECT_TRUE(store.write(u"data", u"bHttps", QStringLiteral("0")));
    EXPECT_TRUE(store.write(u"data", u"bHttps", QStringLiteral("0")));
    EXPECT_TRUE(store.write(u"data", u"path", QStringLiteral("/var/log")));
    const IniSettingsStore reread(file);
    EXPECT_FALSE(ReadScanSettings(reread).bHttps);
    EXPECT_EQ(reread.read(u"data", u"path", {}), QStringLiteral("/var/log"));
    EXPECT_EQ(ReadScanSettings(reread).strYourWebsite.size(), qsizetype(site.size())); // what was readable is kept
}

} // namespace
