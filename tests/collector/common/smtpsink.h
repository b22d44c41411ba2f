#pragma once

// A mail server for tests: takes every message it is given over SMTP and
// keeps its envelope and text, or refuses every mail, or accepts
// connections and never answers. Runs on the test's event loop.

#include <QTcpServer>
#include <QTcpSocket>

class SmtpSink : public QObject
{
public:
    struct Mail
    {
        QByteArray from;
        QList<QByteArray> to;
        QByteArray data;
        // The decoded subject.
        QString subject() const
        {
            for (const QByteArray &line : data.split('\n')) {
                const QByteArray l = line.trimmed();
                if (!l.startsWith("Subject: "))
                    continue;
                const QByteArray value = l.mid(9);
                if (value.startsWith("=?UTF-8?B?") && value.endsWith("?="))
                    return QString::fromUtf8(QByteArray::fromBase64(value.mid(10, value.size() - 12)));
                return QString::fromUtf8(value);
            }
            return QString();
        }
    };

    SmtpSink()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection())
                serve(s);
        });
    }
    quint16 port() const { return server.serverPort(); }

    enum Mode { Accept, Refuse, Hang };
    Mode mode = Accept;
    int connections = 0;
    QList<Mail> mails;
    QList<QByteArray> commands;

private:
    void serve(QTcpSocket *s)
    {
        ++connections;
        if (mode == Hang) {
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            return;
        }
        auto *mail = new Mail;
        auto *inData = new bool(false);
        auto *buffer = new QByteArray;
        connect(s, &QTcpSocket::disconnected, s, [s, mail, inData, buffer] {
            delete mail;
            delete inData;
            delete buffer;
            s->deleteLater();
        });
        s->write("220 sink ESMTP\r\n");
        connect(s, &QTcpSocket::readyRead, s, [this, s, mail, inData, buffer] {
            *buffer += s->readAll();
            int end;
            while ((end = buffer->indexOf("\r\n")) >= 0) {
                const QByteArray line = buffer->left(end);
                buffer->remove(0, end + 2);
                if (*inData) {
                    if (line == ".") {
                        *inData = false;
                        mails.append(*mail);
                        *mail = Mail();
                        s->write("250 queued\r\n");
                    } else {
                        mail->data += (line.startsWith("..") ? line.mid(1) : line) + "\n";
                    }
                    continue;
                }
                commands << line;
                const QByteArray verb = line.left(4).toUpper();
                if (verb == "EHLO" || verb == "HELO")
                    s->write("250 sink\r\n");
                else if (verb == "MAIL" && mode == Refuse)
                    s->write("550 refused\r\n");
                else if (verb == "MAIL") {
                    mail->from = line.mid(10);
                    s->write("250 ok\r\n");
                } else if (verb == "RCPT") {
                    mail->to << line.mid(8);
                    s->write("250 ok\r\n");
                } else if (verb == "DATA") {
                    *inData = true;
                    s->write("354 go on\r\n");
                } else if (verb == "QUIT") {
                    s->write("221 bye\r\n");
                    s->disconnectFromHost();
                } else
                    s->write("250 ok\r\n");
            }
        });
    }

    QTcpServer server;
};
