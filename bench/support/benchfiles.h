#pragma once

// Inputs and measures shared by the benchmarks.

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTime>
#include <QXmlStreamWriter>

#include <cstdio>

namespace benchfiles {

// The peak resident memory of this process, or of the process pid.
inline long peakKb(qint64 pid = 0)
{
    QFile f(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A one-year data file: 9 channels every 10 minutes with their daily summaries.
// With skipEvery > 0 every skipEvery-th record of measured values is left out.
inline int writeYear(const QString &path, int skipEvery = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement("device");
    x.writeStartElement("header");
    x.writeStartElement("station");
    x.writeTextElement("code", "D15A012");
    x.writeTextElement("name", "Bench station");
    x.writeEndElement();
    x.writeStartElement("setup");
    x.writeTextElement("timestamp", "2023-01-01 00:00");
    x.writeTextElement("channel_count", "9");
    x.writeStartElement("channels");
    for (int c = 0; c < 9; ++c) {
        x.writeStartElement("channel");
        x.writeAttribute("id", QString::number(c));
        x.writeAttribute("code", "CH");
        x.writeTextElement("name", QStringLiteral("Channel %1").arg(c));
        x.writeTextElement("unit", "u");
        x.writeTextElement("interval", "10");
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeStartElement("data");
    int lines = 0;
    auto line = [&](int c, const char *type, const QString &date, const QString &time, double v) {
        x.writeEmptyElement("line");
        x.writeAttribute("channel", QString::number(c));
        x.writeAttribute("dataType", QString::fromLatin1(type));
        x.writeAttribute("date", date);
        x.writeAttribute("time", time);
        x.writeAttribute("setTime", "false");
        x.writeAttribute("value", QString::number(v, 'f', 4));
        ++lines;
    };
    for (QDate d(2023, 1, 1); d.year() == 2023; d = d.addDays(1)) {
        const QString date = d.toString(Qt::ISODate);
        for (int m = 0; m < 1440; m += 10) {
            if (skipEvery > 0 && (d.dayOfYear() * 144 + m / 10) % skipEvery == 0)
                continue;
            const QString time = QTime(0, 0).addSecs(m * 60).toString("hh:mm");
            for (int c = 0; c < 9; ++c)
                line(c, "INS", date, time, c * 10 + (m % 97) * 0.37 + d.dayOfYear() * 0.01);
        }
        for (int c = 0; c < 9; ++c) {
            line(c, "MIN", date, "03:10", c * 10.0);
            line(c, "MAX", date, "14:50", c * 10 + 35.0);
            line(c, "AVG", date, "23:59", c * 10 + 17.5);
            line(c, "TOT", date, "23:59", c * 10 * 144.0);
        }
    }
    x.writeEndDocument();
    std::printf("data file: %d lines, %.1f MB\n", lines, file.size() / 1048576.0);
    return 0;
}

// Gives every data file under `root` a year of values (9 channels every 10
// minutes with their daily summaries, the year before 2026) ahead of its
// own lines, keeping its header as it is.
inline bool prependYear(const QString &root)
{
    QByteArray year;
    const QDate first(2025, 1, 1);
    for (int d = 0; d < 365; ++d) {
        const QByteArray day = first.addDays(d).toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
        for (int slot = 0; slot < 144; ++slot) {
            const QByteArray time =
                QTime(slot / 6, slot % 6 * 10).toString(QStringLiteral("hh:mm")).toLatin1();
            for (int c = 0; c < 9; ++c)
                year += "\n        <line channel=\"" + QByteArray::number(c) + "\" dataType=\"INS\" date=\"" +
                        day + "\" time=\"" + time + "\" setTime=\"false\" value=\"" +
                        QByteArray::number((d * 144 + slot) % 1000 / 7.0, 'f', 4) + "\"/>";
        }
        for (const char *type : {"MAX", "MIN", "AVG", "TOT"})
            for (int c = 0; c < 9; ++c)
                year += "\n        <line channel=\"" + QByteArray::number(c) + "\" dataType=\"" + type +
                        "\" date=\"" + day + "\" time=\"23:50\" setTime=\"false\" value=\"1.0000\"/>";
    }
    QDirIterator it(root, {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QByteArray bytes = file.readAll();
        file.close();
        const int data = bytes.indexOf("<data>");
        if (data < 0)
            return false;
        bytes.insert(data + 6, year);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

} // namespace benchfiles
