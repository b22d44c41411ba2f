#pragma once

#include "webhttp.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// The HTTP(S) listener: libmicrohttpd with a thread per connection, so a
// slow route or a long event stream never holds up another request, and
// nothing runs on the collector's threads. Every request must arrive whole
// (headers and body) within requestTimeoutMs of the connection's start or
// of the end of the previous response, however slowly it trickles in.
// Every answer, refusals of a request's head included, is made here as
// JSON: the library's own pages are kept for what exceeds its memory.
class WebServer
{
public:
    struct Options
    {
        QString address = QStringLiteral("127.0.0.1");
        quint16 port = 0;                  // 0: any free port
        QByteArray certificatePem, keyPem; // both set: TLS
        int requestTimeoutMs = 10000;
        qint64 maxBodyBytes = 64 * 1024;
        int connectionLimit = 1024;
        int perAddressLimit = 256;
        // Longest request target, and most bytes of header lines: beyond
        // them the answer is 414 or 431.
        int maxTargetBytes = 8 * 1024;
        int maxHeaderBytes = 32 * 1024;
        // Adds the headers every answer carries to the ones made here.
        std::function<void(WebResponse &)> decorate;
    };

    WebServer();
    ~WebServer();
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    bool start(const Options &options, WebHandler handler, QString *error);
    void stop();
    quint16 port() const;
    bool isTls() const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};
