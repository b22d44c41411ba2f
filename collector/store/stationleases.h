#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariantList>

// Which collector visits which station when several share one PostgreSQL
// store. A collector holds a lease per station it visits (station_leases:
// station id, holder, expiry) and announces itself alive (collectors:
// holder, expiry). Each renewal extends its leases, gives back what it holds
// beyond its fair share (the stations over the live collectors, rounded up)
// and takes free or expired stations up to that share, skipping rows another
// collector has locked at that moment. A collector that dies loses its
// stations at expiry; one that stops gives them back at once.
class StationLeases
{
public:
    static constexpr int defaultLeaseSeconds = 120;
    static constexpr int defaultRenewSeconds = 30;

    // holder: the collector's name (--collector-id; default host name and
    // process id). connection: a QSqlDatabase connection name (empty: the
    // default one).
    explicit StationLeases(const QString &holder, int leaseSeconds = defaultLeaseSeconds,
                           const QString &connection = QString());

    static QString defaultHolder();
    bool createTables();

    // One renewal over the stations that should be visited (the active
    // ones). keep: held stations not to give back now (a visit is running).
    // take false: only extend what is held, neither taking nor giving back
    // a share (--once, after its first round of taking). Returns the stations held afterwards; false in *ok
    // when the store failed, and then nothing changed there. epochs: the number of each lease held
    // afterwards.
    QSet<int> renew(const QList<int> &wanted, const QSet<int> &keep, bool *ok, bool take = true,
                    QHash<int, qint64> *epochs = nullptr);

    enum Confirmation { Confirmed, Lost, Unanswered };
    // Right before a visit's data is saved: extends the lease when it is
    // still this collector's under the same number. Lost with the holder
    // now (empty: nobody) when another took it; Unanswered when the store
    // failed. Epoch 0 (a visit without a lease): Confirmed while nobody else
    // holds a valid lease.
    Confirmation confirm(int stationId, qint64 epoch, QString *holderNow = nullptr);
    // Who holds the station now (empty: nobody, or an expired lease).
    // false when the store failed.
    bool currentHolder(int stationId, QString *holder);

    // An SQL condition that holds while `holder` has the station under
    // `epoch`; with epoch 0 (a visit without a lease) while nobody else
    // holds a valid lease on it. Binds, in order: station id, holder, and
    // the epoch when given.
    static QString fenceCondition(qint64 epoch);
    static QVariantList fenceValues(int stationId, const QString &holder, qint64 epoch);
    // Gives the stations back (a collector that stops, or --once when done).
    bool release(const QList<int> &ids);
    // keep: stations not given back now (they expire on their own).
    bool releaseAll(const QList<int> &keep = {});

    QString holder() const { return m_holder; }
    int leaseSeconds() const { return m_leaseSeconds; }

private:
    QString m_holder;
    int m_leaseSeconds;
    QString m_connection;
};
