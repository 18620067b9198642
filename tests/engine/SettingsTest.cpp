#include "TestSupport.h"

#include "engine/Settings.h"

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
        EXPECT_FALSE(values.bHttps);
        EXPECT_EQ(values.strYourWebsite, QString::fromLatin1(kPlaceholderDomain));
    }
    {
        IniSettingsStore store(file);
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

} // namespace
