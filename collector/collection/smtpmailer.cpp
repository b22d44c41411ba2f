#include "smtpmailer.h"

#include "linetext.h"

#include <QDateTime>
#include <QLocale>
#include <QUuid>

#include <curl/curl.h>

#include <mutex>

namespace {

struct Upload
{
    QByteArray data;
    qsizetype offset = 0;
};

size_t readPayload(char *buffer, size_t size, size_t count, void *user)
{
    auto *upload = static_cast<Upload *>(user);
    const qsizetype room = qsizetype(size * count);
    const qsizetype left = upload->data.size() - upload->offset;
    const qsizetype n = qMin(room, left);
    if (n <= 0)
        return 0;
    memcpy(buffer, upload->data.constData() + upload->offset, size_t(n));
    upload->offset += n;
    return size_t(n);
}

// Called by libcurl about once a second, waiting or not.
int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *abort = static_cast<const std::atomic_bool *>(user);
    return abort && abort->load() ? 1 : 0;
}

// libcurl's global set-up is not thread-safe; once per process.
void initCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray addressOf(const QString &text)
{
    const QByteArray a = text.trimmed().toUtf8();
    return a.startsWith('<') ? a : "<" + a + ">";
}

} // namespace

SmtpMailer::Tls SmtpMailer::tlsOf(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("starttls"))
        return Tls::StartTls;
    if (t == QLatin1String("tls") || t == QLatin1String("smtps"))
        return Tls::Implicit;
    return Tls::None;
}

QByteArray SmtpMailer::message(const QString &from, const QStringList &to, const QString &subject,
                               const QString &body)
{
    QList<QByteArray> recipients;
    for (const QString &r : to)
        recipients << addressOf(r);
    QByteArray m;
    m += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toUtf8() + "\r\n";
    m += "From: " + addressOf(from) + "\r\n";
    QByteArray toLine;
    for (const QByteArray &r : recipients)
        toLine += (toLine.isEmpty() ? "" : ", ") + r;
    m += "To: " + toLine + "\r\n";
    m += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8() + "@tqm510>\r\n";
    // Station names and statuses are Turkish: encoded words and an 8-bit body.
    m += "Subject: =?UTF-8?B?" + LineText::oneLine(subject).toUtf8().toBase64() + "?=\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: 8bit\r\n";
    m += "\r\n";
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    // libcurl doubles a leading dot itself.
    for (const QString &line : lines)
        m += line.toUtf8() + "\r\n";
    return m;
}

bool SmtpMailer::send(const QStringList &to, const QString &subject, const QString &body,
                      QString *error) const
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (server.host.isEmpty())
        return fail(QStringLiteral("no SMTP server set"));
    if (to.isEmpty())
        return fail(QStringLiteral("no recipients"));
    if (!server.user.isEmpty() && server.tls == Tls::None && !server.allowPlainLogin)
        return fail(QStringLiteral("a login is not sent unencrypted: set smtpTls to starttls or tls, or "
                                   "smtpAllowPlainLogin=true"));
    if (server.abort && server.abort->load())
        return fail(QStringLiteral("given up at the stop"));
    initCurl();
    CURL *curl = curl_easy_init();
    if (!curl)
        return fail(QStringLiteral("libcurl could not start"));

    const QByteArray scheme = server.tls == Tls::Implicit ? "smtps" : "smtp";
    const QByteArray url = scheme + "://" + server.host.toUtf8() + ":" + QByteArray::number(server.port);
    const QByteArray from = addressOf(server.from);
    const QByteArray user = server.user.toUtf8();
    const QByteArray password = server.password.toUtf8();
    Upload upload{message(server.from, to, subject, body), 0};

    curl_slist *recipients = nullptr;
    for (const QString &r : to)
        recipients = curl_slist_append(recipients, addressOf(r).constData());

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readPayload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(server.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic_bool *>(server.abort.get()));
    if (server.tls == Tls::StartTls)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    if (result == CURLE_ABORTED_BY_CALLBACK)
        return fail(QStringLiteral("given up at the stop"));
    if (result != CURLE_OK)
        return fail(QString::fromUtf8(curl_easy_strerror(result)));
    return true;
}
