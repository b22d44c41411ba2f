#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

// Sends one mail through an SMTP server with libcurl. Blocking: run it off
// the main thread. The password is handed to libcurl only, never printed.
class SmtpMailer
{
public:
    enum class Tls { None, StartTls, Implicit };

    struct Server
    {
        QString host;
        int port = 25;
        Tls tls = Tls::None;
        QString user;
        QString password;
        QString from;
        int timeoutSeconds = 30;
        // Without TLS a login is refused unless this is set.
        bool allowPlainLogin = false;
        // Set from another thread to end a send at once.
        std::shared_ptr<const std::atomic_bool> abort;
    };

    static Tls tlsOf(const QString &text);

    explicit SmtpMailer(Server server) : server(std::move(server)) {}

    // True when the server took the mail; otherwise *error says why.
    bool send(const QStringList &to, const QString &subject, const QString &body, QString *error) const;

    // The message as it goes on the wire (CRLF lines, UTF-8 subject encoded).
    static QByteArray message(const QString &from, const QStringList &to, const QString &subject,
                              const QString &body);

private:
    Server server;
};
