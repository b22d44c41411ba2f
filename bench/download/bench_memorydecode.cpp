// Decoding one year of memory: 9 channels every 10 minutes, a daily summary
// and a time stamp at the start of each day, as a logger writes them.
//
//   bench_memorydecode [runs]

#include "nexil/download/memorydecoder.h"
#include "nexil/protocol/timezone.h"
#include "support/testmemory.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace testmemory;

namespace {

constexpr int channels = 9;
constexpr int dayStart = 7;

MemoryDevice device()
{
    MemoryDevice d;
    d.setup.header.deviceType = DeviceTQM510;
    d.setup.stationName = QStringLiteral("KIRMIR CAYI");
    d.setup.stationCode = QStringLiteral("D02A003");
    d.setup.supplyVoltage = 12.7f;
    d.setup.dayStart = dayStart;
    d.setup.activeChannelCount = channels;
    for (int i = 0; i < channels; ++i) {
        d.setup.activeChannels << i;
        d.names.channelStates << 1;
        d.names.activeChannels << i;
        d.names.names << QStringLiteral("Channel%1").arg(i);
        d.names.codes << ChannelCode(CodeAH + i);
        d.names.recordIntervals << 10;
        d.calibrations.units << QStringLiteral("u%1").arg(i);
    }
    return d;
}

QByteArray yearOfMemory(const QDateTime &start, int *values)
{
    QList<QByteArray> names;
    QList<QByteArray> units;
    QList<int> intervals;
    for (int i = 0; i < channels; ++i) {
        names << "Channel" + QByteArray::number(i);
        units << "u" + QByteArray::number(i);
        intervals << 10;
    }
    QByteArray image = setupRecord("KIRMIR CAYI", "02-14-003", "D02A003", QByteArray(channels, '1'), names,
                                   units, intervals, start);
    image += timeStamp(start);
    *values = 0;
    QDateTime base = start;
    QList<float> sample;
    for (int i = 0; i < channels; ++i)
        sample << 0.0f;
    const int steps = 365 * 24 * 6;
    for (int step = 0; step < steps; ++step) {
        const QDateTime t = start.addSecs(qint64(step) * 600);
        if (step > 0 && t.time() == QTime(dayStart, 0)) {
            QList<Extreme> maxima;
            QList<Extreme> minima;
            QList<float> averages;
            for (int i = 0; i < channels; ++i) {
                maxima << Extreme{t.addSecs(-3600), float(100 + i)};
                minima << Extreme{t.addSecs(-7200), float(i)};
                averages << float(50 + i);
            }
            image += summary(maxima, minima, averages, averages);
            image += timeStamp(t);
            base = t;
            *values += 4 * channels;
        }
        for (int i = 0; i < channels; ++i)
            sample[i] = float((step * 7 + i * 13) % 1000) / 10.0f;
        image += measurement(int(base.secsTo(t) / 60), sample);
        *values += channels;
    }
    image.append(QByteArray(512 - image.size() % 512, char(0xFF)));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    pinLocalTimeZone(); // as the programs do
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QDateTime start(QDate(2025, 1, 1), QTime(dayStart, 0));
    int values = 0;
    const QByteArray image = yearOfMemory(start, &values);
    const MemoryDevice d = device();
    const Catalogue catalogue;
    std::vector<double> seconds;
    int lines = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const DataFile file = memory::decode(image, d, start, QDateTime::currentDateTime(), catalogue);
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        lines = file.lines.size();
    }
    if (lines != values) {
        std::fprintf(stderr, "decoded %d lines, memory holds %d values\n", lines, values);
        return 1;
    }
    std::sort(seconds.begin(), seconds.end());
    // Local times cost a zone file check per conversion when TZ is unset.
    const QByteArray tz = qEnvironmentVariableIsSet("TZ") ? qgetenv("TZ") : QByteArray("(unset)");
    std::printf(
        "memory decode: %d bytes (%d pages), %d lines, TZ %s; best %.3f s, median %.3f s over %d runs "
        "(target < 0.5 s)\n",
        int(image.size()), int(image.size() / 512), lines, tz.constData(), seconds.front(),
        seconds[seconds.size() / 2], runs);
    return seconds[seconds.size() / 2] < 0.5 ? 0 : 2;
}
