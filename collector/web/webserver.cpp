#include "webserver.h"

#include "weblogging.h"

#include <QHostAddress>
#include <QJsonDocument>

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

Q_LOGGING_CATEGORY(lcWeb, "collector.web", QtInfoMsg)

WebResponse WebResponse::json(int status, const QJsonObject &object)
{
    WebResponse r;
    r.status = status;
    r.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return r;
}

WebResponse WebResponse::error(int status, const QString &text)
{
    return json(status, QJsonObject{{QStringLiteral("error"), text}});
}

namespace {

using Clock = std::chrono::steady_clock;

// A connection, from its accept to its close.
struct Connection
{
    int fd = -1;
    Clock::time_point since;
    bool reading = true; // a request is awaited or on its way
    bool cut = false;
};

// A request, from its headers to its response's end.
struct Request
{
    QByteArray target; // as sent, before the library decodes it
    QByteArray body;
    bool started = false;
    bool tooLarge = false;
};

MHD_Result countHeader(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    auto *bytes = static_cast<qint64 *>(cls);
    *bytes += qint64(std::strlen(key ? key : "")) + qint64(std::strlen(value ? value : "")) + 4;
    return MHD_YES;
}

} // namespace

struct WebServer::Private
{
    Options options;
    WebHandler handler;
    MHD_Daemon *daemon = nullptr;
    QByteArray cert, key; // must outlive the daemon
    quint16 boundPort = 0;

    std::mutex mutex;
    std::condition_variable wake;
    std::unordered_map<MHD_Connection *, Connection> connections;
    bool stopping = false;
    std::thread watchdog;

    // Cuts off the connections whose request has not arrived whole in time:
    // the per-read time limit of the library alone lets a client that sends
    // a byte a second stay for ever.
    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            wake.wait_for(lock, std::chrono::milliseconds(200));
            const auto now = Clock::now();
            for (auto &entry : connections) {
                Connection &c = entry.second;
                if (c.reading && !c.cut &&
                    now - c.since > std::chrono::milliseconds(options.requestTimeoutMs)) {
                    qCDebug(lcWeb, "request not complete in time: connection cut");
                    c.cut = true;
                    ::shutdown(c.fd, SHUT_RDWR);
                }
            }
        }
    }

    void setReading(MHD_Connection *connection, bool reading)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = connections.find(connection);
        if (it != connections.end()) {
            it->second.reading = reading;
            it->second.since = Clock::now();
        }
    }

    static void onConnection(void *cls, MHD_Connection *connection, void **,
                             MHD_ConnectionNotificationCode code)
    {
        auto *self = static_cast<Private *>(cls);
        std::lock_guard<std::mutex> lock(self->mutex);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo *info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            Connection c;
            c.fd = info ? info->connect_fd : -1;
            c.since = Clock::now();
            self->connections[connection] = c;
        } else {
            self->connections.erase(connection);
        }
    }

    static void onCompleted(void *cls, MHD_Connection *connection, void **state, MHD_RequestTerminationCode)
    {
        auto *self = static_cast<Private *>(cls);
        delete static_cast<Request *>(*state);
        *state = nullptr;
        // Kept alive: the next request is awaited under the same limit.
        self->setReading(connection, true);
    }

    static MHD_Result collect(void *cls, MHD_ValueKind, const char *key, const char *value)
    {
        auto *map = static_cast<QHash<QString, QString> *>(cls);
        if (key)
            map->insert(QString::fromUtf8(key), value ? QString::fromUtf8(value) : QString());
        return MHD_YES;
    }

    static MHD_Result collectHeader(void *cls, MHD_ValueKind, const char *key, const char *value)
    {
        auto *map = static_cast<QHash<QString, QString> *>(cls);
        if (key)
            map->insert(QString::fromLatin1(key).toLower(), value ? QString::fromUtf8(value) : QString());
        return MHD_YES;
    }

    static ssize_t produce(void *cls, uint64_t, char *buf, size_t max)
    {
        auto *producer = static_cast<WebResponse::Producer *>(cls);
        const qint64 n = (*producer)(buf, max);
        if (n < 0)
            return MHD_CONTENT_READER_END_WITH_ERROR;
        if (n == 0)
            return MHD_CONTENT_READER_END_OF_STREAM;
        return ssize_t(n);
    }

    static void freeProducer(void *cls) { delete static_cast<WebResponse::Producer *>(cls); }

    // The request line is in: its target as sent, for the checks the
    // decoded one cannot make.
    static void *onTarget(void *, const char *uri, MHD_Connection *)
    {
        auto *request = new Request;
        request->target = QByteArray(uri ? uri : "");
        return request;
    }

    // The head alone already says no: the answer, else nothing.
    bool refuseHead(MHD_Connection *connection, const Request &request, WebResponse *refusal) const
    {
        // The library cuts the decoded path at a %00, which would then name
        // another route.
        if (request.target.contains("%00") || request.target.contains('\0')) {
            *refusal = WebResponse::error(400, QStringLiteral("bad path"));
            return true;
        }
        if (request.target.size() > options.maxTargetBytes) {
            *refusal = WebResponse::error(414, QStringLiteral("request target too long"));
            return true;
        }
        qint64 headerBytes = 0;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &countHeader, &headerBytes);
        if (headerBytes > options.maxHeaderBytes) {
            *refusal = WebResponse::error(431, QStringLiteral("request header fields too large"));
            return true;
        }
        return false;
    }

    MHD_Result respond(MHD_Connection *connection, const char *method, WebResponse response, bool own)
    {
        if (own && options.decorate)
            options.decorate(response);
        MHD_Response *reply = nullptr;
        // HEAD: the headers alone, also of a streamed answer.
        if (response.stream && std::strcmp(method, "HEAD") == 0) {
            response.stream = nullptr;
            response.body.clear();
        }
        if (response.stream) {
            reply = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 32 * 1024, &produce,
                                                      new WebResponse::Producer(std::move(response.stream)),
                                                      &freeProducer);
        } else {
            reply = MHD_create_response_from_buffer(size_t(response.body.size()),
                                                    const_cast<char *>(response.body.constData()),
                                                    MHD_RESPMEM_MUST_COPY);
        }
        if (!reply)
            return MHD_NO;
        MHD_add_response_header(reply, "Content-Type", response.contentType.constData());
        for (const auto &h : qAsConst(response.headers))
            MHD_add_response_header(reply, h.first.constData(), h.second.constData());
        const MHD_Result queued = MHD_queue_response(connection, unsigned(response.status), reply);
        MHD_destroy_response(reply);
        return queued;
    }

    MHD_Result answer(MHD_Connection *connection, const char *url, const char *method, const char *uploadData,
                      size_t *uploadSize, void **state)
    {
        if (!*state)
            *state = new Request;
        auto *request = static_cast<Request *>(*state);
        if (!request->started) {
            // The headers are in; the body (if any) must still come in time.
            request->started = true;
            WebResponse refusal;
            if (refuseHead(connection, *request, &refusal)) {
                setReading(connection, false);
                return respond(connection, method, refusal, true);
            }
            return MHD_YES;
        }
        if (*uploadSize) {
            if (request->body.size() + qint64(*uploadSize) > options.maxBodyBytes)
                request->tooLarge = true;
            else
                request->body.append(uploadData, int(*uploadSize));
            *uploadSize = 0;
            return MHD_YES;
        }
        setReading(connection, false);

        WebResponse response;
        if (request->tooLarge) {
            return respond(connection, method,
                           WebResponse::error(413, QStringLiteral("request body too large")), true);
        } else {
            WebRequest r;
            r.method = QString::fromLatin1(method);
            r.path = QString::fromUtf8(url);
            const int query = request->target.indexOf('?');
            r.rawPath = QString::fromUtf8(query < 0 ? request->target : request->target.left(query));
            r.body = request->body;
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collect, &r.query);
            MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &r.headers);
            MHD_get_connection_values(connection, MHD_COOKIE_KIND, &collect, &r.cookies);
            const MHD_ConnectionInfo *info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            if (info && info->client_addr)
                r.clientAddress = QHostAddress(info->client_addr).toString();
            response = handler(r);
        }
        return respond(connection, method, std::move(response), false);
    }

    static MHD_Result onRequest(void *cls, MHD_Connection *connection, const char *url, const char *method,
                                const char *, const char *uploadData, size_t *uploadSize, void **state)
    {
        return static_cast<Private *>(cls)->answer(connection, url, method, uploadData, uploadSize, state);
    }

    static void onLibraryError(void *, const char *format, va_list ap)
    {
        char text[512];
        std::vsnprintf(text, sizeof text, format, ap);
        qCDebug(lcWeb, "%s", text);
    }
};

WebServer::WebServer() : d(std::make_unique<Private>()) {}

WebServer::~WebServer()
{
    stop();
}

bool WebServer::start(const Options &options, WebHandler handler, QString *error)
{
    d->options = options;
    d->handler = std::move(handler);
    QHostAddress address;
    if (!address.setAddress(options.address)) {
        *error = QStringLiteral("\"%1\" is not a numeric IP address").arg(options.address);
        return false;
    }
    sockaddr_storage storage{};
    socklen_t length = 0;
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(options.port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, 16);
        length = sizeof(sockaddr_in6);
        flags |= MHD_USE_IPv6;
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(options.port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    }
    (void)length;
    const bool tls = !options.certificatePem.isEmpty() && !options.keyPem.isEmpty();
    if (tls) {
        flags |= MHD_USE_TLS;
        d->cert = options.certificatePem;
        d->key = options.keyPem;
    }
    // An idle connection (no byte either way) is closed after this; event
    // streams send a comment more often.
    const unsigned idleSeconds = 60;
    // A request's head is held in this, parsed (a header or cookie takes
    // some 60 bytes more): room for the longest head that gets an answer of
    // ours, thousands of tiny cookies or parameters included. Pages are only
    // touched as a head fills them.
    const size_t memoryLimit = 512 * 1024;
    // The certificate and key only where TLS is on; the rest is the same.
    MHD_OptionItem tlsOptions[] = {
        {tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, 0, const_cast<char *>(d->cert.constData())},
        {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(d->key.constData())},
        {MHD_OPTION_END, 0, nullptr}};
    d->daemon = MHD_start_daemon(
        flags, options.port, nullptr, nullptr, &Private::onRequest, d.get(), MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr *>(&storage), MHD_OPTION_ARRAY, tlsOptions, MHD_OPTION_CONNECTION_TIMEOUT,
        idleSeconds, MHD_OPTION_CONNECTION_LIMIT, unsigned(options.connectionLimit),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(options.perAddressLimit),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, memoryLimit, MHD_OPTION_URI_LOG_CALLBACK, &Private::onTarget,
        d.get(), MHD_OPTION_NOTIFY_CONNECTION, &Private::onConnection, d.get(), MHD_OPTION_NOTIFY_COMPLETED,
        &Private::onCompleted, d.get(), MHD_OPTION_EXTERNAL_LOGGER, &Private::onLibraryError, nullptr,
        MHD_OPTION_END);
    if (!d->daemon) {
        *error = tls ? QStringLiteral("cannot listen on %1:%2 (address in use, or a bad certificate or key)")
                           .arg(options.address)
                           .arg(options.port)
                     : QStringLiteral("cannot listen on %1:%2").arg(options.address).arg(options.port);
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    d->boundPort = info ? info->port : options.port;
    d->stopping = false;
    d->watchdog = std::thread([this] { d->watch(); });
    return true;
}

void WebServer::stop()
{
    if (!d->daemon)
        return;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->watchdog.join();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
}

quint16 WebServer::port() const
{
    return d->boundPort;
}

bool WebServer::isTls() const
{
    return !d->cert.isEmpty();
}
