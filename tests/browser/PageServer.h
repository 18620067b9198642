#pragma once

// A web server on 127.0.0.1 for the browser tests: the pages they load never
// come from beyond this machine.

#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A minimal HTTP server: every request gets the page for its path, then the
// connection closes.
class PageServer : public QObject
{
public:
    PageServer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server.listen(QHostAddress::LocalHost);
    }
    QString url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    quint16 port() const { return server.serverPort(); }
    /// The pages asked for so far.
    int requests = 0;

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->readAll();
        QByteArray path = request.split(' ').value(1);
        // Asked as a proxy (an absolute address): the page for the address's path.
        if (path.startsWith("http://"))
            path = QUrl(QString::fromLatin1(path)).path().toLatin1();
        if (path != "/favicon.ico") // asked for by the web view on its own, at any time
            ++requests;
        QByteArray body;
        if (path == "/titled")
            body = "<html><head><title>Hello Page</title></head><body><a href='/second'>next</a></body></html>";
        else if (path == "/second")
            body = "<html><head><title>Second Page</title></head><body>two</body></html>";
        else if (path == "/popup")
            body = "<html><head><title>Popup</title></head><body onload=\"window.open('/second')\">p</body></html>";
        else if (path == "/empty-title")
            body = "<html><head><title></title></head><body>empty title</body></html>";
        else
            body = "<html><body>no title here</body></html>";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
    QTcpServer server;
};
