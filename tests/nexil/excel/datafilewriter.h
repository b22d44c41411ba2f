#pragma once

// Writes test inputs in the XML data file format.

#include <QFile>
#include <QString>
#include <QVector>
#include <QXmlStreamWriter>

namespace datafile {

struct Channel
{
    int id;
    QString code, name, unit;
    int interval = 10; // minutes
};

struct Line
{
    int channel;
    QString type, date, time;
    double value;
};

inline bool write(const QString &path, const QVector<Channel> &channels, const QVector<Line> &lines,
                  const QString &stationName = QStringLiteral("Kızılırmak - Söğütlü"),
                  const QString &stationCode = QStringLiteral("D15A012"),
                  const QString &setupTimestamp = QStringLiteral("2024-01-01 08:00"))
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QXmlStreamWriter x(&file);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("device"));
    x.writeStartElement(QStringLiteral("header"));
    x.writeTextElement(QStringLiteral("device_type"), QStringLiteral("2"));
    x.writeTextElement(QStringLiteral("device_type_name"), QStringLiteral("TQM"));
    x.writeTextElement(QStringLiteral("device_type_description"), QStringLiteral("logger"));
    x.writeTextElement(QStringLiteral("last_connection_time"), QStringLiteral("2024-03-01 10:00"));
    x.writeTextElement(QStringLiteral("supply_voltage"), QStringLiteral("12.50"));
    x.writeStartElement(QStringLiteral("station"));
    x.writeTextElement(QStringLiteral("code"), stationCode);
    x.writeTextElement(QStringLiteral("name"), stationName);
    x.writeTextElement(QStringLiteral("region"), QStringLiteral("3"));
    x.writeTextElement(QStringLiteral("basin"), QStringLiteral("15"));
    x.writeTextElement(QStringLiteral("no"), QStringLiteral("12"));
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("setup"));
    x.writeTextElement(QStringLiteral("timestamp"), setupTimestamp);
    x.writeTextElement(QStringLiteral("start_of_day"), QStringLiteral("8"));
    x.writeStartElement(QStringLiteral("memory"));
    x.writeTextElement(QStringLiteral("page"), QStringLiteral("10"));
    x.writeTextElement(QStringLiteral("buffer"), QStringLiteral("20"));
    x.writeEndElement();
    x.writeTextElement(QStringLiteral("channel_count"), QString::number(channels.size()));
    x.writeStartElement(QStringLiteral("channels"));
    for (const Channel &c : channels) {
        x.writeStartElement(QStringLiteral("channel"));
        x.writeAttribute(QStringLiteral("id"), QString::number(c.id));
        x.writeAttribute(QStringLiteral("code"), c.code);
        x.writeTextElement(QStringLiteral("name"), c.name);
        x.writeTextElement(QStringLiteral("unit"), c.unit);
        x.writeTextElement(QStringLiteral("interval"), QString::number(c.interval));
        x.writeEndElement();
    }
    x.writeEndElement(); // channels
    x.writeEndElement(); // setup
    x.writeEndElement(); // header
    x.writeEmptyElement(QStringLiteral("alarms"));
    x.writeStartElement(QStringLiteral("data"));
    for (const Line &l : lines) {
        x.writeEmptyElement(QStringLiteral("line"));
        x.writeAttribute(QStringLiteral("channel"), QString::number(l.channel));
        x.writeAttribute(QStringLiteral("dataType"), l.type);
        x.writeAttribute(QStringLiteral("date"), l.date);
        x.writeAttribute(QStringLiteral("time"), l.time);
        x.writeAttribute(QStringLiteral("setTime"), QStringLiteral("false"));
        x.writeAttribute(QStringLiteral("value"), QString::number(l.value, 'f', 4));
    }
    x.writeEndElement(); // data
    x.writeEndElement(); // device
    x.writeEndDocument();
    return file.error() == QFileDevice::NoError;
}

} // namespace datafile
