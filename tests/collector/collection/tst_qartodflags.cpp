#include "collection/qartodflags.h"
#include "support/qartodreference.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using Point = QartodFlags::Point;
using Result = QartodFlags::Result;

namespace {

using qartodref::allTests;
using qartodref::Reference;
using qartodref::riverSeries;

QString show(const Result &r)
{
    return QStringLiteral("gross %1 spike %2 roc %3 flat %4 -> %5")
        .arg(r.gross)
        .arg(r.spike)
        .arg(r.roc)
        .arg(r.flat)
        .arg(r.flag);
}

QVector<quint8> flagsOf(const QVector<Result> &results)
{
    QVector<quint8> f;
    for (const Result &r : results)
        f << r.flag;
    return f;
}

// The stored points update() asks for around added[0..] (all after index
// `from` of the whole series, or the one at `late`): the contract's slice.
QVector<int> slice(const QVector<Point> &s, qint64 history, int firstAdded, int lastAdded)
{
    int lo = firstAdded - 1, hi = lastAdded + 1;
    const qint64 fromT = lo >= 0 ? s[lo].minute - history : 0;
    while (lo > 0 && s[lo - 1].minute >= fromT)
        --lo;
    lo = std::max(0, lo - 1);
    const qint64 toT = hi < s.size() ? s[hi].minute + history : 0;
    while (hi + 1 < s.size() && s[hi + 1].minute <= toT)
        ++hi;
    hi = std::min(int(s.size()) - 1, hi + 1);
    QVector<int> idx;
    for (int k = lo; k <= hi; ++k)
        if (k < firstAdded || k > lastAdded)
            idx << k;
    return idx;
}

} // namespace

class tst_QartodFlags : public QObject
{
    Q_OBJECT

private slots:
    void flagsMatchTheRulesAndMarkTheEvents();
    void visitBoundaryChangesNoFlag();
    void lateValueReflagsItsNeighbours();
    void channelWithoutSettingsIsNotEvaluated();
    void settingsTextRoundTripAndBadTexts();
};

void tst_QartodFlags::flagsMatchTheRulesAndMarkTheEvents()
{
    QartodFlags::Settings c;
    QString error;
    QVERIFY2(QartodFlags::Settings::parse(allTests, &c, &error), qPrintable(error));
    const QVector<Point> s = riverSeries();
    const QVector<Result> got = QartodFlags(c).evaluate(s);
    const Reference ref{c, s};
    for (int i = 0; i < s.size(); ++i)
        QVERIFY2(got[i] == ref.at(i),
                 qPrintable(
                     QStringLiteral("value %1: %2, expected %3").arg(i).arg(show(got[i]), show(ref.at(i)))));

    // The events got the flags they were made for (so the reference is no copy of a mistake).
    QCOMPARE(got[100].spike, quint8(4));
    QCOMPARE(got[150].spike, quint8(3));
    QCOMPARE(got[200].gross, quint8(3));
    QCOMPARE(got[250].gross, quint8(4));
    QCOMPARE(got[250].flag, quint8(4));
    QCOMPARE(got[350].flag, quint8(9));
    QCOMPARE(got[352].roc, quint8(2)); // after a sensor error: no previous value
    QCOMPARE(got[400].roc, quint8(3));
    QCOMPARE(got[511].flat, quint8(1)); // 110 minutes of the same value
    QCOMPARE(got[512].flat, quint8(3));
    QCOMPARE(got[535].flat, quint8(3));
    QCOMPARE(got[536].flat, quint8(4)); // six hours
    QCOMPARE(got[544].flat, quint8(4));
    QCOMPARE(got[549].flat, quint8(1));
    QCOMPARE(got[322].flat, quint8(3)); // the hole counts as time of the flat line
    QCOMPARE(got[323].flat, quint8(4));
    QCOMPARE(got.last().spike, quint8(2)); // the newest waits for its successor
    QCOMPARE(got.first().roc, quint8(2));
    int pass = 0;
    for (const Result &r : got)
        pass += r.flag == 1;
    QVERIFY(pass > 550);

    // Out of time order in, results in the order given.
    QVector<Point> shuffled = s;
    std::reverse(shuffled.begin(), shuffled.end());
    QVector<Result> back = QartodFlags(c).evaluate(shuffled);
    std::reverse(back.begin(), back.end());
    QVERIFY(back == got);
}

void tst_QartodFlags::visitBoundaryChangesNoFlag()
{
    QartodFlags::Settings c;
    QString error;
    QVERIFY(QartodFlags::Settings::parse(allTests, &c, &error));
    const QartodFlags qc(c);
    const QVector<Point> s = riverSeries();
    const QVector<quint8> whole = flagsOf(qc.evaluate(s));

    // Two visits split at every place; the second one gets only the
    // stored values the contract asks for.
    for (int b = 1; b < s.size(); ++b) {
        QVector<Point> first = s.mid(0, b);
        const QVector<Result> firstResults = qc.evaluate(first);
        for (int i = 0; i < b; ++i)
            first[i].flag = firstResults[i].flag;
        const QVector<int> idx = slice(s, qc.historyMinutes(), b, s.size() - 1);
        QVector<Point> stored;
        for (int k : idx)
            stored << first[k];
        const QartodFlags::Update u = qc.update(stored, s.mid(b));
        QVector<quint8> flags = flagsOf(firstResults);
        for (const QartodFlags::Changed &ch : u.changed)
            flags[idx[ch.index]] = ch.result.flag;
        flags += flagsOf(u.added);
        QVERIFY2(flags == whole, qPrintable(QStringLiteral("split before value %1").arg(b)));
        if (b == 100)
            QCOMPARE(u.changed.size(), 1); // the newest stored value's spike, now known (2 -> 4)
    }

    // Many visits of random sizes, each given all that is stored.
    QRandomGenerator rng(7);
    QVector<Point> stored;
    for (int at = 0; at < s.size();) {
        const int n = std::min(int(s.size()) - at, 1 + int(rng.bounded(20)));
        const QartodFlags::Update u = qc.update(stored, s.mid(at, n));
        for (const QartodFlags::Changed &ch : u.changed)
            stored[ch.index].flag = ch.result.flag;
        for (int i = 0; i < n; ++i) {
            stored << s[at + i];
            stored.last().flag = u.added[i].flag;
        }
        at += n;
    }
    QVector<quint8> visited;
    for (const Point &p : stored)
        visited << p.flag;
    QVERIFY(visited == whole);
}

void tst_QartodFlags::lateValueReflagsItsNeighbours()
{
    QartodFlags::Settings c;
    QString error;
    QVERIFY(QartodFlags::Settings::parse(allTests, &c, &error));
    const QartodFlags qc(c);
    const QVector<Point> s = riverSeries();
    const QVector<quint8> whole = flagsOf(qc.evaluate(s));
    for (int late : {0, 1, 99, 100, 101, 299, 300, 349, 352, 399, 400, 505, 511, 536, 560, 698, 699}) {
        QVector<Point> without = s;
        without.remove(late);
        const QVector<Result> before = qc.evaluate(without);
        QVector<quint8> flags = flagsOf(before);
        for (int i = 0; i < without.size(); ++i)
            without[i].flag = before[i].flag;
        // The slice around the late value, in the series without it.
        QVector<int> idx;
        for (int k : slice(s, qc.historyMinutes(), late, late))
            idx << (k > late ? k - 1 : k);
        QVector<Point> stored;
        for (int k : idx)
            stored << without[k];
        const QartodFlags::Update u = qc.update(stored, {s[late]});
        for (const QartodFlags::Changed &ch : u.changed)
            flags[idx[ch.index]] = ch.result.flag;
        flags.insert(late, u.added[0].flag);
        QVERIFY2(flags == whole, qPrintable(QStringLiteral("late value %1").arg(late)));
    }

    // A value already stored is not taken again.
    QVector<Point> stored = s.mid(0, 10);
    Point again = s[5];
    again.value = 100;
    const QartodFlags::Update u = qc.update(stored, {again});
    QCOMPARE(u.added[0].flag, qc.evaluate(stored)[5].flag);
    QVERIFY(u.changed.isEmpty()); // nothing arrived, nothing re-flagged
}

void tst_QartodFlags::channelWithoutSettingsIsNotEvaluated()
{
    const QVector<Point> s = riverSeries();
    const QVector<Result> none = QartodFlags().evaluate(s);
    for (int i = 0; i < s.size(); ++i)
        QCOMPARE(none[i].flag, quint8(i == 350 || i == 351 || i == 545 || i == 600 ? 9 : 2));

    // Only the tests set run; the others stay 2 and do not spoil the aggregate.
    QartodFlags::Settings c;
    QString error;
    QVERIFY(QartodFlags::Settings::parse(QStringLiteral("user=0,8"), &c, &error));
    const QVector<Result> user = QartodFlags(c).evaluate(s);
    QCOMPARE(user[200].flag, quint8(3));
    QCOMPARE(user[250].flag, quint8(3)); // no sensor limits: only suspect
    QCOMPARE(user[100].flag, quint8(1));
    QCOMPARE(user[100].spike, quint8(2));

    // Sensor error codes with decimals, not-a-number and an invalid time are missing.
    QVERIFY(QartodFlags::point(QDateTime::currentDateTimeUtc(), -8888.5).missing);
    QVERIFY(QartodFlags::point(QDateTime::currentDateTimeUtc(), qQNaN()).missing);
    QVERIFY(QartodFlags::point(QDateTime(), 1.0).missing);
    QVERIFY(!QartodFlags::point(QDateTime::currentDateTimeUtc(), -999).missing);
    QVERIFY(QartodFlags::point(QDateTime::currentDateTimeUtc(), 1.0, true).missing);
    for (const QString &text : {QStringLiteral("-9999"), QStringLiteral("-8888.0"), QStringLiteral("ERR"),
                                QStringLiteral(""), QStringLiteral("nan"), QStringLiteral("1e999")})
        QVERIFY2(QartodFlags::point(0, text).missing, qPrintable(text));
    QCOMPARE(QartodFlags::point(0, QStringLiteral(" -1.25")).value, -1.25);
    qint64 minute = 0;
    QVERIFY(QartodFlags::parseMinute(QStringLiteral("1970-01-02 00:01"), &minute));
    QCOMPARE(minute, 24 * 60 + 1);
    QVERIFY(QartodFlags::parseMinute(QStringLiteral("2025-03-01 10:20"), &minute));
    QCOMPARE(minute,
             QartodFlags::minuteOf(QDateTime(QDate(2025, 3, 1), QTime(10, 20), Qt::OffsetFromUTC, 7200)));
    for (const QString &bad :
         {QStringLiteral("2025-03-01T10:20"), QStringLiteral("2025-02-30 10:20"),
          QStringLiteral("2025-03-01 24:00"), QStringLiteral("2025-03-01 10:20:00"), QString()})
        QVERIFY2(!QartodFlags::parseMinute(bad, &minute), qPrintable(bad));
    QCOMPARE(QartodFlags::minuteOf(QDateTime(QDate(1970, 1, 2), QTime(0, 1), Qt::UTC)), 24 * 60 + 1);
    QCOMPARE(QartodFlags::dateTimeOf(minute), QDateTime(QDate(2025, 3, 1), QTime(10, 20), Qt::UTC));
    QCOMPARE(QartodFlags::minuteOf(QDateTime(QDate(1969, 12, 31), QTime(23, 59, 30), Qt::UTC)), -1);
}

void tst_QartodFlags::settingsTextRoundTripAndBadTexts()
{
    QLocale::setDefault(QLocale(QLocale::Turkish)); // a decimal comma must not get in
    for (const QString &text :
         {allTests, QString(), QStringLiteral("flat=0,30m,1d"), QStringLiteral("spike=0.1,0.1;roc=2.5,90m"),
          QStringLiteral("gross=-0.30000000000000004,1e-7")}) {
        QartodFlags::Settings a, b;
        QString error;
        QVERIFY2(QartodFlags::Settings::parse(text, &a, &error), qPrintable(error));
        QVERIFY2(QartodFlags::Settings::parse(a.toText(), &b, &error), qPrintable(error));
        QVERIFY2(a == b, qPrintable(a.toText()));
    }
    QartodFlags::Settings spaced;
    QString error;
    QVERIFY(
        QartodFlags::Settings::parse(QStringLiteral(" ROC = 3 , 1h ;; flat=0.001,2h,6h; "), &spaced, &error));
    QCOMPARE(spaced.toText(), QStringLiteral("roc=3,1h;flat=0.001,2h,6h"));

    const QartodFlags::Settings before = spaced;
    for (const QString &bad : {QStringLiteral("gross=1"),
                               QStringLiteral("gross=a,b"),
                               QStringLiteral("gross=10,1"),
                               QStringLiteral("gross=1,1"),
                               QStringLiteral("gross=1,2,3"),
                               QStringLiteral("gross=nan,inf"),
                               QStringLiteral("gross=0x10,20"),
                               QStringLiteral("spike=0.6,0.3"),
                               QStringLiteral("spike=-1,1"),
                               QStringLiteral("roc=3,1x"),
                               QStringLiteral("roc=3,0h"),
                               QStringLiteral("roc=0,1h"),
                               QStringLiteral("roc=3,99999999999d"),
                               QStringLiteral("roc=3,-1h"),
                               QStringLiteral("roc=3,1.5h"),
                               QStringLiteral("flat=0.1,6h,2h"),
                               QStringLiteral("flat=-1,1h,2h"),
                               QStringLiteral("foo=1"),
                               QStringLiteral("gross=1,2;GROSS=1,2"),
                               QStringLiteral("=1,2"),
                               QStringLiteral("gross"),
                               QStringLiteral("gross=1e999,2"),
                               QStringLiteral("x\ny=1\r\n"),
                               QString(5000, QLatin1Char('a')),
                               QStringLiteral("spike=0.3,0.6;evil\x1b[2J=1")}) {
        QartodFlags::Settings s = spaced;
        QVERIFY2(!QartodFlags::Settings::parse(bad, &s, &error), qPrintable(bad));
        QVERIFY(!error.isEmpty());
        QVERIFY2(!error.contains(QLatin1Char('\n')) && !error.contains(QLatin1Char('\x1b')) &&
                     error.size() < 300,
                 qPrintable(error));
        QVERIFY(s == before);
    }
}

QTEST_GUILESS_MAIN(tst_QartodFlags)
#include "tst_qartodflags.moc"
