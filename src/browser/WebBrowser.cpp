#include "WebBrowser.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace backtrail::browser {

namespace {

// A page of the pane: a link that asks for a new window opens nowhere.
class PanePage final : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

} // namespace

bool IsBrowsableAddress(const QString& address)
{
    const QString scheme = QUrl(address.trimmed()).scheme().toLower();
    return scheme == u"http" || scheme == u"https" || scheme == u"about";
}

QUrl CompletedAddress(const QString& text)
{
    if (text.isEmpty())
        return QUrl();
    return QUrl::fromUserInput(text);
}

WebBrowser::WebBrowser(QWidget* parent)
    : QWidget(parent)
    , webView(new QWebEngineView(this))
{
    webView->setPage(new PanePage(webView));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(webView);

    QWebEnginePage* page = webView->page();
    connect(page, &QWebEnginePage::linkHovered, this, &WebBrowser::StatusTextChange);
    connect(page, &QWebEnginePage::loadStarted, this,
            [this] { emit StatusTextChange(QStringLiteral("Opening ") + webView->url().toDisplayString()); });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        emit StatusTextChange(ok ? QStringLiteral("Done")
                                 : QStringLiteral("Cannot open ") + webView->url().toDisplayString());
        if (ok)
            emit DocumentComplete();
        emit DownloadComplete();
    });
}

void WebBrowser::Navigate(const QString& address)
{
    webView->load(CompletedAddress(address));
}

void WebBrowser::ShowLocalPage(const QString& html)
{
    webView->setHtml(html);
}

void WebBrowser::GoBack()
{
    webView->back();
}

void WebBrowser::GoForward()
{
    webView->forward();
}

void WebBrowser::Stop()
{
    webView->stop();
}

void WebBrowser::Refresh()
{
    webView->reload();
}

QString WebBrowser::LocationName() const
{
    // The web view stands in the page's address for a missing title; a page
    // without a title has an empty location name.
    const QString title = webView->title();
    const QUrl url = webView->url();
    for (const QString& address : {url.toString(), url.toDisplayString(), url.toString(QUrl::RemoveScheme).mid(2),
                                   url.toDisplayString(QUrl::RemoveScheme).mid(2)})
        if (title == address)
            return QString();
    return title;
}

QString WebBrowser::LocationURL() const
{
    return webView->url().toString();
}

} // namespace backtrail::browser
