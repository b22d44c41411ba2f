// Flags a year of 9 channels at 10-minute steps with every quality test on,
// first in one go, then as the visits of a station every hour would (each
// visit's values after the stored history they need), and checks the
// value alarms of each value; reports the times and the peak memory.
//   bench_qartod

#include "collection/qartodflags.h"
#include "collection/valuealarms.h"
#include "support/benchfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

constexpr int channels = 9;
constexpr int perYear = 365 * 24 * 6;

QVector<QartodFlags::Point> channel(int c)
{
    QRandomGenerator rng(c);
    QVector<QartodFlags::Point> s(perYear);
    for (int i = 0; i < perYear; ++i) {
        s[i].minute = 28900000 + 10LL * i;
        s[i].value = 2 + std::sin(i / (50.0 + c)) + rng.bounded(1000) / 10000.0;
        if (i % 997 == 0)
            s[i].value += 1; // a spike now and then
        if (i % 5000 < 40)
            s[i].value = 1.5; // and a stuck sensor
        s[i].missing = i % 3001 == 0;
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    QartodFlags::Settings settings;
    if (!QartodFlags::Settings::parse(QStringLiteral("gross=-1,10;user=0,8;spike=0.3,0.6;roc=3,25h;"
                                                     "flat=0.001,2h,6h"),
                                      &settings, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    ValueAlarms::Settings alarmSettings;
    ValueAlarms::Settings::parse(QStringLiteral("high=2.8,2.7;low=1.2,1.3;rise=0.5,1h"), &alarmSettings,
                                 &error);
    QVector<QVector<QartodFlags::Point>> data;
    for (int c = 0; c < channels; ++c)
        data << channel(c);
    const long before = benchfiles::peakKb();
    const QartodFlags qc(settings);

    QElapsedTimer t;
    t.start();
    qint64 flagged[10] = {};
    for (const QVector<QartodFlags::Point> &s : data)
        for (const QartodFlags::Result &r : qc.evaluate(s))
            ++flagged[r.flag];
    const double whole = t.elapsed() / 1000.0;

    // Hourly visits: six new values after the stored history update() asks for.
    t.restart();
    const qint64 history = qc.historyMinutes();
    qint64 changed = 0, events = 0, updates = 0;
    for (QVector<QartodFlags::Point> s : data) {
        ValueAlarms alarms(alarmSettings);
        for (int at = 0; at < s.size(); at += 6) {
            int from = at - 1;
            while (from > 0 && s[from - 1].minute >= s[at - 1].minute - history)
                --from;
            from = std::max(0, from - 1);
            const QartodFlags::Update u = qc.update(s.mid(from, at - from), s.mid(at, 6));
            changed += u.changed.size();
            ++updates;
            for (int i = 0; i < u.added.size(); ++i) {
                s[at + i].flag = u.added[i].flag;
                events += alarms.check(s[at + i].minute, s[at + i].value, u.added[i].flag).size();
            }
            for (const QartodFlags::Changed &ch : u.changed)
                s[from + ch.index].flag = ch.result.flag;
        }
    }
    const double visits = t.elapsed() / 1000.0;

    std::printf("qartod: %d channels x %d values, all tests: %.3f s in one go, %.3f s as hourly visits "
                "with alarms (%.1f us per channel and visit, %lld re-flagged, %lld alarm events); flags "
                "1/3/4/9: %lld/%lld/%lld/%lld; "
                "peak %ld MB (%ld MB before the run)\n",
                channels, perYear, whole, visits, visits * 1e6 / updates, changed, events, flagged[1],
                flagged[3], flagged[4], flagged[9], benchfiles::peakKb() / 1024, before / 1024);
    return 0;
}
