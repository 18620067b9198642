#pragma once

#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace backtrail::browser {

/// True for the addresses a result row may open: http, https and about pages.
bool IsBrowsableAddress(const QString& address);

/// The address Navigate loads for a typed text: the text completed the way a
/// browser's address bar does ("www.example.org" becomes http://www.example.org),
/// and the empty text kept empty.
QUrl CompletedAddress(const QString& text);

/// The embedded web view with the operations and notifications the browser
/// pane works with. A page is never allowed to open a window of its own.
class WebBrowser final : public QWidget
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget* parent = nullptr);

    /// Loads an address as typed (see CompletedAddress).
    void Navigate(const QString& address);
    /// Shows a page of the program's own, made of `html` alone: nothing is
    /// loaded from the network for it.
    void ShowLocalPage(const QString& html);
    void GoBack();
    void GoForward();
    void Stop();
    void Refresh();
    /// The title of the page shown.
    QString LocationName() const;
    /// The address of the page shown.
    QString LocationURL() const;

    QWebEngineView* view() const { return webView; }

signals:
    /// The text a browser shows in its status line: the hovered link's address
    /// or the state of the load.
    void StatusTextChange(const QString& text);
    /// A page finished loading.
    void DocumentComplete();
    /// A load ended, whether it succeeded or not.
    void DownloadComplete();

private:
    QWebEngineView* webView;
};

} // namespace backtrail::browser
