#pragma once

// Saved data files against the simulator's truth file: every value with its
// channel, type, date and time, counted, never just the number of lines.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace datatruth {

using Multiset = QMap<QString, int>;

inline QString key(int channel, const QString &type, const QString &date, const QString &time, float value)
{
    return QStringLiteral("%1 %2 %3 %4 %5").arg(channel).arg(type, date, time).arg(double(value), 0, 'f', 4);
}

struct Saved
{
    Multiset lines;
    int lineCount = 0;
    // Lines without a date or a time.
    int undated = 0;
    int page = -1;
    int buffer = -1;
    QString timeBase;
    bool ok = false;

    // Several files of one station (two collectors', say) as one.
    Saved operator+(const Saved &other) const
    {
        Saved sum = *this;
        for (auto it = other.lines.constBegin(); it != other.lines.constEnd(); ++it)
            sum.lines[it.key()] += it.value();
        sum.lineCount += other.lineCount;
        sum.undated += other.undated;
        sum.ok = ok && other.ok;
        // The position of the file read last.
        if (other.page >= 0) {
            sum.page = other.page;
            sum.buffer = other.buffer;
            sum.timeBase = other.timeBase;
        }
        return sum;
    }
};

// Read independently of the library's own readers.
inline Saved readXml(const QString &path)
{
    Saved saved;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return saved;
    QXmlStreamReader xml(&file);
    bool inMemory = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("memory"))
            inMemory = false;
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("memory")) {
            inMemory = true;
        } else if (inMemory && xml.name() == QLatin1String("page")) {
            saved.page = xml.readElementText().toInt();
        } else if (inMemory && xml.name() == QLatin1String("buffer")) {
            saved.buffer = xml.readElementText().toInt();
        } else if (inMemory && xml.name() == QLatin1String("time_base")) {
            saved.timeBase = xml.readElementText();
        } else if (xml.name() == QLatin1String("line")) {
            const QXmlStreamAttributes a = xml.attributes();
            if (a.value(QLatin1String("date")).isEmpty() || a.value(QLatin1String("time")).isEmpty())
                ++saved.undated;
            ++saved.lines[key(
                a.value(QLatin1String("channel")).toInt(), a.value(QLatin1String("dataType")).toString(),
                a.value(QLatin1String("date")).toString(), a.value(QLatin1String("time")).toString(),
                a.value(QLatin1String("value")).toFloat())];
            ++saved.lineCount;
        }
    }
    saved.ok = !xml.hasError();
    return saved;
}

// Every data file in the folders, as one (a folder without files adds nothing).
inline Saved readFolders(const QStringList &folders)
{
    Saved all;
    all.ok = true;
    for (const QString &folder : folders) {
        const QStringList names = QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
        for (const QString &name : names)
            all = all + readXml(QDir(folder).filePath(name));
    }
    return all;
}

struct Row
{
    QString key;
    QString time; // "yyyy-MM-dd hh:mm"
};

// The truth file's rows in memory order.
inline QList<Row> readTruth(const QString &path)
{
    QList<Row> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines.at(i).split(',');
        if (cells.size() != 4)
            continue;
        const QString time = QString::fromLatin1(cells.at(0));
        rows.append({key(cells.at(2).toInt(), QString::fromLatin1(cells.at(1)), time.left(10), time.mid(11),
                         cells.at(3).toFloat()),
                     time});
    }
    return rows;
}

// Differences as "key: saved n, truth m", at most a dozen.
inline QString difference(const Multiset &saved, const Multiset &truth)
{
    QStringList out;
    QStringList keys = saved.keys() + truth.keys();
    keys.removeDuplicates();
    keys.sort();
    for (const QString &k : qAsConst(keys)) {
        if (saved.value(k) != truth.value(k))
            out << QStringLiteral("%1: saved %2, truth %3").arg(k).arg(saved.value(k)).arg(truth.value(k));
    }
    if (out.size() > 12)
        out = out.mid(0, 12) << QStringLiteral("... %1 in all").arg(out.size());
    return out.join(QLatin1Char('\n'));
}

// Empty when the saved values are exactly the first rows the device wrote,
// each once and dated as the device dated it; else what differs.
inline QString prefixMismatch(const QList<Row> &rows, const Saved &saved)
{
    if (!saved.ok)
        return QStringLiteral("a data file is not well-formed");
    if (saved.undated > 0)
        return QStringLiteral("%1 values saved without a date or time").arg(saved.undated);
    if (rows.size() < saved.lineCount)
        return QStringLiteral("%1 rows saved, %2 in the truth file so far")
            .arg(saved.lineCount)
            .arg(rows.size());
    Multiset written;
    for (int i = 0; i < saved.lineCount; ++i)
        ++written[rows.at(i).key];
    return difference(saved.lines, written);
}

// Empty when the saved values are every row of the truth file, each once
// and dated as the device dated it (a logger whose memory stands still).
inline QString wholeTruthMismatch(const QString &truthPath, const Saved &saved)
{
    const QList<Row> rows = readTruth(truthPath);
    if (rows.isEmpty())
        return QStringLiteral("no truth file");
    if (saved.lineCount < rows.size())
        return QStringLiteral("%1 rows saved of %2").arg(saved.lineCount).arg(rows.size());
    return prefixMismatch(rows, saved);
}

// Empty when the file's lines stand in the order the logger wrote them; else
// the first that does not.
inline QString orderMismatch(const QString &path, const QList<datatruth::Row> &rows)
{
    QHash<QString, QList<int>> positions;
    for (int i = 0; i < rows.size(); ++i)
        positions[rows.at(i).key].append(i);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    QXmlStreamReader xml(&file);
    int last = -1;
    QHash<QString, int> used;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement() || xml.name() != QLatin1String("line"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString k = datatruth::key(a.value("channel").toInt(), a.value("dataType").toString(),
                                         a.value("date").toString(), a.value("time").toString(),
                                         a.value("value").toFloat());
        const int at = positions.value(k).value(used[k]++, -1);
        if (at < last)
            return QStringLiteral("%1 stands after a later value").arg(k);
        last = at;
    }
    return QString();
}

// Empty when a CSV export (time with +03:00, one column a channel) holds
// every instant value of the truth at its time, up to the last time it
// has; *instants: how many it held.
inline QString exportMismatch(const QByteArray &csv, const QList<Row> &rows, int *instants)
{
    QHash<QString, QStringList> cells;
    // Exported with the store's flags each value has a flag column beside it.
    QVector<int> valueColumns;
    for (const QByteArray &line : csv.split('\n')) {
        const QStringList row = QString::fromUtf8(line.trimmed()).split(QLatin1Char(','));
        if (row.first() == QLatin1String("time")) {
            for (int i = 1; i < row.size(); ++i)
                if (!row.at(i).endsWith(QLatin1String(" flag")))
                    valueColumns.append(i - 1);
            continue;
        }
        cells.insert(row.first(), row.mid(1));
    }
    *instants = 0;
    for (const Row &row : rows) {
        // "channel type date time value"
        const QStringList k = row.key.split(QLatin1Char(' '));
        if (k.value(1) != QLatin1String("INS"))
            continue;
        const QString time = k.value(2) + QLatin1Char('T') + k.value(3) + QStringLiteral(":00+03:00");
        if (!cells.contains(time))
            break; // written after the last visit
        ++*instants;
        const QString cell = cells.value(time).value(valueColumns.value(k.value(0).toInt(), -1));
        const double value = k.value(4).toDouble();
        if (value <= -8887 ? !cell.isEmpty() : qAbs(cell.toDouble() - value) >= 1e-3)
            return QStringLiteral("%1 channel %2: \"%3\", not %4").arg(time, k.value(0), cell).arg(value);
    }
    return QString();
}

} // namespace datatruth
