#pragma once

#include "webhttp.h"

#include "store/channelchecks.h"
#include "store/readablefiles.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

struct DBStation;

class WebEvents;
class WebStore;

// The routes of the HTTP API: thin handlers over the store queries, the
// data-file readers, the gap finder and the metrics writer. Called on the
// server's connection threads; what changes the collection is passed to the
// main thread through the actions.
class WebApi
{
public:
    struct Actions
    {
        // Each returns an HTTP status (200, 404, 503...) and may take a
        // moment; called on a connection thread.
        std::function<int(int stationId)> visit;
        std::function<int(int stationId, bool active)> setActive;
    };

    WebApi(WebStore &store, WebEvents &events, Actions actions);

    // With accounts every route but the session, the login and the API's
    // description needs a session; without, only a loopback address serves
    // and everyone is an operator.
    void setLoginRequired(bool required) { loginRequired = required; }
    void setTls(bool on) { tls = on; }
    // Failed logins allowed per address and window before 429.
    void setLoginLimit(int failures, int windowMs);
    // The collector's own heartbeat, when this process collects (any
    // thread); never called, /metrics shows the collectors' heartbeats
    // from the store.
    void beat(const QDateTime &time) { ownBeatMs.store(time.toMSecsSinceEpoch()); }
    // How often an idle event stream gets a comment.
    void setKeepAliveMs(int ms) { keepAliveMs = ms; }
    // The pages beside the API (the dashboard): every path outside /api/ and
    // /metrics goes there. imageSource is an origin the pages may show
    // images from (the map's tiles), empty for none.
    void setPages(WebHandler handler, const QByteArray &imageSource);

    WebResponse handle(const WebRequest &request);
    // Adds the headers every answer carries.
    void secure(WebResponse &response) const;

    // On the store's thread: reads the accounts and ends at once every
    // session, remembered Basic pair and event stream of an account that
    // changed or went since it logged in.
    void syncAccounts(const QString &connection);

    // Sessions kept per client address and in all.
    static constexpr int maxSessionsPerAddress = 256;
    static constexpr int maxSessions = 10000;

private:
    struct Session
    {
        QString user, role;
        QByteArray csrf;
        QDateTime expires;
        QByteArray print; // the account (role and hash) it was opened with
        QString address;
        quint64 order = 0;
        // Cleared when the session ends: its event streams stop.
        std::shared_ptr<std::atomic<bool>> alive;
    };
    struct Failures
    {
        int count = 0; // attempts in the window, the one being checked included
        qint64 since = 0;
        bool checking = false;
    };

    WebResponse route(const WebRequest &request);
    WebResponse session(const WebRequest &request);
    WebResponse login(const WebRequest &request);
    WebResponse logout(const WebRequest &request);
    WebResponse stations();
    WebResponse station(const QString &code);
    WebResponse visits(const QString &code, const WebRequest &request);
    WebResponse data(const QString &code, const WebRequest &request);
    // format: a SeriesExporter::Format.
    WebResponse exchangeData(const DBStation &station, int format, const QList<int> &channels,
                             const QDateTime &from, const QDateTime &to);
    WebResponse gaps(const QString &code, const WebRequest &request);
    WebResponse configHistory(const QString &code);
    WebResponse events(const Session &session);
    WebResponse metrics();
    WebResponse openApi();
    WebResponse visitNow(const QString &code);
    WebResponse setActive(const QString &code, const WebRequest &request);
    // The station's files as readers see them: its folder's, joined with
    // the values the store holds for them.
    bool readableFiles(const DBStation &station, QStringList *files, WebResponse *failure);
    // The data route's channel number of each placed slot; slots whose file
    // is not among the readable ones are left out.
    QHash<int, int> dataChannels(const DBStation &station,
                                 const QHash<int, ChannelChecks::Placement> &placed);

    bool findSession(const WebRequest &request, Session *session);
    // Name and password against the accounts, under the per-address limit.
    // Each attempt takes its place in the count before the check, and an
    // address has at most one check running.
    bool checkPassword(const QString &address, const QString &name, const QByteArray &password, QString *role,
                       QByteArray *print, WebResponse *refusal);
    bool basicLogin(const WebRequest &request, Session *session, WebResponse *refusal);
    QByteArray newSession(const QString &user, const QString &role, const QByteArray &print,
                          const QString &address, Session *session);
    // With the lock held: forgets a session and stops its streams.
    void dropSession(QByteArray token);
    // Without accounts the session is only the cookie: its CSRF token is a
    // keyed hash of it, so there is no table for local clients to fill.
    QByteArray csrfOf(const QByteArray &token) const;
    QByteArray sessionCookie(const QByteArray &token, int maxAgeSeconds) const;

    WebStore &store;
    WebEvents &webEvents;
    Actions actions;
    bool loginRequired = true;
    bool tls = false;
    int loginFailures = 5;
    int loginWindowMs = 60000;
    int keepAliveMs = 15000;
    WebHandler pages;
    QByteArray policy;
    std::atomic<qint64> ownBeatMs{0};
    std::mutex mutex;
    QHash<QByteArray, Session> sessions;
    std::map<quint64, QByteArray> sessionOrder;          // oldest first
    QHash<QString, std::set<quint64>> sessionsOfAddress; // by client address
    quint64 nextOrder = 0;
    QHash<QString, QByteArray> accountPrints;
    QTemporaryDir unionDir;
    ReadableFiles readable{unionDir.path()};
    QHash<QString, Failures> failures;
    QByteArray basicKey;                   // keys the remembered pairs' hashes
    QHash<QByteArray, Session> basicPairs; // by keyed hash of "name:password"
};
