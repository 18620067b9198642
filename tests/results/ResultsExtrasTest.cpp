// The CSV export, grouping by site and finding in the results table, the
// landing page's address and where dropped files go.
#include "LineTimes.h"
#include "ModalBoxes.h"

#include "results/CsvExport.h"
#include "results/DroppedFiles.h"
#include "results/ResultsModel.h"
#include "results/RowAddress.h"
#include "results/modListViewEnh.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <array>

using namespace backtrail;
using backtrail::testing::at;
using results::ResultsModel;

namespace {

QStringList column(const ResultsModel& model, int c)
{
    QStringList cells;
    for (int r = 0; r < model.rowCount(); ++r)
        cells << model.cellText(r, c);
    return cells;
}

engine::ResultTable scanRows()
{
    engine::ResultTable t;
    t.append("HTM", "0000003", "http://www.Alpha.example/a", "/index.html");
    t.append("BOT", "0000005", "http://alpha.example/bot", "/robots.txt");
    t.append("JPG", "0000001", "http://beta.example:8080/b", "/pic.jpg");
    t.append("HTM", "0000004", "https://alpha.example/c?x", "/");
    return t;
}

} // namespace

class ResultsExtrasTest : public QObject
{
    Q_OBJECT
private slots:
    void csvFieldsAreQuotedWhereTheyMustBe();
    void csvOfTheTableAsShown();
    void csvExportWritesAtomicallyAndReportsFailure();
    void groupingSwitchesRowsAndKeepsTheSortState();
    void aSpamSiteIsSpamWithOrWithoutItsType();
    void findReferrerGoesOnFromARowAndWraps();
    void landingAndSiteAddresses();
    void droppedFilesChooseOneFolder();
};

void ResultsExtrasTest::csvFieldsAreQuotedWhereTheyMustBe()
{
    QCOMPARE(results::CsvField("plain"), std::string("plain"));
    QCOMPARE(results::CsvField(""), std::string(""));
    QCOMPARE(results::CsvField("a,b"), std::string("\"a,b\""));
    QCOMPARE(results::CsvField("say \"hi\""), std::string("\"say \"\"hi\"\"\""));
    QCOMPARE(results::CsvField("one\ntwo"), std::string("\"one\ntwo\""));
    QCOMPARE(results::CsvField("one\r\ntwo"), std::string("\"one\r\ntwo\""));
    QCOMPARE(results::CsvField(" padded"), std::string("\" padded\""));
    // What a spreadsheet would run as a formula is made text.
    QCOMPARE(results::CsvField("=HYPERLINK(\"x\")"), std::string("\"'=HYPERLINK(\"\"x\"\")\""));
    QCOMPARE(results::CsvField("-1"), std::string("'-1"));
    QCOMPARE(results::CsvField("@x"), std::string("'@x"));
    // UTF-8 stays as it is; bytes that are not UTF-8 become U+FFFD as the table shows them.
    QCOMPARE(results::CsvField("caf\xc3\xa9"), std::string("caf\xc3\xa9"));
    QCOMPARE(results::CsvField("a\xff"
                               "b"),
             std::string("a\xef\xbf\xbd"
                         "b"));
    const std::array<std::string_view, 3> fields {"x", "y,z", ""};
    QCOMPARE(results::CsvRecord(fields), std::string("x,\"y,z\",\r\n"));
}

void ResultsExtrasTest::csvOfTheTableAsShown()
{
    ResultsModel model;
    QCOMPARE(results::ResultsCsv(model),
             std::string("Type,Clicks,Referrer,Landing Page,First Seen,Last Seen,Source\r\n"));
    engine::ResultTable rows;
    rows.append("HTM", "0000002", "http://a.example/q?x=1,2", "/p \"q\"", false, at(2026, 12, 8, 17, 13, 23, 120),
                at(2026, 12, 9, 8, 0, 5, -300));
    rows.append("", "", "http://b.example/", "");
    rows.append("HTM", "0000003", "http://www.a.example/", "/", false, at(2026, 12, 8, 16, 0, 0, 0),
                at(2026, 12, 9, 12, 0, 0, 0));
    model.setRows(std::move(rows));
    results::EnhListView_SortColumns(model, 3, false); // Referrer, descending
    QCOMPARE(results::ResultsCsv(model),
             std::string("Type,Clicks,Referrer,Landing Page,First Seen,Last Seen,Source\r\n"
                         "HTM,0000003,http://www.a.example/,/,2026-12-08T16:00:00+00:00,2026-12-09T12:00:00+00:00,"
                         "a.example (Website)\r\n"
                         ",,http://b.example/,,,,b.example (Website)\r\n"
                         "HTM,0000002,\"http://a.example/q?x=1,2\",\"/p \"\"q\"\"\",2026-12-08T17:13:23+02:00,"
                         "2026-12-09T08:00:05-05:00,a.example (Website)\r\n"));
    // A site row carries the earliest and latest instants of its rows, as they were written.
    model.setGroupedBySite(true);
    QCOMPARE(
        results::ResultsCsv(model),
        std::string("Type,Clicks,Referrer,Landing Page,First Seen,Last Seen,Source\r\n"
                    ",0000001,b.example,,,,b.example (Website)\r\n"
                    ",0000005,a.example,,2026-12-08T17:13:23+02:00,2026-12-09T08:00:05-05:00,a.example (Website)\r\n"));
}

void ResultsExtrasTest::csvExportWritesAtomicallyAndReportsFailure()
{
    QTemporaryDir dir;
    ResultsModel model;
    model.setRows(scanRows());
    const QString path = dir.path() + "/out.csv";
    const results::CsvOutcome written = results::ExportResultsCsv(model, path);
    QVERIFY(written.saved);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().toStdString(), results::ResultsCsv(model));
    // A folder in the file's place cannot be written over: the failure says why.
    QVERIFY(QDir().mkpath(dir.path() + "/taken.csv"));
    const results::CsvOutcome failed = results::ExportResultsCsv(model, dir.path() + "/taken.csv");
    QVERIFY(!failed.saved);
    QVERIFY(!failed.error.isEmpty());
    QVERIFY(QFileInfo(dir.path() + "/taken.csv").isDir());
}

void ResultsExtrasTest::groupingSwitchesRowsAndKeepsTheSortState()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(scanRows());
    model.setGroupedBySite(true);
    // Crawlers group apart; www, letter case, ports and https do not split a site.
    QCOMPARE(column(model, 2), (QStringList {"alpha.example", "alpha.example", "beta.example"}));
    QCOMPARE(column(model, 0), (QStringList {"", "BOT", ""}));
    QCOMPARE(column(model, 1), (QStringList {"0000007", "0000005", "0000001"}));
    QCOMPARE(column(model, 3), (QStringList {"", "", ""}));
    // Each site row stands for the scan's rows it sums.
    QCOMPARE(model.entriesOf(0), (std::vector<std::size_t> {0, 3}));
    QCOMPARE(model.entriesOf(1), (std::vector<std::size_t> {1}));
    QCOMPARE(model.entriesOf(2), (std::vector<std::size_t> {2}));

    results::EnhListView_SortColumns(model, 2, false); // Clicks, descending
    QCOMPARE(column(model, 1), (QStringList {"0000007", "0000005", "0000001"}));
    results::EnhListView_SortColumns(model, 2, false); // ascending
    QCOMPARE(column(model, 1), (QStringList {"0000001", "0000005", "0000007"}));

    QCOMPARE(model.entriesOf(2), (std::vector<std::size_t> {0, 3})); // sorted: alpha.example is last

    // Back to the scan's rows, in the same sort.
    model.setGroupedBySite(false);
    QCOMPARE(column(model, 1), (QStringList {"0000001", "0000003", "0000004", "0000005"}));
    QCOMPARE(model.entriesOf(3), (std::vector<std::size_t> {1}));
    // Rows set while grouped arrive grouped and sorted.
    model.setGroupedBySite(true);
    engine::ResultTable next;
    next.append("HTM", "0000009", "http://c.example/", "/");
    next.append("HTM", "0000002", "http://d.example/", "/");
    model.setRows(std::move(next));
    QCOMPARE(column(model, 2), (QStringList {"d.example", "c.example"}));
    model.clearRows();
    QCOMPARE(model.rowCount(), 0);
    model.setGroupedBySite(false);
    QCOMPARE(model.rowCount(), 0);
}

// The spam list given with the source lists tells a spam row whether or not
// type codes typed it "SPM"; without one, only the type does.
void ResultsExtrasTest::aSpamSiteIsSpamWithOrWithoutItsType()
{
    engine::ResultTable rows;
    rows.append("", "", "http://promo.spam.example/offer", "/");
    rows.append("SPM", "", "http://www.spam.example/", "/");
    rows.append("", "", "http://blog.example/", "/");
    auto kinds = [](const ResultsModel& model) {
        std::vector<engine::SourceKind> found;
        for (int r = 0; r < model.rowCount(); ++r)
            found.push_back(model.sourceOf(r).kind);
        return found;
    };
    using enum engine::SourceKind;
    ResultsModel model;
    model.setRows(rows.share());
    QCOMPARE(kinds(model), (std::vector {Website, Spam, Website}));
    model.setSourceLists(std::make_shared<engine::SourceLists>(engine::SourceLists::Shipped()),
                         std::make_shared<engine::SpamList>("spam.example"));
    model.setRows(rows.share());
    QCOMPARE(kinds(model), (std::vector {Spam, Spam, Website}));
    QCOMPARE(model.sourceOf(0).name, std::string("promo.spam.example"));
    model.setGroupedBySource(true);
    QCOMPARE(column(model, 2), (QStringList {"promo.spam.example", "spam.example", "blog.example"}));
    QCOMPARE(kinds(model), (std::vector {Spam, Spam, Website}));
}

void ResultsExtrasTest::findReferrerGoesOnFromARowAndWraps()
{
    ResultsModel model;
    QCOMPARE(model.findReferrer("x", -1), -1);
    model.setRows(scanRows());
    QCOMPARE(model.findReferrer("ALPHA", -1), 0);
    QCOMPARE(model.findReferrer("alpha", 0), 1);
    QCOMPARE(model.findReferrer("alpha", 1), 3);
    QCOMPARE(model.findReferrer("alpha", 3), 0); // wraps
    QCOMPARE(model.findReferrer("8080", 2), 2); // only itself: found again after a full turn
    QCOMPARE(model.findReferrer("nowhere", 1), -1);
    QCOMPARE(model.findReferrer("", -1), -1);
    QCOMPARE(model.findReferrer("alpha", 99), 0);
    // The landing column is not searched.
    QCOMPARE(model.findReferrer("robots", -1), -1);
    // Rows are found in view order.
    results::EnhListView_SortColumns(model, 2, false);
    QCOMPARE(model.cellText(model.findReferrer("alpha", -1), 2), QStringLiteral("http://alpha.example/bot"));
}

void ResultsExtrasTest::landingAndSiteAddresses()
{
    using results::LandingPageAddress;
    QCOMPARE(LandingPageAddress("www.my.example", "/a/b.html?x=1"),
             QStringLiteral("http://www.my.example/a/b.html?x=1"));
    QCOMPARE(LandingPageAddress(" https://www.my.example/ ", "/"), QStringLiteral("http://www.my.example/"));
    QCOMPARE(LandingPageAddress("HTTP://my.example", "/p"), QStringLiteral("http://my.example/p"));
    QCOMPARE(LandingPageAddress("my.example", "p"), QStringLiteral("http://my.example/p"));
    QCOMPARE(LandingPageAddress("my.example/blog/", "/blog/post"), QStringLiteral("http://my.example/blog/post"));
    QCOMPARE(LandingPageAddress("my.example", ""), QString());
    QCOMPARE(LandingPageAddress("", "/p"), QString());
    QCOMPARE(results::SiteAddress("alpha.example"), QStringLiteral("http://alpha.example/"));
    QCOMPARE(results::SiteAddress(""), QString());
}

void ResultsExtrasTest::droppedFilesChooseOneFolder()
{
    QTemporaryDir dir;
    const QString a = dir.path() + "/a";
    const QString b = dir.path() + "/b";
    QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
    for (const QString& path : {a + "/1.log", a + "/2.log", b + "/3.log"}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    results::DroppedFiles files
        = results::ResolveDroppedFiles({a + "/2.log", a + "/1.log", b + "/3.log", a + "/gone.log", a + "/2.log"});
    QCOMPARE(files.folder, a);
    QVERIFY(!files.allFiles);
    QCOMPARE(files.names, (QStringList {"2.log", "1.log"}));
    QCOMPARE(files.skipped, (QStringList {b + "/3.log", a + "/gone.log"}));

    files = results::ResolveDroppedFiles({dir.path() + "/missing", b + "/", b + "/3.log", a});
    QCOMPARE(files.folder, b);
    QVERIFY(files.allFiles);
    QCOMPARE(files.skipped, (QStringList {dir.path() + "/missing", a}));

    QDir::setCurrent(a);
    files = results::ResolveDroppedFiles({"1.log"});
    QCOMPARE(files.folder, a);
    QCOMPARE(files.names, QStringList {"1.log"});

    QVERIFY(results::ResolveDroppedFiles({dir.path() + "/none"}).folder.isEmpty());
    QVERIFY(results::ResolveDroppedFiles({}).folder.isEmpty());
}

QTEST_MAIN(ResultsExtrasTest)
#include "ResultsExtrasTest.moc"
