#pragma once
// Help-window test helpers on real sockets: a fixed local address for the
// online watcher, and a small HTTP server on a loopback port that answers
// from pages set by the test.

#include "help/local_address.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>
#include <optional>
#include <string>
#include <vector>

class TFixedAddress final : public ILocalAddress {
public:
    explicit TFixedAddress(std::optional<std::string> a) : address_(std::move(a)) {}
    std::optional<std::string> Current() override { return address_; }

private:
    std::optional<std::string> address_;
};

// Answers GET with the page stored for the path, 404 otherwise; one request
// per connection, closed after the answer. Notes every path asked for.
class TPageServer {
public:
    struct TAnswer {
        int status = 200;
        QByteArray headers; // extra header lines, each ending in CR LF
        QByteArray body;
    };

    TPageServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Answer(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    quint16 Port() const { return server_.serverPort(); }
    QString Base() const { return QString("http://127.0.0.1:%1/").arg(Port()); }
    void Set(const QByteArray& path, TAnswer a) { pages_[path] = std::move(a); }
    void SetHtml(const QByteArray& path, const QByteArray& html) {
        Set(path, {200, "Content-Type: text/html; charset=utf-8\r\n", html});
    }
    std::vector<QByteArray> asked;

private:
    void Answer(QTcpSocket* s) {
        QByteArray& head = heads_[s];
        head += s->readAll();
        if (!head.contains("\r\n\r\n")) return;
        const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray path = line.size() > 1 ? line[1] : QByteArray();
        heads_.erase(s);
        asked.push_back(path);
        TAnswer a{404, "Content-Type: text/html\r\n", "<html><body>no such page</body></html>"};
        if (auto it = pages_.find(path); it != pages_.end()) a = it->second;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(a.status) +
                         (a.status == 200 ? " OK" : " Not Found") + "\r\n" + a.headers +
                         "Content-Length: " + QByteArray::number(a.body.size()) +
                         "\r\nConnection: close\r\n\r\n" + a.body;
        s->write(out);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QByteArray, TAnswer> pages_;
    std::map<QTcpSocket*, QByteArray> heads_;
};
