#include "dischargefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
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

// The program speaks Turkish; the system's error texts do not.
QString describeFailure(const QSaveFile &file, const QString &path)
{
    const QFileInfo info(path);
    const QString name = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.absoluteDir().exists())
        return QStringLiteral("Klasör bulunamadı: %1").arg(QDir::toNativeSeparators(info.absolutePath()));
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("Dosyaya yazma izni yok: %1").arg(name);
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        return QStringLiteral("Dosya yazılamadı (disk dolu olabilir): %1").arg(name);
    case QFileDevice::OpenError:
        if (!QFileInfo(info.absolutePath()).isWritable())
            return QStringLiteral("Klasöre yazma izni yok: %1")
                .arg(QDir::toNativeSeparators(info.absolutePath()));
        return QStringLiteral("Dosya açılamadı: %1").arg(name);
    default:
        return QStringLiteral("Dosya kaydedilemedi: %1").arg(name);
    }
}

} // namespace

bool writeDischargeFile(const QString &path, const QVector<DischargePoint> &points, const QDateTime &created,
                        QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = describeFailure(file, path);
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("LevelVersusDischarge"));
    xml.writeAttribute(QStringLiteral("CreateDateTime"),
                       QLocale::c().toString(created, QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    writePoints(xml, QStringLiteral("UserInsertions"), points);
    writePoints(xml, QStringLiteral("WholeTable"), points);
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit()) {
        if (error)
            *error = describeFailure(file, path);
        return false;
    }
    return true;
}
