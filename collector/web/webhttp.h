#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// One request as the routes see it: already parsed by the server library,
// every text in it untrusted.
struct WebRequest
{
    QString method;
    QString path;    // percent-decoded
    QString rawPath; // as sent, for splitting into segments before decoding
    QHash<QString, QString> query;
    QHash<QString, QString> headers; // names in lower case
    QHash<QString, QString> cookies;
    QByteArray body;
    QString clientAddress;

    QString header(const char *name) const { return headers.value(QLatin1String(name)); }
};

struct WebResponse
{
    // Fills buf with at most size bytes; returns how many, 0 at the end, -1
    // on a failure (the connection is then closed). May block.
    using Producer = std::function<qint64(char *buf, size_t size)>;

    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    Producer stream; // set: the body is produced piece by piece

    void addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append(qMakePair(name, value));
    }

    static WebResponse json(int status, const QJsonObject &object);
    static WebResponse error(int status, const QString &text);
};

using WebHandler = std::function<WebResponse(const WebRequest &)>;
