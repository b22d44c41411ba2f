#include "collection/qartodflags.h"
#include "collection/valuealarms.h"

#include <QtTest>

#include <cmath>

using Event = ValueAlarms::Event;
using Kind = ValueAlarms::Kind;

namespace {

struct Value
{
    double value;
    quint8 flag;
};

// A river rising past its limits, hovering at the high limit, with a spike
// flagged fail while the alarm is on and one while it is off, a sensor
// error, then falling below the low limit. Every 10 minutes.
const QVector<Value> river = {{2.00, 1}, {2.05, 1},  {2.10, 1}, {2.30, 1}, {2.40, 1}, {2.55, 3}, {2.45, 1},
                              {2.52, 1}, {2.48, 1},  {3.50, 4}, {2.49, 1}, {2.45, 1}, {2.29, 1}, {2.35, 1},
                              {9999, 4}, {-9999, 9}, {0.45, 1}, {0.55, 1}, {0.61, 1}};
const qint64 start = 29000000;

QString show(const Event &e)
{
    return QStringLiteral("%1 %2 at %3: %4 past %5")
        .arg(ValueAlarms::kindName(e.kind), e.raised ? QStringLiteral("raised") : QStringLiteral("cleared"))
        .arg((e.minute - start) / 10)
        .arg(e.value)
        .arg(e.limit);
}

QStringList shown(const QVector<Event> &events)
{
    QStringList out;
    for (const Event &e : events)
        out << show(e);
    return out;
}

} // namespace

class tst_ValueAlarms : public QObject
{
    Q_OBJECT

private slots:
    void riverRaisesAndClearsEachAlarmOnce();
    void removedLimitClearsItsAlarm();
    void spikeAtTheEndOfAVisitRaisesNothing();
    void settingsAndStateTexts();
};

void tst_ValueAlarms::riverRaisesAndClearsEachAlarmOnce()
{
    ValueAlarms::Settings settings;
    QString error;
    QVERIFY2(ValueAlarms::Settings::parse(QStringLiteral("high=2.5,2.3;low=0.5,0.6;rise=0.2,1h,0.1"),
                                          &settings, &error),
             qPrintable(error));
    // Worked out by hand from the settings: the rise is the value less the
    // lowest of the hour before it, without the skipped values.
    const QStringList expected = {
        QStringLiteral("rise raised at 3: 2.3 past 0.2"),
        QStringLiteral("high raised at 5: 2.55 past 2.5"),
        QStringLiteral("rise cleared at 10: 2.49 past 0.1"),
        QStringLiteral("high cleared at 12: 2.29 past 2.3"),
        QStringLiteral("low raised at 16: 0.45 past 0.5"),
        QStringLiteral("low cleared at 18: 0.61 past 0.6"),
    };

    // One collector all along, and two taking turns at every possible
    // place through the state's text.
    for (int split = 0; split <= river.size(); ++split) {
        ValueAlarms alarms(settings);
        QVector<Event> events;
        for (int i = 0; i < river.size(); ++i) {
            if (i == split) {
                const QString text = alarms.state().toJson();
                ValueAlarms::State state;
                QVERIFY2(ValueAlarms::State::fromJson(text, &state, &error), qPrintable(error));
                QVERIFY2(state == alarms.state(), qPrintable(text));
                alarms = ValueAlarms(settings, state);
            }
            events += alarms.check(start + 10 * i, river[i].value, river[i].flag);
            if (i == 7) {
                QVERIFY(alarms.state().high.active);
                QCOMPARE(alarms.state().high.since, start + 50);
            }
        }
        QCOMPARE(shown(events), expected);
        QVERIFY(!alarms.state().anyActive());
        // A late value changes nothing, even one far beyond a limit.
        const ValueAlarms::State before = alarms.state();
        QVERIFY(alarms.check(start + 30, 5.0, 1).isEmpty());
        QVERIFY(alarms.state() == before);
    }
}

void tst_ValueAlarms::removedLimitClearsItsAlarm()
{
    ValueAlarms::Settings settings;
    QString error;
    QVERIFY(ValueAlarms::Settings::parse(QStringLiteral("high=2.5"), &settings, &error));
    ValueAlarms alarms(settings);
    QCOMPARE(alarms.check(start, 2.6, 1).size(), 1);
    QVERIFY(alarms.check(start + 10, 2.5, 1).isEmpty()); // clearing limit = limit: 2.5 is not below it
    QVERIFY(ValueAlarms::Settings::parse(QStringLiteral("low=0.5"), &settings, &error));
    ValueAlarms changed(settings, alarms.state());
    const QVector<Event> events = changed.check(start + 20, 2.7, 1);
    QCOMPARE(events.size(), 1);
    QVERIFY(events[0].kind == Kind::High && !events[0].raised && std::isnan(events[0].limit));
    QVERIFY(!changed.state().anyActive());
}

void tst_ValueAlarms::spikeAtTheEndOfAVisitRaisesNothing()
{
    QartodFlags::Settings qcSettings;
    ValueAlarms::Settings settings;
    QString error;
    QVERIFY(QartodFlags::Settings::parse(QStringLiteral("spike=0.3,0.6"), &qcSettings, &error));
    QVERIFY(ValueAlarms::Settings::parse(QStringLiteral("high=2.5,2.3"), &settings, &error));
    const QartodFlags qc(qcSettings);
    const QVector<double> values = {2.00, 2.02, 2.04, 2.06, 3.50, 2.10, 2.12, 2.20, 2.35, 2.55, 2.60, 2.62};
    // Three visits; the spike is the newest value of the first one. Alarms
    // are checked on the values that no longer wait for their successor.
    QVector<QartodFlags::Point> stored;
    ValueAlarms alarms(settings);
    QVector<Event> events;
    for (const auto &visit : {qMakePair(0, 5), qMakePair(5, 5), qMakePair(10, 2)}) {
        QVector<QartodFlags::Point> added;
        for (int i = visit.first; i < visit.first + visit.second; ++i)
            added << QartodFlags::point(start + 10 * i, QString::number(values[i]));
        const QartodFlags::Update u = qc.update(stored, added);
        for (const QartodFlags::Changed &c : u.settled) {
            events += alarms.check(stored[c.index].minute, stored[c.index].value, c.result.flag);
            if (c.index == 4)
                QCOMPARE(c.result.flag, quint8(4));
        }
        for (int i = 0; i < added.size(); ++i) {
            if (!u.added[i].waits)
                events += alarms.check(added[i].minute, added[i].value, u.added[i].flag);
            added[i].flag = u.added[i].flag;
        }
        stored += added;
    }
    QCOMPARE(shown(events), QStringList{QStringLiteral("high raised at 9: 2.55 past 2.5")});
}

void tst_ValueAlarms::settingsAndStateTexts()
{
    for (const QString &text : {QStringLiteral("high=2.5,2.3;low=0.5,0.6;rise=0.2,1h,0.1"), QString(),
                                QStringLiteral("rise=0.25,90m"), QStringLiteral("low=-1")}) {
        ValueAlarms::Settings a, b;
        QString error;
        QVERIFY2(ValueAlarms::Settings::parse(text, &a, &error), qPrintable(error));
        QVERIFY2(ValueAlarms::Settings::parse(a.toText(), &b, &error), qPrintable(error));
        QVERIFY2(a == b, qPrintable(a.toText()));
    }
    ValueAlarms::Settings s;
    QString error;
    QVERIFY(ValueAlarms::Settings::parse(QStringLiteral("rise=0.2,1h"), &s, &error));
    QCOMPARE(s.riseClear, 0.1);
    const ValueAlarms::Settings before = s;
    for (const QString &bad :
         {QStringLiteral("high=2.5,2.6"), QStringLiteral("low=1,0.5"), QStringLiteral("rise=0,1h"),
          QStringLiteral("rise=0.2"), QStringLiteral("rise=0.2,1h,0.3"), QStringLiteral("high=1;low=2"),
          QStringLiteral("alarm=1"), QStringLiteral("high=1,0,0"), QStringLiteral("high=inf"),
          QStringLiteral("rise=0.2,60"), QStringLiteral("high=1\x01")}) {
        QVERIFY2(!ValueAlarms::Settings::parse(bad, &s, &error), qPrintable(bad));
        QVERIFY(!error.isEmpty() && !error.contains(QLatin1Char('\n')));
        QVERIFY(s == before);
    }

    ValueAlarms::State state;
    state.low = {true, 5, 0.25};
    state.checked = true;
    state.lastMinute = 7;
    state.recent = {{1, 0.5}, {7, 0.25}};
    for (const QString &bad :
         {QStringLiteral("{"), QStringLiteral("[]"), QStringLiteral("{\"high\":1}"),
          QStringLiteral("{\"high\":{\"since\":1.5,\"value\":1}}"),
          QStringLiteral("{\"high\":{\"value\":1}}"), QStringLiteral("{\"recent\":[[2,1],[1,1]]}"),
          QStringLiteral("{\"last\":1e300}"), QStringLiteral("{\"recent\":[[1,\"x\"]]}"),
          QStringLiteral("{\"recent\":{}}"), QStringLiteral("{\"recent\":[[1]]}"),
          QStringLiteral("\"text\"")}) {
        ValueAlarms::State read = state;
        QVERIFY2(!ValueAlarms::State::fromJson(bad, &read, &error), qPrintable(bad));
        QVERIFY(read == state);
    }
    ValueAlarms::State read;
    QVERIFY(ValueAlarms::State::fromJson(state.toJson(), &read, &error));
    QVERIFY(read == state);
    QVERIFY(ValueAlarms::State::fromJson(QString(), &read, &error));
    QVERIFY(read == ValueAlarms::State());
}

QTEST_GUILESS_MAIN(tst_ValueAlarms)
#include "tst_valuealarms.moc"
