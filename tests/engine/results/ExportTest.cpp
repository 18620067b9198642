#include "TestSupport.h"

#include "engine/results/Export.h"

#include <gtest/gtest.h>

using namespace backtrail::engine;

namespace {

TEST(ExportLine, LinksTheBareAddressAndShowsTheWholeEntry)
{
    EXPECT_EQ(BuildExportLine("0000003|http://a.example/p"),
              "<a href='http://a.example/p'>0000003|http://a.example/p</a><br>");
    EXPECT_EQ(BuildExportLine("http://a.example/p"), "<a href='http://a.example/p'>http://a.example/p</a><br>");
    // Tags in any letter case leave the target, not the text; only the first blank goes.
    EXPECT_EQ(ExportLinkTarget("http://a.example/[IMG]x"), "http://a.example/x");
    EXPECT_EQ(ExportLinkTarget("http://a.example/a b c"), "http://a.example/ab c");
    EXPECT_EQ(ExportLinkTarget("http://a|http://b.example/"), "http://b.example/");
}

TEST(ExportLine, NothingALogLineCarriesCanRunInThePage)
{
    // An apostrophe would end the attribute; markup would become page content.
    EXPECT_EQ(BuildExportLine("http://a.example/'onmouseover='alert(1)"),
              "<a href='http://a.example/&#39;onmouseover=&#39;alert(1)'>http://a.example/&#39;onmouseover=&#39;"
              "alert(1)</a><br>");
    EXPECT_EQ(
        BuildExportLine("http://a.example/<script>&\""),
        "<a href='http://a.example/&lt;script&gt;&amp;&quot;'>http://a.example/&lt;script&gt;&amp;&quot;</a><br>");
    // A target that is not a web address is not linked.
    EXPECT_EQ(ExportLinkTarget("0000001|javascript:alert(1)"), "#");
    EXPECT_EQ(ExportLinkTarget("HTTPS://a.example/"), "HTTPS://a.example/");
    EXPECT_EQ(ExportLinkTarget(" http://a.example/"), "http://a.example/"); // the first blank goes first
}

TEST(WriteExport, OneCrLfLinePerEntryInListOrderAtomically)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("referers.html"));
    WorkingLists lists;
    QString error;
    ASSERT_TRUE(WriteExport(lists, path, &error));
    EXPECT_EQ(QFileInfo(path).size(), 0);

    lists.List1.append("http://b.example/");
    lists.List1.append("http://a.example/");
    lists.counts = {2, 1};
    lists.countsWritten = true;
    ASSERT_TRUE(WriteExport(lists, path, &error));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(),
              "<a href='http://b.example/'>0000002|http://b.example/</a><br>\r\n"
              "<a href='http://a.example/'>0000001|http://a.example/</a><br>\r\n");

    // A folder that is gone: a clear failure, never a success.
    EXPECT_FALSE(WriteExport(lists, dir.filePath(QStringLiteral("gone/referers.html")), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
