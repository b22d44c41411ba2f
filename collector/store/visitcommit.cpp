#include "visitcommit.h"

#include "collectorlogging.h"
#include "store/alarmmails.h"
#include "store/stationleases.h"
#include "store/visitcommits.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace {

// An SQLite file written by another connection at the moment: tried again
// for this long before the commit counts as failed.
constexpr int busyRetryMs = 3000;

} // namespace

VisitCommit::Outcome VisitCommit::run(const QString &connection) const
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    const bool server = db.driverName() == QLatin1String("QPSQL");
    Outcome out;
    if (!StationValues(connection).ensurePartitions(values)) {
        out.error =
            QStringLiteral("the values table has no partition for these months and none could be made");
        return out;
    }
    const QDeadlineTimer deadline(busyRetryMs);
    bool partitionsChecked = false;
    for (;;) {
        out = Outcome();
        QString failure;
        QSqlQuery control(db);
        // SQLite: the write lock from the start, or a read that comes first
        // could not become a write after another connection's.
        const bool begun = server ? db.transaction() : control.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!begun) {
            failure = server ? db.lastError().text() : control.lastError().text();
        } else {
            bool ok = true;
            if (leaseSeconds > 0 && server) {
                StationLeases leases(holder, leaseSeconds, connection);
                switch (leases.confirm(target.stationId, epoch, &out.holderNow)) {
                case StationLeases::Confirmed:
                    break;
                case StationLeases::Lost:
                    db.rollback();
                    out.result = Lost;
                    return out;
                case StationLeases::Unanswered:
                    ok = false;
                    break;
                }
            }
            qint64 number = 0;
            qint64 id = 0;
            if (ok)
                ok = (number = VisitCommits(connection)
                                   .next(target, point, holder, header, &out.previousNumber, &out.previous,
                                         &id)) > 0;
            // Flagged, and the alarms checked, with the values before them.
            QList<StationValues::Value> checked = values;
            out.alarms.clear(); // a try before this one was rolled back
            if (ok)
                ok = ChannelChecks(connection).apply(target.stationId, &checked, &out.alarms);
            // Their mails are owed from the same commit on.
            if (ok && !out.alarms.isEmpty())
                ok = AlarmMails(connection).add(target.stationId, out.alarms, QDateTime::currentDateTime());
            if (ok)
                ok = StationValues(connection).insert(target.stationId, id, number, checked, &out.inserted);
            // A point behind the stored one (another collector went further)
            // is refused and leaves the stored one; that is no failure.
            if (ok)
                ok = ResumePoints(connection).store(target.stationId, point, target.file, holder, epoch) !=
                     ResumePoints::Failed;
            if (ok && (server ? db.commit() : control.exec(QStringLiteral("COMMIT")))) {
                out.result = Committed;
                return out;
            }
            failure = server ? db.lastError().text() : control.lastError().text();
            if (failure.trimmed().isEmpty())
                failure = QStringLiteral("a statement failed (the collector.store log says which)");
            if (server)
                db.rollback();
            else
                control.exec(QStringLiteral("ROLLBACK"));
        }
        out.error = failure;
        // A month dropped by the operator since it was made here: made again,
        // once.
        if (server && !partitionsChecked) {
            partitionsChecked = true;
            StationValues::forgetPartitions();
            if (StationValues(connection).ensurePartitions(values))
                continue;
        }
        // Another connection's write lock on an SQLite file passes.
        if (server || deadline.hasExpired() ||
            !failure.contains(QLatin1String("locked"), Qt::CaseInsensitive))
            break;
        QThread::msleep(20);
    }
    qCDebug(lcStore, "station %d: commit failed: %s", target.stationId, qUtf8Printable(out.error));
    out.inserted.clear();
    return out;
}
