#include "statusreport.h"

#include "linetext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

namespace {

QString timeText(const QDateTime &time)
{
    return time.isValid() ? QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd hh:mm"))
                          : QStringLiteral("-");
}

QJsonValue isoOrNull(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODate)) : QJsonValue();
}

} // namespace

QString StatusReport::table(const QList<DBStation> &stations, const QHash<int, StationStats> &all)
{
    const QStringList head{
        QStringLiteral("ID"),      QStringLiteral("CODE"),        QStringLiteral("ACTIVE"),
        QStringLiteral("VISITS"),  QStringLiteral("OK"),          QStringLiteral("FAILED"),
        QStringLiteral("RETRIES"), QStringLiteral("IN ROW"),      QStringLiteral("LAST SUCCESS"),
        QStringLiteral("DRIFT S"), QStringLiteral("MEMORY FULL"), QStringLiteral("STATUS")};
    QList<QStringList> rows{head};
    for (const DBStation &st : stations) {
        const StationStats s = all.value(st.id);
        QString drift = s.driftKnown ? QString::number(s.lastDriftSeconds) : QStringLiteral("-");
        if (s.driftFlag)
            drift += QLatin1Char('!');
        QString memory = timeText(s.memoryFull);
        if (s.memoryWarning)
            memory += QLatin1Char('!');
        rows << QStringList{QString::number(st.id),
                            LineText::oneLine(st.code),
                            st.active ? QStringLiteral("yes") : QStringLiteral("no"),
                            QString::number(s.visits),
                            QString::number(s.successes),
                            QString::number(s.failures()),
                            QString::number(s.retries),
                            QString::number(s.consecutiveFailures),
                            timeText(s.lastSuccess),
                            drift,
                            memory,
                            LineText::oneLine(st.status)};
    }
    // Every column but the last (free text) padded to its widest cell.
    QList<int> widths;
    for (int c = 0; c < head.size() - 1; ++c) {
        int w = 0;
        for (const QStringList &r : qAsConst(rows))
            w = std::max(w, int(r.at(c).size()));
        widths << w;
    }
    QString out;
    for (const QStringList &r : qAsConst(rows)) {
        QString line;
        for (int c = 0; c < r.size(); ++c)
            line += c + 1 < r.size() ? r.at(c).leftJustified(widths.at(c) + 2) : r.at(c);
        out += line.trimmed() + QLatin1Char('\n');
    }
    return out;
}

QString StatusReport::json(const QList<DBStation> &stations, const QHash<int, StationStats> &all)
{
    QJsonArray list;
    for (const DBStation &st : stations) {
        const StationStats s = all.value(st.id);
        QJsonObject o;
        o.insert(QStringLiteral("id"), st.id);
        o.insert(QStringLiteral("code"), st.code);
        o.insert(QStringLiteral("active"), st.active);
        o.insert(QStringLiteral("status"), st.status);
        o.insert(QStringLiteral("lastReason"), s.lastReason);
        o.insert(QStringLiteral("visits"), s.visits);
        o.insert(QStringLiteral("successes"), s.successes);
        o.insert(QStringLiteral("failures"),
                 QJsonObject{{QStringLiteral("noConnection"), s.failedNoConnection},
                             {QStringLiteral("wrongStation"), s.failedWrongStation},
                             {QStringLiteral("deviceError"), s.failedDevice},
                             {QStringLiteral("saveError"), s.failedSave}});
        o.insert(QStringLiteral("retries"), s.retries);
        o.insert(QStringLiteral("consecutiveFailures"), s.consecutiveFailures);
        o.insert(QStringLiteral("records"), s.records);
        o.insert(QStringLiteral("bytes"), s.bytes);
        o.insert(QStringLiteral("lastDurationMs"), s.lastDurationMs);
        o.insert(QStringLiteral("lastSuccess"), isoOrNull(s.lastSuccess));
        o.insert(QStringLiteral("driftSeconds"),
                 s.driftKnown ? QJsonValue(s.lastDriftSeconds) : QJsonValue());
        o.insert(QStringLiteral("driftWarning"), s.driftFlag);
        o.insert(QStringLiteral("lastClockSet"), isoOrNull(s.lastClockSet));
        o.insert(QStringLiteral("memoryFull"), isoOrNull(s.memoryFull));
        o.insert(QStringLiteral("memoryOverwrite"), isoOrNull(s.memoryOverwrite));
        o.insert(QStringLiteral("memoryWarning"), s.memoryWarning);
        o.insert(QStringLiteral("completeness30d"),
                 s.completenessKnown ? QJsonValue(s.completeness30d) : QJsonValue());
        o.insert(QStringLiteral("completenessError"),
                 s.completenessError.isEmpty() ? QJsonValue() : QJsonValue(s.completenessError));
        list.append(o);
    }
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("stations"), list}}).toJson(QJsonDocument::Indented));
}
