// The browser pane against pages served on 127.0.0.1 by the test itself.
#include "../results/ModalBoxes.h"
#include "PageServer.h"

#include "browser/BrowserPane.h"
#include "browser/WebBrowser.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace backtrail::browser;

namespace {

constexpr int kLoadTimeout = 30000; // the web view's first start can take a while on a loaded machine

} // namespace

class BrowserPaneTest : public QObject
{
    Q_OBJECT
public:
    static void initMain() { PrepareGuiTestEnvironment(); }

private slots:
    void init();
    void cleanup();
    void addressCompletionAndSchemes();
    void titledPageSetsCaptionAndAddress();
    void untitledPageChangesNothing();
    void enterLoadsTheTypedAddressAndBackForwardWalkTheHistory();
    void statusTextReachesTheStatusLine();
    void pageCannotOpenAWindow();

private:
    std::unique_ptr<QWidget> window;
    BrowserPane* pane = nullptr;
    std::unique_ptr<PageServer> server;
};

void BrowserPaneTest::init()
{
    server = std::make_unique<PageServer>();
    window = std::make_unique<QWidget>();
    window->setWindowTitle("Backtrail by Backtrail Developers");
    pane = new BrowserPane(window.get());
    pane->setCaptionBase("Backtrail by Backtrail Developers");
    pane->setGeometry(0, 0, 600, 500);
    pane->WebBrowser1->setGeometry(8, 76, 580, 400);
    window->resize(600, 500);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void BrowserPaneTest::cleanup()
{
    window.reset();
    server.reset();
}

void BrowserPaneTest::addressCompletionAndSchemes()
{
    QCOMPARE(CompletedAddress("www.example.org"), QUrl("http://www.example.org"));
    QCOMPARE(CompletedAddress("https://a.example/x"), QUrl("https://a.example/x"));
    QVERIFY(CompletedAddress("").isEmpty());
    QVERIFY(IsBrowsableAddress("http://a.example/"));
    QVERIFY(IsBrowsableAddress("HTTPS://a.example/"));
    QVERIFY(IsBrowsableAddress("about:blank"));
    QVERIFY(!IsBrowsableAddress("javascript:alert(1)"));
    QVERIFY(!IsBrowsableAddress("file:///etc/passwd"));
    QVERIFY(!IsBrowsableAddress(""));
}

void BrowserPaneTest::titledPageSetsCaptionAndAddress()
{
    QSignalSpy complete(pane->WebBrowser1, &WebBrowser::DocumentComplete);
    pane->Text1->setText(server->url("/titled"));
    pane->Command3->click();
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() > 0, kLoadTimeout);
    QCOMPARE(window->windowTitle(), QStringLiteral("Backtrail by Backtrail Developers - Hello Page"));
    QCOMPARE(pane->Text1->text(), server->url("/titled"));
    QCOMPARE(pane->WebBrowser1->LocationName(), QStringLiteral("Hello Page"));
}

void BrowserPaneTest::untitledPageChangesNothing()
{
    QSignalSpy loaded(pane->WebBrowser1, &WebBrowser::DownloadComplete);
    // Typed without a scheme: completed as an address bar does.
    const QString typed = QStringLiteral("127.0.0.1:%1/plain").arg(server->port());
    pane->Text1->setText(typed);
    pane->Command3->click();
    QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, kLoadTimeout);
    QCOMPARE(pane->WebBrowser1->LocationURL(), server->url("/plain"));
    QCOMPARE(pane->WebBrowser1->LocationName(), QString());
    QCOMPARE(window->windowTitle(), QStringLiteral("Backtrail by Backtrail Developers"));
    QCOMPARE(pane->Text1->text(), typed);
}

void BrowserPaneTest::enterLoadsTheTypedAddressAndBackForwardWalkTheHistory()
{
    QSignalSpy complete(pane->WebBrowser1, &WebBrowser::DocumentComplete);
    // Back with no earlier page does nothing.
    pane->Command4->click();
    pane->Text1->setText(server->url("/titled"));
    pane->Text1->setFocus();
    QTest::keyClick(pane->Text1, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() == 1, kLoadTimeout);
    pane->Text1->setText(server->url("/second"));
    QTest::keyClick(pane->Text1, Qt::Key_Enter);
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() == 2, kLoadTimeout);
    QVERIFY(window->windowTitle().endsWith(" - Second Page"));

    pane->Command4->click();
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() == 3, kLoadTimeout);
    QCOMPARE(pane->Text1->text(), server->url("/titled"));
    pane->Command5->click();
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() == 4, kLoadTimeout);
    QCOMPARE(pane->Text1->text(), server->url("/second"));
    pane->Command7->click();
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() == 5, kLoadTimeout);
    pane->Command6->click(); // nothing loading: nothing happens
    QCOMPARE(pane->WebBrowser1->LocationURL(), server->url("/second"));
}

void BrowserPaneTest::statusTextReachesTheStatusLine()
{
    QSignalSpy status(pane, &BrowserPane::statusTextChanged);
    QSignalSpy complete(pane->WebBrowser1, &WebBrowser::DocumentComplete);
    pane->WebBrowser1->Navigate(server->url("/titled"));
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() > 0, kLoadTimeout);
    QTRY_VERIFY(!status.isEmpty());
    QCOMPARE(status.last().at(0).toString(), QStringLiteral("Done"));
}

void BrowserPaneTest::pageCannotOpenAWindow()
{
    QSignalSpy complete(pane->WebBrowser1, &WebBrowser::DocumentComplete);
    const int before = int(QApplication::topLevelWidgets().size());
    pane->WebBrowser1->Navigate(server->url("/popup"));
    QTRY_VERIFY_WITH_TIMEOUT(complete.count() > 0, kLoadTimeout);
    QCOMPARE(int(QApplication::topLevelWidgets().size()), before);
    QCOMPARE(pane->WebBrowser1->LocationURL(), server->url("/popup"));
}

QTEST_MAIN(BrowserPaneTest)
#include "BrowserPaneTest.moc"
