// The results table's model and the header-click sort routine.
#include "LineTimes.h"
#include "ModalBoxes.h"

#include "results/ResultsModel.h"
#include "results/modListViewEnh.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <limits>
#include <numeric>
#include <random>

using namespace backtrail;
using backtrail::testing::at;
using results::EnhListView_SortColumns;
using results::ResultsModel;
using results::SortOrder;

namespace {

struct Row
{
    const char* type;
    const char* clicks;
    const char* referrer;
};

engine::ResultTable table(std::initializer_list<Row> rows)
{
    engine::ResultTable t;
    for (const Row& r : rows)
        t.append(r.type, r.clicks, r.referrer, "/landing");
    return t;
}

QStringList column(const ResultsModel& model, int c)
{
    QStringList cells;
    for (int r = 0; r < model.rowCount(); ++r)
        cells << model.cellText(r, c);
    return cells;
}

} // namespace

class ResultsModelTest : public QObject
{
    Q_OBJECT
private slots:
    void columnsAndCells();
    void firstClickSortsDescendingThenOrderAlternatesAcrossColumns();
    void clickOnEmptyListChangesNothing();
    void columnThatDoesNotExistFailsAfterTurningSortingOn();
    void failedSortCanSayWhy();
    void comparisonIgnoresCaseAndKeepsEqualKeysInScanOrder();
    void rowsFilledWhileSortedArriveSorted();
    void selectionFollowsItsRowThroughASort();
    void largeRandomTableMatchesNaiveSort();
    void timeColumnsSortByInstantAgainstAPlainSort();
};

void ResultsModelTest::columnsAndCells()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.columnCount(), 7);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Type"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Clicks"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Referrer"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Landing Page"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("First Seen"));
    QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QStringLiteral("Last Seen"));
    QCOMPARE(model.headerData(6, Qt::Horizontal).toString(), QStringLiteral("Source"));
    engine::ResultTable rows = table({{"HTM", "0000003", "http://a.example/ü"}, {"JPG", "", "http://b.example/"}});
    rows.append("", "", "http://c.example/", "/c", false, at(2026, 12, 8, 17, 13, 23, 120),
                at(2026, 12, 9, 1, 0, 0, -330));
    model.setRows(std::move(rows));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("http://a.example/ü"));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("JPG"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString());
    QCOMPARE(model.data(model.index(1, 3)).toString(), QStringLiteral("/landing"));
    // Times as ISO text with their offset; none is an empty cell.
    QCOMPARE(model.data(model.index(1, 4)).toString(), QString());
    QCOMPARE(model.data(model.index(2, 4)).toString(), QStringLiteral("2026-12-08T17:13:23+02:00"));
    QCOMPARE(model.cellText(2, 5), QStringLiteral("2026-12-09T01:00:00-05:30"));
    QVERIFY(model.cellBytes(2, 5).empty());
    QVERIFY(!model.cellTime(2, 3).valid);
    QCOMPARE(model.entriesOf(2), std::vector<std::size_t> {2});
    QVERIFY(model.entriesOf(3).empty());
    model.clearRows();
    QCOMPARE(model.rowCount(), 0);
}

void ResultsModelTest::firstClickSortsDescendingThenOrderAlternatesAcrossColumns()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(table({{"HTM", "0000009", "http://b.example/"},
                         {"ZIP", "0000010", "http://c.example/"},
                         {"JPG", "0000001", "http://a.example/"}}));
    QVERIFY(!model.sorted());
    QCOMPARE(model.sortOrder(), SortOrder::Ascending);

    QVERIFY(EnhListView_SortColumns(model, 2, false));
    QVERIFY(model.sorted());
    QCOMPARE(model.sortKey(), 1);
    QCOMPARE(model.sortOrder(), SortOrder::Descending);
    QCOMPARE(column(model, 1), (QStringList {"0000010", "0000009", "0000001"}));

    // "Type" next: ascending, because the order flips whichever column is clicked.
    QVERIFY(EnhListView_SortColumns(model, 1, false));
    QCOMPARE(model.sortKey(), 0);
    QCOMPARE(model.sortOrder(), SortOrder::Ascending);
    QCOMPARE(column(model, 0), (QStringList {"HTM", "JPG", "ZIP"}));

    QVERIFY(EnhListView_SortColumns(model, 3, false));
    QCOMPARE(model.sortOrder(), SortOrder::Descending);
    QCOMPARE(column(model, 2), (QStringList {"http://c.example/", "http://b.example/", "http://a.example/"}));
}

void ResultsModelTest::clickOnEmptyListChangesNothing()
{
    ResultsModel model;
    QVERIFY(EnhListView_SortColumns(model, 2, false));
    QVERIFY(!model.sorted());
    QCOMPARE(model.sortKey(), 0);
    QCOMPARE(model.sortOrder(), SortOrder::Ascending);
    // The first click that finds rows still sorts descending.
    model.setRows(table({{"", "0000001", "x"}, {"", "0000002", "y"}}));
    QVERIFY(EnhListView_SortColumns(model, 2, false));
    QCOMPARE(model.sortOrder(), SortOrder::Descending);
    QCOMPARE(model.cellText(0, 1), QStringLiteral("0000002"));
}

void ResultsModelTest::columnThatDoesNotExistFailsAfterTurningSortingOn()
{
    ResultsModel model;
    model.setRows(table({{"", "", "b"}, {"", "", "a"}}));
    QVERIFY(!EnhListView_SortColumns(model, 9, false));
    QVERIFY(model.sorted());
    QCOMPARE(model.sortKey(), 0);
    QCOMPARE(model.sortOrder(), SortOrder::Ascending);
    QVERIFY(!EnhListView_SortColumns(model, 0, false));
}

void ResultsModelTest::failedSortCanSayWhy()
{
    ResultsModel model;
    model.setRows(table({{"", "", "b"}}));
    ModalBoxWatcher watcher;
    QVERIFY(!EnhListView_SortColumns(model, 8, true));
    QCOMPARE(watcher.boxes.size(), std::size_t(1));
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("Error in Function : EnhListView_SortColumns"));
    QCOMPARE(watcher.boxes[0].text, QStringLiteral("Error35600\tIndex out of bounds"));
}

void ResultsModelTest::comparisonIgnoresCaseAndKeepsEqualKeysInScanOrder()
{
    QVERIFY(results::CompareTextNoCase("ABC", "abc") == 0);
    QVERIFY(results::CompareTextNoCase("abc", "ABD") < 0);
    QVERIFY(results::CompareTextNoCase("ab", "abc") < 0);
    QVERIFY(results::CompareTextNoCase("[", "a") < 0); // '[' sorts before letters once they are folded

    ResultsModel model;
    model.setRows(table({{"htm", "", "first"}, {"JPG", "", "second"}, {"HTM", "", "third"}, {"Htm", "", "fourth"}}));
    QVERIFY(EnhListView_SortColumns(model, 1, false)); // descending
    QCOMPARE(column(model, 2), (QStringList {"second", "first", "third", "fourth"}));
    QVERIFY(EnhListView_SortColumns(model, 1, false)); // ascending
    QCOMPARE(column(model, 2), (QStringList {"first", "third", "fourth", "second"}));
}

void ResultsModelTest::rowsFilledWhileSortedArriveSorted()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(table({{"", "0000001", "a"}, {"", "0000002", "b"}}));
    QVERIFY(EnhListView_SortColumns(model, 2, false));
    model.clearRows();
    model.setRows(table({{"GIF", "0000004", "four"}, {"ZIP", "0000007", "seven"}, {"PDF", "0000005", "five"}}));
    QCOMPARE(column(model, 1), (QStringList {"0000007", "0000005", "0000004"}));
    // Each row keeps its own cells.
    QCOMPARE(column(model, 0), (QStringList {"ZIP", "PDF", "GIF"}));
    QCOMPARE(column(model, 2), (QStringList {"seven", "five", "four"}));
}

void ResultsModelTest::selectionFollowsItsRowThroughASort()
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(table({{"", "0000001", "one"}, {"", "0000003", "three"}, {"", "0000002", "two"}}));
    const QPersistentModelIndex held = model.index(0, 2);
    QSignalSpy sorted(&model, &ResultsModel::rowsSorted);
    QVERIFY(EnhListView_SortColumns(model, 2, false));
    QCOMPARE(sorted.count(), 1); // one re-order for the whole click
    QCOMPARE(held.row(), 2);
    QCOMPARE(held.data().toString(), QStringLiteral("one"));
}

void ResultsModelTest::largeRandomTableMatchesNaiveSort()
{
    // Keys that share long prefixes, end exactly at 16-byte boundaries, differ
    // only in letter case or in bytes outside ASCII, and repeat often enough to
    // form long runs of ties.
    std::mt19937 random(7);
    const std::string stems[] = {"",
                                 "a",
                                 "http://www.Example.com/",
                                 "http://www.example.com/search?q=",
                                 "0123456789abcdef",
                                 "0123456789ABCDEF",
                                 "0123456789abcdef0",
                                 "\xc3\xa9t\xc3\xa9",
                                 "[img]http://x/",
                                 "ZIP"};
    const std::string tails[] = {"", "a", "B", "ab", "abc", "0123456789abcdef", "\x7f", "\xff", "Z", "["};
    std::vector<std::string> keys;
    engine::ResultTable rows;
    for (int i = 0; i < 5000; ++i) {
        std::string key = stems[random() % 10];
        const int parts = int(random() % 3);
        for (int p = 0; p < parts; ++p)
            key += tails[random() % 10];
        keys.push_back(key);
        rows.append(key, "", std::to_string(i), "");
    }
    ResultsModel model;
    model.setRows(std::move(rows));
    auto folded = [&](int i) {
        std::string k = keys[std::size_t(i)];
        for (char& c : k)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        return k;
    };
    std::vector<int> ascending(keys.size());
    for (std::size_t i = 0; i < ascending.size(); ++i)
        ascending[i] = int(i);
    std::vector<int> descending = ascending;
    // Reference: plain byte order of the folded keys, insertion order kept within equal keys.
    auto less = [&](int a, int b) {
        const std::string fa = folded(a), fb = folded(b);
        return std::lexicographical_compare(fa.begin(), fa.end(), fb.begin(), fb.end(), [](char x, char y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        });
    };
    std::stable_sort(ascending.begin(), ascending.end(), less);
    std::stable_sort(descending.begin(), descending.end(), [&](int a, int b) { return less(b, a); });

    QVERIFY(EnhListView_SortColumns(model, 1, false));
    for (int r = 0; r < model.rowCount(); ++r)
        QCOMPARE(model.cellText(r, 2), QString::number(descending[std::size_t(r)]));
    QVERIFY(EnhListView_SortColumns(model, 1, false));
    for (int r = 0; r < model.rowCount(); ++r)
        QCOMPARE(model.cellText(r, 2), QString::number(ascending[std::size_t(r)]));
}

void ResultsModelTest::timeColumnsSortByInstantAgainstAPlainSort()
{
    // Times a few hours apart written with offsets from -12:00 to +14:00, so
    // that the text order and the instant order disagree often; equal instants
    // written differently; a share of rows without a time.
    std::mt19937 random(11);
    std::vector<engine::LineTime> first, last;
    engine::ResultTable rows;
    for (int i = 0; i < 3000; ++i) {
        engine::LineTime seen[2];
        for (engine::LineTime& t : seen) {
            if (random() % 6 == 0)
                continue; // no time
            const int hour = int(random() % 6);
            const int offsetQuarters = int(random() % 105) - 48;
            t = at(2026, 12, 8 + int(random() % 2), hour + 12, int(random() % 2) * 15, 0, offsetQuarters * 15);
        }
        first.push_back(seen[0]);
        last.push_back(seen[1]);
        rows.append("", "", std::to_string(i), "", false, seen[0], seen[1]);
    }
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows(std::move(rows));
    // Reference: whole seconds since the epoch from the calendar, no time after all, insertion order kept.
    auto instant = [](const engine::LineTime& t) -> std::int64_t {
        if (!t.valid)
            return std::numeric_limits<std::int64_t>::max();
        const auto days = std::chrono::sys_days(std::chrono::year(t.year) / t.month / t.day).time_since_epoch();
        return std::chrono::duration_cast<std::chrono::seconds>(days).count() + t.hour * 3600 + t.minute * 60 + t.second
            - t.offsetMinutes * 60;
    };
    for (const auto& [column, times] : {std::pair {4, &first}, std::pair {5, &last}}) {
        std::vector<int> ascending(times->size());
        std::iota(ascending.begin(), ascending.end(), 0);
        std::vector<int> descending = ascending;
        const std::vector<engine::LineTime>& keys = *times;
        std::stable_sort(ascending.begin(), ascending.end(),
                         [&](int a, int b) { return instant(keys[std::size_t(a)]) < instant(keys[std::size_t(b)]); });
        std::stable_sort(descending.begin(), descending.end(),
                         [&](int a, int b) { return instant(keys[std::size_t(a)]) > instant(keys[std::size_t(b)]); });
        // Another column first, so that each click below flips the order: descending, then ascending.
        model.setSortOrder(SortOrder::Ascending);
        QVERIFY(EnhListView_SortColumns(model, column + 1, false));
        QCOMPARE(model.sortOrder(), SortOrder::Descending);
        for (int r = 0; r < model.rowCount(); ++r) {
            QCOMPARE(model.cellText(r, 2), QString::number(descending[std::size_t(r)]));
            QCOMPARE(model.cellText(r, column),
                     QString::fromStdString(keys[std::size_t(descending[std::size_t(r)])].iso()));
        }
        QVERIFY(EnhListView_SortColumns(model, column + 1, false));
        for (int r = 0; r < model.rowCount(); ++r)
            QCOMPARE(model.cellText(r, 2), QString::number(ascending[std::size_t(r)]));
        QVERIFY(!model.cellTime(model.rowCount() - 1, column).valid); // rows without a time last
    }
}

QTEST_MAIN(ResultsModelTest)
#include "ResultsModelTest.moc"
