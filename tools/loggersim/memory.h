#pragma once

// The device's paged memory: record writers, the
// block answers' view of it, the truth rows, and the waveform generator that
// fills it as the simulated clock passes.

#include "scenario.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace loggersim {

constexpr int PageSize = 512;

struct TruthRow
{
    QDateTime time;
    QString type;    // INS, MAX, MIN, AVG, TOT
    int channel = 0; // position among the active slots (the host's DataLine.channel)
    float value = 0.0f;
};

QByteArray bcdTime(const QDateTime &t);
QByteArray floatBytes(float v);
// Region, basin and station number of a group text, read as the host reads it.
void groupNumbers(const QString &group, int *region, int *basin, int *number);

class Memory
{
public:
    int dayStart = 0; // for the day-end stamp of AVG and TOT truth rows

    const QByteArray &bytes() const { return m_bytes; }
    int writePosition() const { return m_bytes.size(); }
    int lastPage() const { return m_bytes.size() / PageSize; }
    int lastBuffer() const { return m_bytes.size() % PageSize; }

    void appendSetup(const Scenario &s, const QDateTime &setupTime);
    void appendTimeStamp(const QDateTime &t);
    // minutes since the last time stamp; one value per active slot (entries 0xA1 + k).
    void appendMeasurement(int minutes, const QList<float> &values);
    // The same with the entries of some channels only: value i goes to channel channels[i].
    void appendMeasurement(int minutes, const QList<int> &channels, const QList<float> &values);
    void appendDaily(const QList<Extreme> &maxima, const QList<Extreme> &minima, const QList<float> &averages,
                     const QList<float> &totals);
    void appendRaw(const QByteArray &bytes);
    void appendRecord(const Scenario &s, const MemoryRecord &r);

    // True when the device answers (page, buffer) with the end marker.
    bool isEnd(int page, int buffer) const;
    // Memory from page * 512 + buffer to the end of the page; unwritten bytes read 0xFF.
    QByteArray block(int page, int buffer) const;

    // One file per setup record, each ending where the next begins (the last at the write position).
    QList<FileEntry> files() const;
    const QList<TruthRow> &truth() const { return m_truth; }
    QDateTime timeBase() const { return m_base; }

private:
    QByteArray m_bytes;
    QList<TruthRow> m_truth;
    QList<QPair<int, QDateTime>> m_setups;
    QDateTime m_base;
};

// Writes measurements at a fixed interval from the generator's waveforms, a
// daily summary at the start of each hydrological day and a time stamp after it.
class MemoryGenerator
{
public:
    void configure(const Scenario &s);
    // Starts writing at `start`: setup record, time stamp.
    void begin(Memory *memory, Scenario *s, const QDateTime &start);
    // Writes every sample whose time is not after `until`; updates the instant values of the slots.
    void runUntil(Memory *memory, Scenario *s, const QDateTime &until);
    // Next sample no earlier than `t` (skipping a gap; a time stamp is written before it).
    void skipTo(const QDateTime &t);
    QDateTime next() const { return m_next; }
    bool started() const { return m_started; }
    // Seconds between the times it looks at: the common interval, or one
    // minute when each channel keeps its own.
    static qint64 stepSeconds(const Generator &g);

    // The value of one slot at one time (deterministic for a seed).
    double sample(int slot, const QDateTime &t) const;

private:
    void flushDay(Memory *memory);
    // Positions among the active slots that are written at m_next.
    QList<int> dueChannels(const Scenario &s) const;

    Generator m_config;
    QList<Waveform> m_waves; // per slot
    QList<int> m_active;
    QDateTime m_origin;
    QDateTime m_next;
    QDate m_day;
    bool m_started = false;
    bool m_needStamp = false;
    int m_dayStart = 0;
    struct Acc
    {
        Extreme max;
        Extreme min;
        double sum = 0.0;
        int count = 0;
    };
    QList<Acc> m_acc;
};

} // namespace loggersim
