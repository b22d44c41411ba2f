#pragma once

// How the report sheets place and add up a data file's lines. Plain values in
// and out, no workbook, so each rule is tested on its own.

#include "nexil/nexil_global.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QVector>

namespace report {

enum class LineType : quint8 { Ins, Max, Min, Avg, Tot, Other };

// A value as the data file holds it: a number, or a text that is not one.
struct Value
{
    double number = 0;
    QString text; // set when the value is not a number
    bool isNumber() const { return text.isNull(); }
};

struct Line
{
    int channel = 0;
    LineType type = LineType::Other;
    QString date, time;
    Value value;
    QString valueText; // the value exactly as the file writes it
};

NEXIL_EXPORT LineType lineType(const QString &name);

// The device writes -9999 (and -8888) for a reading its sensor could not take.
NEXIL_EXPORT bool isSensorError(double value);
NEXIL_EXPORT bool isSensorError(const Value &value);

// A "yyyy-MM-dd" text as a date; invalid for anything else.
NEXIL_EXPORT QDate parseDate(const QString &text);
// A "hh:mm" text as minutes of the day; -1 for anything else.
NEXIL_EXPORT int parseMinuteOfDay(const QString &text);

// Dates before times before other texts, each kind in its own order.
NEXIL_EXPORT bool lessThan(const QString &a, const QString &b);

// The rows of the daily sheet: each new date-time of an instant value opens
// the next row of the block; a new date, or a full block, opens a new block.
class NEXIL_EXPORT DailyRows
{
public:
    struct Place
    {
        bool newRow = false;   // the value opens a row
        bool newBlock = false; // ... which starts a block after the first one
        int row = -1;          // row inside the block, from 0
    };
    explicit DailyRows(int rowsPerBlock) : m_rowsPerBlock(rowsPerBlock) {}
    Place place(const QString &date, const QString &time);

private:
    int m_rowsPerBlock;
    int m_row = -1;
    QString m_date, m_time;
};

// Figures of one channel over a period.
struct Summary
{
    double max = 0, min = 0, total = 0;
    QString maxLabel, minLabel;
    int count = 0; // values behind MAX and MIN; 0: nothing to show
};

// The daily averages and totals of a data file by month, day and channel.
// Only "AVG" and "TOT" lines with a valid date count; a day written twice
// (the same download saved twice) keeps its last value, so it counts once.
class NEXIL_EXPORT DailySummaries
{
public:
    struct Day
    {
        QDate date;
        QMap<int, Value> averages, totals; // by channel
    };
    using Month = QMap<QDate, Day>; // the days of one month, in order

    void add(const Line &line);
    // Keyed by the first day of each month, in calendar order.
    const QMap<QDate, Month> &months() const { return m_months; }

    // MAX and MIN of the month's daily averages with their dates; TOT the sum
    // of the device's daily totals where the channel has them, else the sum
    // of its daily averages. Sensor errors count for nothing.
    static QMap<int, Summary> monthSummary(const Month &month);
    // The mean of each channel's daily averages over the month.
    static QMap<int, double> monthMeans(const Month &month);
    // MAX and MIN of the monthly means, labelled "yyyy-MM"; TOT as for a
    // month, over the whole year.
    static QMap<int, Summary> yearSummary(const QVector<const Month *> &months);

private:
    QMap<QDate, Month> m_months;
};

// Fixed-point text of a value as the sheets' "0.0000" format shows it.
NEXIL_EXPORT int shownWidth(double value);

} // namespace report
