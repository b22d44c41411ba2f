#include "catalogue.h"

#include <QCoreApplication>

namespace {

const char *const kTypeNames[] = {"Unknown", "TQM510", "TQF110C", "TQF110P",
                                  "TQD310",  "TQC210", "TQB210",  "TQA110"};
const char *const kTypeDescriptions[] = {
    QT_TRANSLATE_NOOP("Nexil", "Bilinmeyen Cihaz"),
    QT_TRANSLATE_NOOP("Nexil", "Çok Kanallı Datalogger"),
    QT_TRANSLATE_NOOP("Nexil", "Açık Kanal Debimetre"),
    QT_TRANSLATE_NOOP("Nexil", "Kapalı Boru Debimetre"),
    QT_TRANSLATE_NOOP("Nexil", "Basınç Sensörlü Seviye ve Sıcaklık Kaydedici"),
    QT_TRANSLATE_NOOP("Nexil", "Radar Sensörlü Seviye Kaydedici"),
    QT_TRANSLATE_NOOP("Nexil", "Manyetik Enkoderli Şamandralı Seviye Kaydedici"),
    QT_TRANSLATE_NOOP("Nexil", "Tek Kanallı Datalogger"),
};
const int kTypeChannels[] = {0, 9, 4, 3, 4, 3, 3, 1};

const char *const kValueNames[] = {"Unknown", "AVG", "INS", "MAX", "MIN", "TOT"};

struct CodeEntry
{
    const char *name;
    const char *description;
    const char *units; // '|'-separated
};

const CodeEntry kCodes[] = {
    {"Unknown", QT_TRANSLATE_NOOP("Nexil", "Bilinmeyen"), "Unknown"},
    {"AH", QT_TRANSLATE_NOOP("Nexil", "Hava Nemi"), "%"},
    {"AP", QT_TRANSLATE_NOOP("Nexil", "Hava Basinci"), "bar|mbar"},
    {"AT", QT_TRANSLATE_NOOP("Nexil", "Hava Sicakligi"), "C|F|K"},
    {"DR", QT_TRANSLATE_NOOP("Nexil", "Direkt Radyasyon"), "W/m2"},
    {"EC", QT_TRANSLATE_NOOP("Nexil", "Elektriksel Iletkenlik"), "mS/cm"},
    {"ETo", QT_TRANSLATE_NOOP("Nexil", "Buharlasma (Hesaplanmis)"), "mm/d"},
    {"EVO", QT_TRANSLATE_NOOP("Nexil", "Buharlasma (Olculmus)"), "mm/d"},
    {"GR", QT_TRANSLATE_NOOP("Nexil", "Global Radyasyon"), "W/m2"},
    {"LW", QT_TRANSLATE_NOOP("Nexil", "Yaprak Nemi"), "-"},
    {"PH", QT_TRANSLATE_NOOP("Nexil", "Hidrojen Gucu"), "pH"},
    {"PR", QT_TRANSLATE_NOOP("Nexil", "Yagis"), "mm"},
    {"SD", QT_TRANSLATE_NOOP("Nexil", "Guneslenme Suresi"), "h/d"},
    {"SM", QT_TRANSLATE_NOOP("Nexil", "Toprak Nemi"), "cb"},
    {"SWD", QT_TRANSLATE_NOOP("Nexil", "Kar Seviyesi"), "mm|cm|m"},
    {"WAA", QT_TRANSLATE_NOOP("Nexil", "Su Miktari"), "l|m3"},
    {"WAF", QT_TRANSLATE_NOOP("Nexil", "Su Debisi"), "l/s|l/m|l/h|m3/s|m3/m|m3/h"},
    {"WAL", QT_TRANSLATE_NOOP("Nexil", "Su Seviyesi"), "mm|cm|m"},
    {"WAS", QT_TRANSLATE_NOOP("Nexil", "Su Hizi"), "m/s"},
    {"WAT", QT_TRANSLATE_NOOP("Nexil", "Su Sicakligi"), "C|F|K"},
    {"WAV", QT_TRANSLATE_NOOP("Nexil", "Su Hacmi"), "m3|hm3"},
    {"WID", QT_TRANSLATE_NOOP("Nexil", "Ruzgar Yonu"), "degree"},
    {"WIS", QT_TRANSLATE_NOOP("Nexil", "Ruzgar Hizi"), "m/s|m/h|km/h"},
    {"WFP", QT_TRANSLATE_NOOP("Nexil", "Baraj Doluluk Oranı"), "%"},
    {"SV", QT_TRANSLATE_NOOP("Nexil", "Besleme Voltajı"), "V"},
};

QString translated(const char *text)
{
    return QCoreApplication::translate("Nexil", text);
}

// Values outside a list answer with the list's "unknown" entry.
QString entry(const QStringList &list, int index)
{
    if (index < 0 || index >= list.size())
        return list.value(0);
    return list.at(index);
}

} // namespace

Catalogue::Catalogue()
{
    for (const char *name : kTypeNames)
        typeNames << QString::fromLatin1(name);
    for (const char *description : kTypeDescriptions)
        typeDescriptions << translated(description);
    for (const char *name : kValueNames)
        valueNames << QString::fromLatin1(name);
    int code = CodeUnknown;
    for (const CodeEntry &e : kCodes) {
        codeNames << QString::fromLatin1(e.name);
        codeDescriptions << translated(e.description);
        for (const QString &unit : QString::fromUtf8(e.units).split(QLatin1Char('|')))
            units.append(qMakePair(code, unit));
        ++code;
    }
}

QString Catalogue::deviceTypeName(DeviceType type) const
{
    return entry(typeNames, type);
}

QString Catalogue::deviceTypeDescription(DeviceType type) const
{
    return entry(typeDescriptions, type);
}

QString Catalogue::valueTypeName(ValueType type) const
{
    return entry(valueNames, type);
}

QString Catalogue::channelCodeName(ChannelCode code) const
{
    return entry(codeNames, code - CodeUnknown);
}

QString Catalogue::channelCodeDescription(ChannelCode code) const
{
    return entry(codeDescriptions, code - CodeUnknown);
}

QStringList Catalogue::channelCodeUnits(ChannelCode code) const
{
    QStringList result;
    for (const auto &unit : units) {
        if (unit.first == code)
            result << unit.second;
    }
    return result;
}

DeviceType Catalogue::deviceType(const QString &name) const
{
    const int index = typeNames.indexOf(name);
    return DeviceType(index < 0 ? 0 : index);
}

ValueType Catalogue::valueType(const QString &name) const
{
    const int index = valueNames.indexOf(name);
    return ValueType(index < 0 ? 0 : index);
}

ChannelCode Catalogue::channelCode(const QString &name) const
{
    const int index = codeNames.indexOf(name);
    return ChannelCode(CodeUnknown + (index < 0 ? 0 : index));
}

int Catalogue::channelCount(int deviceType)
{
    if (deviceType < 1 || deviceType > 7)
        return 0;
    return kTypeChannels[deviceType];
}
