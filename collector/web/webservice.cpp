#include "webservice.h"

#include "collection/workercontroller.h"
#include "store/channelchecks.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "webaccounts.h"
#include "webapi.h"
#include "webevents.h"
#include "weblogging.h"
#include "webpages.h"
#include "webserver.h"
#include "webstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QLocale>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTextStream>
#include <QTimer>
#include <QVariant>

#include <chrono>
#include <csignal>
#include <future>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char *const secondFormat = "yyyy-MM-ddTHH:mm:ss";

// Answers from the main thread within this, or the request gets 503.
constexpr int actionTimeoutMs = 5000;
// How often the collector's main loop shows it is alive.
constexpr int heartbeatMs = 15000;

// Every station's stored status, for the events of other collectors on a
// shared store and of the collection when this program only serves.
void pollStatuses(WebEvents *events, const QString &connection)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(QStringLiteral("SELECT s.id, s.code, s.status, s.last_connection_time, "
                                   "st.consecutive_failures FROM stations s "
                                   "LEFT JOIN station_stats st ON st.station_id = s.id")))
        return;
    while (query.next()) {
        WebEvents::Status s;
        s.id = query.value(0).toInt();
        s.code = query.value(1).toString();
        s.status = query.value(2).toString();
        s.time = query.value(3).toString().replace(QLatin1Char(' '), QLatin1Char('T'));
        s.error = query.value(4).toInt() > 0;
        s.fromStore = true;
        if (!s.status.isEmpty())
            events->publish(s);
    }
    // The value alarms, whichever collector raised or cleared them.
    QList<ChannelChecks::ActiveAlarm> up;
    if (!ChannelChecks(connection).activeAlarms(&up))
        return;
    QList<WebEvents::Alarm> alarms;
    for (const ChannelChecks::ActiveAlarm &a : qAsConst(up))
        alarms.append({a.code, a.slot, ValueAlarms::kindName(a.kind),
                       QartodFlags::dateTimeOf(a.since).toString(QStringLiteral("yyyy-MM-ddTHH:mm")),
                       a.value});
    events->publishAlarms(alarms);
}

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(stopPipe[0], &byte, 1);
    (void)written;
}

} // namespace

static void loadWebResources()
{
    // A static library's resources are registered by hand.
    Q_INIT_RESOURCE(web);
}

WebService::WebService(QObject *parent) : QObject(parent)
{
    loadWebResources();
}

WebService::~WebService()
{
    stop();
}

bool WebService::isLoopback(const QString &host)
{
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool WebService::splitAddress(const QString &text, QString *host, quint16 *port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString h = text.left(colon);
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
        h = h.mid(1, h.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (!ok || p > 65535 || QHostAddress(h).isNull())
        return false;
    *host = h;
    *port = quint16(p);
    return true;
}

bool WebService::start(const Settings &settings, QString *error)
{
    WebServer::Options options;
    if (!splitAddress(settings.address, &options.address, &options.port)) {
        *error = QStringLiteral("\"%1\" is not ADDRESS:PORT with a numeric address").arg(settings.address);
        return false;
    }
    const bool tls = !settings.certificateFile.isEmpty() || !settings.keyFile.isEmpty();
    if (tls) {
        QFile cert(settings.certificateFile), key(settings.keyFile);
        if (settings.certificateFile.isEmpty() || settings.keyFile.isEmpty() ||
            !cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("TLS needs both httpCertificate and httpKey, readable files");
            return false;
        }
        options.certificatePem = cert.read(1 << 20) + '\0';
        options.keyPem = key.read(1 << 20) + '\0';
        options.certificatePem.chop(1);
        options.keyPem.chop(1);
    }
    options.requestTimeoutMs = settings.requestTimeoutMs;

    store = std::make_unique<WebStore>();
    if (!store->start(DatabaseUrl::current(), error))
        return false;
    const int accounts = store->run([](const QString &connection) { return WebAccounts::count(connection); });
    if (!isLoopback(options.address) && (!tls || accounts == 0)) {
        *error = QStringLiteral("refusing to serve on %1: an address other than loopback needs TLS "
                                "(httpCertificate and httpKey) and at least one account "
                                "(tqm510 --add-user NAME --role viewer|operator)")
                     .arg(settings.address);
        store.reset();
        return false;
    }
    events = std::make_unique<WebEvents>();
    WebEvents *hub = events.get();
    WebApi::Actions actions;
    actions.visit = [this](int id) { return visit(id); };
    actions.setActive = [this](int id, bool active) { return setActive(id, active); };
    api = std::make_unique<WebApi>(*store, *events, actions);
    api->setLoginRequired(accounts > 0);
    api->setTls(tls);
    // An account changed or removed with tqm510 --add-user/--remove-user
    // ends its sessions by the next poll.
    WebApi *checker = api.get();
    store->setPoll(
        [hub, checker](const QString &connection) {
            pollStatuses(hub, connection);
            checker->syncAccounts(connection);
        },
        settings.statusPollMs);
    WebPages::Options pageOptions;
    if (!settings.libraryFolder.isEmpty())
        pageOptions.libraryFolder = settings.libraryFolder;
    pageOptions.tileUrl = settings.tileUrl;
    pages = std::make_unique<WebPages>(pageOptions);
    {
        WebApi *routes = api.get();
        const WebPages *dashboard = pages.get();
        api->setPages(
            [routes, dashboard](const WebRequest &r) {
                return dashboard->handle(r,
                                         [routes](const WebRequest &inner) { return routes->handle(inner); });
            },
            WebPages::tileOrigin(settings.tileUrl));
    }
    server = std::make_unique<WebServer>();
    WebApi *routes = api.get();
    options.decorate = [routes](WebResponse &r) { routes->secure(r); };
    if (!server->start(
            options, [routes](const WebRequest &r) { return routes->handle(r); }, error)) {
        server.reset();
        api.reset();
        events.reset();
        store.reset();
        return false;
    }
    qCDebug(lcWeb, "serving on %s port %d", qUtf8Printable(options.address), server->port());
    return true;
}

void WebService::stop()
{
    if (events)
        events->close(); // the event streams end, so their threads can be joined
    if (server)
        server->stop();
    server.reset();
    api.reset();
    pages.reset();
    if (store)
        store->stop();
    store.reset();
    events.reset();
}

quint16 WebService::port() const
{
    return server ? server->port() : 0;
}

void WebService::attach(StationTableModel *stationModel, WorkerController *workerController)
{
    model = stationModel;
    controller = workerController;
    // The collector's own heartbeat: its main loop, which runs the
    // collection, beats; a stuck loop leaves it standing.
    auto *beat = new QTimer(this);
    const auto beatNow = [this] {
        if (api)
            api->beat(QDateTime::currentDateTime());
    };
    connect(beat, &QTimer::timeout, this, beatNow);
    beat->start(heartbeatMs);
    beatNow();
    connect(controller, &WorkerController::stationStatusPublished, this, [this](const DBStation &s) {
        if (!events)
            return;
        WebEvents::Status e;
        e.id = s.id;
        e.code = s.code;
        e.status = s.status;
        e.error = s.has_error;
        e.time = QLocale::c().toString(s.last_connection_time, QLatin1String(secondFormat));
        events->publish(e);
    });
}

namespace {

// Runs job on the main thread and waits for its answer (503 after a while).
int onMainThread(QObject *context, std::function<int()> job)
{
    auto answer = std::make_shared<std::promise<int>>();
    std::future<int> result = answer->get_future();
    QMetaObject::invokeMethod(
        context, [answer, job] { answer->set_value(job()); }, Qt::QueuedConnection);
    if (result.wait_for(std::chrono::milliseconds(actionTimeoutMs)) != std::future_status::ready)
        return 503;
    return result.get();
}

} // namespace

int WebService::visit(int stationId)
{
    return onMainThread(this, [this, stationId] {
        if (!controller)
            return 503;
        const QList<DBStation> stations = model->stations();
        for (int row = 0; row < stations.size(); ++row)
            if (stations.at(row).id == stationId)
                return controller->updateStationData(row) ? 200 : 503;
        return 404;
    });
}

int WebService::setActive(int stationId, bool active)
{
    return onMainThread(this, [this, stationId, active] {
        if (model) {
            const QList<DBStation> stations = model->stations();
            for (int row = 0; row < stations.size(); ++row) {
                if (stations.at(row).id != stationId)
                    continue;
                DBStation s = stations.at(row);
                s.active = active;
                s.modified = true;
                return model->setData(model->index(row, 0), QVariant::fromValue(s)) ? 200 : 503;
            }
            return 404;
        }
        // Serving only: the collectors of the store take it from there.
        QSqlQuery query;
        query.prepare(QStringLiteral("UPDATE stations SET active = ? WHERE id = ?"));
        query.addBindValue(active ? 1 : 0);
        query.addBindValue(stationId);
        if (!query.exec())
            return 503;
        return query.numRowsAffected() > 0 ? 200 : 404;
    });
}

int WebService::serve(const Settings &settings, QTextStream &out, QTextStream &err)
{
    DatabaseConnection database;
    if (!database.open(DatabaseUrl::current())) {
        err << "Could not connect to database: " << DatabaseConnection::lastOpenError() << Qt::endl;
        DatabaseConnection::close();
        return 1;
    }
    int status = 0;
    {
        WebService service;
        QString problem;
        if (!service.start(settings, &problem)) {
            err << "Cannot serve: " << problem << Qt::endl;
            status = 2;
        } else {
            out << "Serving on port " << service.port() << Qt::endl;
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) == 0) {
                QSocketNotifier notifier(stopPipe[1], QSocketNotifier::Read);
                QObject::connect(&notifier, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
                struct sigaction action = {};
                action.sa_handler = onStopSignal;
                sigemptyset(&action.sa_mask);
                action.sa_flags = SA_RESTART;
                sigaction(SIGINT, &action, nullptr);
                sigaction(SIGTERM, &action, nullptr);
                status = QCoreApplication::exec();
                action.sa_handler = SIG_DFL;
                sigaction(SIGINT, &action, nullptr);
                sigaction(SIGTERM, &action, nullptr);
                ::close(stopPipe[0]);
                ::close(stopPipe[1]);
            }
            service.stop();
        }
    }
    DatabaseConnection::close();
    return status;
}
