#include "dischargefile.h"

#include <QSaveFile>
#include <QXmlStreamWriter>
#include <cmath>

namespace {

void writePoints(QXmlStreamWriter &xml, const QString &element, const QVector<DischargePoint> &points)
{
    xml.writeStartElement(element);
    for (const DischargePoint &p : points) {
        xml.writeEmptyElement(QStringLiteral("Point"));
        // The level is held as h * 100 in float, which can fall just short
        // of the whole centimetre (28.999998); round rather than truncate.
        xml.writeAttribute(QStringLiteral("Level"), QString::number(std::lround(p.levelCm)));
        xml.writeAttribute(QStringLiteral("Discharge"), QString::number(p.discharge, 'f', 3));
    }
    xml.writeEndElement();
}

} // namespace

bool writeDischargeFile(const QString &path, const QVector<DischargePoint> &points, const QDateTime &created,
                        QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("LevelVersusDischarge"));
    xml.writeAttribute(QStringLiteral("CreateDateTime"),
                       created.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    writePoints(xml, QStringLiteral("UserInsertions"), points);
    writePoints(xml, QStringLiteral("WholeTable"), points);
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
