#pragma once

#include "nexil/nexil_global.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// Finds the holes in a station's recorded values: the times at which a
// channel's recording interval says a value should exist and none does.
// The files are streamed, so a year of data is never held whole.
//
// Several files of one station may be given: each file's setup (its channel
// intervals) holds from its setup time until the next file's setup time.
// Only measured values ("INS") count; daily summaries do not. A sensor
// error (-9999, -8888) counts as missing, and is counted on its own too. The
// result does not depend on the order of the lines or of the files.
// Channels are followed across files by their code, name and unit, and
// numbered as ChannelMap does, so a change of setup that shifts the
// positions keeps each channel's values its own.
class NEXIL_EXPORT GapFinder
{
public:
    struct Gap
    {
        int channel = 0;
        QDateTime from, to; // first and last missing time
        qint64 missing = 0;
    };

    struct ChannelFigures
    {
        int channel = 0;
        QString name, unit;
        int interval = 0; // minutes, of the last file that records the channel
        qint64 present = 0, missing = 0;
        // Of the missing: times whose value was a sensor error (-9999, -8888).
        qint64 sensorErrors = 0;
        double completeness() const { return percent(present, missing); }
    };

    struct DayFigures
    {
        QDate date;
        // Indexed as channels(); a channel with nothing expected that day has
        // 0 in both.
        QVector<qint64> present, missing, sensorErrors;
        double completeness(int index) const { return percent(present.at(index), missing.at(index)); }
    };

    // Either end may be invalid (open): the range then starts with the first
    // value in the files or ends with the last. `to` is inclusive.
    void setRange(const QDateTime &from, const QDateTime &to);
    // Off: the range only selects values; its edges are then those of the
    // values in it, as for an open range (a window over a station that began
    // recording inside it, or whose newest values are not read yet).
    void setEdgesCount(bool on) { m_edgesCount = on; }

    // False, with errorText(), when a file cannot be read or is not a
    // well-formed data file; nothing is reported then.
    bool run(const QStringList &paths);
    QString errorText() const { return m_error; }

    QString stationCode() const { return m_stationCode; }
    QString stationName() const { return m_stationName; }
    // The range examined; invalid when the files hold no value in range.
    QDateTime from() const { return m_from; }
    QDateTime to() const { return m_to; }
    const QVector<ChannelFigures> &channels() const { return m_channels; }
    // By channel, then time.
    const QVector<Gap> &gaps() const { return m_gaps; }
    // In date order.
    const QVector<DayFigures> &days() const { return m_days; }

    // present / (present + missing) in percent, at most 100; -1 when nothing
    // was expected.
    static double percent(qint64 present, qint64 missing);

private:
    QDateTime m_rangeFrom, m_rangeTo;
    bool m_edgesCount = true;
    QString m_error, m_stationCode, m_stationName;
    QDateTime m_from, m_to;
    QVector<ChannelFigures> m_channels;
    QVector<Gap> m_gaps;
    QVector<DayFigures> m_days;
};
