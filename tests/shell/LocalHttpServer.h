#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

// A minimal HTTP/1.1 server on 127.0.0.1 for the update check: it reads one request per
// connection, records it, and answers from a script. Nothing here ever leaves the machine.
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray headers; // the raw header block, lower-cased
        bool hasBody = false;
    };

    struct Response
    {
        Response(int status = 200, QByteArray body = {}, QByteArray extraHeaders = {}, bool hold = false)
            : status(status), body(std::move(body)), extraHeaders(std::move(extraHeaders)), hold(hold)
        {
        }

        int status;
        QByteArray body;
        QByteArray extraHeaders; // complete lines, each ending in "\r\n"
        bool hold;               // keep the connection open and never answer
    };

    explicit LocalHttpServer(std::function<Response(const QByteArray &path)> script)
        : m_script(std::move(script))
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::accept);
    }

    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString &path = QStringLiteral("/version.json")) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    const QList<Request> &requests() const { return m_requests; }

    // Answers every held connection with this response.
    void releaseHeld(const Response &response)
    {
        const auto held = m_held;
        m_held.clear();
        for (const QPointer<QTcpSocket> &socket : held) {
            if (socket)
                answer(socket, response);
        }
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        socket->setProperty("buffer", buffer);
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0 || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);

        Request request;
        const QByteArray head = buffer.left(end);
        const QByteArray requestLine = head.left(head.indexOf("\r\n"));
        const QList<QByteArray> words = requestLine.split(' ');
        request.method = words.value(0);
        request.path = words.value(1);
        request.headers = head.mid(requestLine.size()).toLower();
        request.hasBody = request.headers.contains("content-length") || request.headers.contains("transfer-encoding")
            || buffer.size() > end + 4;
        m_requests.append(request);

        const Response response = m_script(request.path);
        if (response.hold) {
            m_held.append(socket);
            return;
        }
        answer(socket, response);
    }

    static void answer(QTcpSocket *socket, const Response &response)
    {
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
        reply += "Content-Type: application/json\r\n";
        reply += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        reply += "Connection: close\r\n";
        reply += response.extraHeaders;
        reply += "\r\n";
        reply += response.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    std::function<Response(const QByteArray &)> m_script;
    QList<Request> m_requests;
    QList<QPointer<QTcpSocket>> m_held;
};

// Receives the addresses the program hands to the desktop, instead of a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};
