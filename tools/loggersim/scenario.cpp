#include "scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QLocale>

namespace loggersim {

QDateTime parseDeviceTime(const QString &text)
{
    const QString s = text.simplified();
    if (s.isEmpty() || s.startsWith(QLatin1String("00/00/00")))
        return QDateTime();
    for (const char *format : {"dd/MM/yy hh:mm:ss", "dd/MM/yy hh:mm"}) {
        const QDateTime t = QDateTime::fromString(s, QLatin1String(format));
        if (t.isValid())
            return t.addYears(100);
    }
    for (const char *format :
         {"yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm"}) {
        const QDateTime t = QDateTime::fromString(s, QLatin1String(format));
        if (t.isValid())
            return t;
    }
    return QDateTime();
}

QString formatDeviceTime(const QDateTime &t, bool seconds)
{
    if (!t.isValid())
        return seconds ? QStringLiteral("00/00/00 00:00:00") : QStringLiteral("00/00/00 00:00");
    // On the wire: ASCII digits whatever the locale.
    return QLocale::c().toString(t, seconds ? QStringLiteral("dd/MM/yy hh:mm:ss")
                                            : QStringLiteral("dd/MM/yy hh:mm"));
}

QList<int> Scenario::activeSlots() const
{
    QList<int> active;
    for (int i = 0; i < slotList.size(); ++i) {
        if (slotList.at(i).state == 1)
            active << i;
    }
    return active;
}

int modelChannelCount(const QString &model)
{
    if (model == QLatin1String("ZazEroDar") || model == QLatin1String("TQM510"))
        return 9;
    if (model == QLatin1String("TQF110C"))
        return 4;
    if (model == QLatin1String("TQF110P"))
        return 3;
    if (model == QLatin1String("VeZevAvu") || model == QLatin1String("TQD310"))
        return 4;
    if (model == QLatin1String("RorEdeDar") || model == QLatin1String("TQC210"))
        return 3;
    if (model == QLatin1String("DEZAraDez") || model == QLatin1String("TQB210"))
        return 3;
    if (model == QLatin1String("ZozOdoRed") || model == QLatin1String("TQA110"))
        return 1;
    return 9;
}

namespace {

struct SlotTemplate
{
    const char *name;
    int code;
    const char *unit;
    double instant;
};

// A plausible default channel for each position of a model.
QList<SlotTemplate> templatesFor(const QString &model)
{
    if (model == QLatin1String("TQF110C"))
        return {{"Level", 49, "cm", 42.0},
                {"Flow", 48, "m3/s", 1.8},
                {"Speed", 50, "m/s", 0.6},
                {"WTemp", 51, "C", 11.5}};
    if (model == QLatin1String("TQF110P"))
        return {{"Flow", 48, "l/s", 35.0}, {"Volume", 47, "m3", 1200.0}, {"WTemp", 51, "C", 12.0}};
    if (model == QLatin1String("VeZevAvu") || model == QLatin1String("TQD310"))
        return {{"Level", 49, "cm", 120.0},
                {"WTemp", 51, "C", 9.5},
                {"Battery", 56, "V", 12.6},
                {"Pressure", 34, "mbar", 1012.0}};
    if (model == QLatin1String("RorEdeDar") || model == QLatin1String("TQC210") ||
        model == QLatin1String("DEZAraDez") || model == QLatin1String("TQB210"))
        return {{"Level", 49, "cm", 150.0}, {"Battery", 56, "V", 12.6}, {"AirTemp", 35, "C", 15.0}};
    if (model == QLatin1String("ZozOdoRed") || model == QLatin1String("TQA110"))
        return {{"Level", 49, "cm", 85.0}};
    return {{"Level", 49, "cm", 123.4},  {"Rain", 43, "mm", 0.0},          {"AirTemp", 35, "C", 14.2},
            {"WTemp", 51, "C", 10.1},    {"Humidity", 33, "%", 64.0},      {"Pressure", 34, "mbar", 1010.0},
            {"WindSpd", 54, "m/s", 3.2}, {"WindDir", 53, "degree", 180.0}, {"Battery", 56, "V", 12.6}};
}

} // namespace

Scenario defaultScenario(const QString &model)
{
    Scenario s;
    s.model = model;
    const int count = modelChannelCount(model);
    const QList<SlotTemplate> templates = templatesFor(model);
    for (int i = 0; i < 9; ++i) {
        Slot slot;
        if (i < templates.size()) {
            const SlotTemplate &t = templates.at(i);
            slot.state = i < count ? 1 : 0;
            // The multi-channel default leaves a few slots off, as stations usually do.
            if (count == 9 && (i == 3 || i == 5 || i == 6 || i == 7))
                slot.state = 0;
            slot.name = QString::fromLatin1(t.name);
            slot.code = t.code;
            slot.unit = QString::fromLatin1(t.unit);
            slot.instant = t.instant;
        } else {
            slot.name = QStringLiteral("CH%1").arg(i + 1);
            slot.unit = QStringLiteral("-");
        }
        slot.minMaxType = 1;
        s.slotList << slot;
    }
    Calibrations &c = s.calibrations;
    for (int i = 0; i < 9; ++i)
        c.units << s.slotList.at(i).unit;
    for (int i = 0; i < 5; ++i) {
        c.minVoltages << 0.0;
        c.gains << 1.0;
        c.maxValues << 500.0;
        c.minValues << 0.0;
        c.offsets << 0.0;
        c.multipliers << 1;
        c.measurementTypes << 1;
    }
    c.gains << 0.2 << 1.0;
    c.measurementTypes << 0 << 0;
    Alarms &a = s.alarms;
    for (int i = 0; i < 4; ++i) {
        a.maximums << 0.0;
        a.minimums << 0.0;
        a.maximumEvents << AlarmEvent();
        a.minimumEvents << AlarmEvent();
        a.maximumResets << 0.0;
        a.minimumResets << 0.0;
    }
    for (int i = 0; i < 9; ++i)
        a.flags << 0;
    a.digits << 0 << 0;
    return s;
}

namespace {

class Reader
{
public:
    QString error;

    bool ok() const { return error.isEmpty(); }

    void fail(const QString &where, const QString &what)
    {
        if (error.isEmpty())
            error = QStringLiteral("%1: %2").arg(where, what);
    }

    QDateTime time(const QJsonValue &v, const QString &where)
    {
        if (v.isNull() || v.isUndefined())
            return QDateTime();
        if (!v.isString()) {
            fail(where, QStringLiteral("expected a time text \"dd/MM/yy hh:mm[:ss]\""));
            return QDateTime();
        }
        const QString text = v.toString();
        const QDateTime t = parseDeviceTime(text);
        if (!t.isValid() && !text.simplified().startsWith(QLatin1String("00/00/00")))
            fail(where, QStringLiteral("cannot read time \"%1\" (use dd/MM/yy hh:mm[:ss])").arg(text));
        return t;
    }

    double number(const QJsonObject &o, const char *key, double fallback, const QString &where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return fallback;
        if (!v.isDouble()) {
            fail(where + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected a number"));
            return fallback;
        }
        return v.toDouble();
    }

    int integer(const QJsonObject &o, const char *key, int fallback, const QString &where)
    {
        return int(number(o, key, fallback, where));
    }

    QString text(const QJsonObject &o, const char *key, const QString &fallback, const QString &where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return fallback;
        if (v.isDouble())
            return QString::number(v.toDouble());
        if (!v.isString()) {
            fail(where + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected a text"));
            return fallback;
        }
        return v.toString();
    }

    bool flag(const QJsonObject &o, const char *key, bool fallback, const QString &where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return fallback;
        if (v.isBool())
            return v.toBool();
        if (v.isDouble())
            return v.toDouble() != 0.0;
        fail(where + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected true/false"));
        return fallback;
    }

    // Replaces the first entries of *list by the array under key (shorter arrays keep the rest).
    template<typename T>
    void numbers(const QJsonObject &o, const char *key, QList<T> *list, const QString &where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return;
        if (!v.isArray()) {
            fail(where + QLatin1Char('.') + QLatin1String(key),
                 QStringLiteral("expected an array of numbers"));
            return;
        }
        const QJsonArray a = v.toArray();
        for (int i = 0; i < a.size() && i < list->size(); ++i) {
            if (!a.at(i).isDouble() && !a.at(i).isBool()) {
                fail(QStringLiteral("%1.%2[%3]").arg(where, QLatin1String(key)).arg(i),
                     QStringLiteral("expected a number"));
                return;
            }
            (*list)[i] = a.at(i).isBool() ? T(a.at(i).toBool()) : T(a.at(i).toDouble());
        }
    }

    Extreme extreme(const QJsonValue &v, const Extreme &fallback, const QString &where)
    {
        if (v.isUndefined() || v.isNull())
            return fallback;
        Extreme e;
        if (v.isDouble()) {
            e.value = v.toDouble();
            return e;
        }
        if (!v.isObject()) {
            fail(where, QStringLiteral("expected {\"value\": number, \"time\": text}"));
            return fallback;
        }
        const QJsonObject o = v.toObject();
        e.value = number(o, "value", 0.0, where);
        e.time = time(o.value(QLatin1String("time")), where + QStringLiteral(".time"));
        return e;
    }
};

void readMemory(Reader &r, const QJsonObject &m, Scenario *s)
{
    const QJsonArray records = m.value(QLatin1String("records")).toArray();
    for (int i = 0; i < records.size(); ++i) {
        const QString where = QStringLiteral("memory.records[%1]").arg(i);
        const QJsonObject o = records.at(i).toObject();
        const QString type = o.value(QLatin1String("type")).toString();
        MemoryRecord rec;
        if (type == QLatin1String("setup")) {
            rec.type = MemoryRecord::Setup;
            rec.time = r.time(o.value(QLatin1String("time")), where + QStringLiteral(".time"));
        } else if (type == QLatin1String("timestamp")) {
            rec.type = MemoryRecord::TimeStamp;
            rec.time = r.time(o.value(QLatin1String("time")), where + QStringLiteral(".time"));
        } else if (type == QLatin1String("measurement")) {
            rec.type = MemoryRecord::Measurement;
            rec.minutes = r.integer(o, "minutes", 0, where);
            for (const QJsonValue v : o.value(QLatin1String("values")).toArray())
                rec.values << v.toDouble();
        } else if (type == QLatin1String("daily")) {
            rec.type = MemoryRecord::Daily;
            for (const QJsonValue v : o.value(QLatin1String("max")).toArray())
                rec.maxima << r.extreme(v, Extreme(), where + QStringLiteral(".max"));
            for (const QJsonValue v : o.value(QLatin1String("min")).toArray())
                rec.minima << r.extreme(v, Extreme(), where + QStringLiteral(".min"));
            for (const QJsonValue v : o.value(QLatin1String("avg")).toArray())
                rec.averages << v.toDouble();
            for (const QJsonValue v : o.value(QLatin1String("tot")).toArray())
                rec.totals << v.toDouble();
        } else if (type == QLatin1String("raw")) {
            rec.type = MemoryRecord::Raw;
            rec.raw = QByteArray::fromHex(o.value(QLatin1String("hex")).toString().toLatin1());
        } else {
            r.fail(where + QStringLiteral(".type"),
                   QStringLiteral("expected setup, timestamp, measurement, daily or raw"));
            return;
        }
        s->memoryRecords << rec;
    }
    const QJsonValue g = m.value(QLatin1String("generator"));
    if (g.isObject()) {
        const QJsonObject o = g.toObject();
        s->generator.enabled = r.flag(o, "enabled", true, QStringLiteral("memory.generator"));
        s->generator.start =
            r.time(o.value(QLatin1String("start")), QStringLiteral("memory.generator.start"));
        s->generator.interval =
            qMax(1, r.integer(o, "interval", s->generator.interval, QStringLiteral("memory.generator")));
        s->generator.channelIntervals =
            r.flag(o, "channelIntervals", false, QStringLiteral("memory.generator"));
        s->generator.days = r.number(o, "days", s->generator.days, QStringLiteral("memory.generator"));
        s->generator.seed = quint32(r.number(o, "seed", 1, QStringLiteral("memory.generator")));
        const QJsonArray channels = o.value(QLatin1String("channels")).toArray();
        for (int i = 0; i < channels.size(); ++i) {
            const QString where = QStringLiteral("memory.generator.channels[%1]").arg(i);
            const QJsonObject c = channels.at(i).toObject();
            Waveform w;
            w.shape = r.text(c, "shape", QStringLiteral("sine"), where);
            w.base = r.number(c, "base", 0.0, where);
            w.amplitude = r.number(c, "amplitude", 1.0, where);
            w.period = r.number(c, "period", 24.0, where);
            w.errorRate = r.number(c, "errorRate", 0.0, where);
            s->generator.channels << w;
        }
    } else {
        s->generator.enabled = false;
    }
}

} // namespace

namespace {

void unknownMembers(const QJsonObject &o, const QStringList &known, const QString &where,
                    QStringList *warnings)
{
    if (!warnings)
        return;
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!known.contains(it.key()))
            warnings->append(QStringLiteral("%1%2: unknown member, ignored").arg(where, it.key()));
    }
}

} // namespace

bool loadScenario(const QByteArray &json, Scenario *out, QString *error, QStringList *warnings)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        // Line and column of the offset, for a readable message.
        int line = 1;
        int column = 1;
        for (int i = 0; i < parseError.offset && i < json.size(); ++i) {
            if (json.at(i) == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        *error = QStringLiteral("invalid JSON at line %1, column %2: %3")
                     .arg(line)
                     .arg(column)
                     .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("the scenario must be a JSON object");
        return false;
    }
    const QJsonObject root = doc.object();
    // "modem" belongs to the --modem mode; "comment" is free text.
    unknownMembers(root,
                   {"serial", "model", "firmware", "password", "clock", "supplyVoltage", "factoryAnswer",
                    "station", "setup", "channels", "calibrations", "alarms", "files", "memory", "modem",
                    "comment"},
                   QString(), warnings);
    unknownMembers(root.value(QLatin1String("station")).toObject(), {"name", "group", "code"},
                   QStringLiteral("station."), warnings);
    unknownMembers(root.value(QLatin1String("setup")).toObject(),
                   {"rs485Output", "dayStart", "digitA", "digitB", "sensorOnOffTime", "sensorWaitTime",
                    "waitForExactHour", "digitC"},
                   QStringLiteral("setup."), warnings);
    for (const QJsonValue v : root.value(QLatin1String("channels")).toArray())
        unknownMembers(v.toObject(),
                       {"state", "name", "code", "unit", "interval", "minMaxType", "recordType", "instant",
                        "max", "min"},
                       QStringLiteral("channels[]."), warnings);
    unknownMembers(root.value(QLatin1String("memory")).toObject(), {"records", "generator"},
                   QStringLiteral("memory."), warnings);
    Reader r;
    const QString model = r.text(root, "model", QStringLiteral("TQM510"), QStringLiteral("scenario"));
    Scenario s = defaultScenario(model);
    s.serial = r.text(root, "serial", s.serial, QStringLiteral("scenario"));
    s.firmware = r.integer(root, "firmware", s.firmware, QStringLiteral("scenario"));
    s.supplyVoltage = r.number(root, "supplyVoltage", s.supplyVoltage, QStringLiteral("scenario"));
    s.password = r.text(root, "password", s.password, QStringLiteral("scenario"));
    if (s.password.size() > 4)
        r.fail(QStringLiteral("password"), QStringLiteral("at most 4 characters"));
    s.factoryAnswer = r.text(root, "factoryAnswer", s.factoryAnswer, QStringLiteral("scenario"));
    if (s.factoryAnswer != QLatin1String("ok") && s.factoryAnswer != QLatin1String("crc") &&
        s.factoryAnswer != QLatin1String("password"))
        r.fail(QStringLiteral("factoryAnswer"), QStringLiteral("expected ok, crc or password"));
    s.clock = r.time(root.value(QLatin1String("clock")), QStringLiteral("clock"));

    const QJsonObject station = root.value(QLatin1String("station")).toObject();
    s.stationName = r.text(station, "name", s.stationName, QStringLiteral("station"));
    s.stationGroup = r.text(station, "group", s.stationGroup, QStringLiteral("station"));
    s.stationCode = r.text(station, "code", s.stationCode, QStringLiteral("station"));

    const QJsonObject setup = root.value(QLatin1String("setup")).toObject();
    s.setup.rs485Output = r.flag(setup, "rs485Output", s.setup.rs485Output, QStringLiteral("setup"));
    s.setup.dayStart = r.integer(setup, "dayStart", s.setup.dayStart, QStringLiteral("setup"));
    s.setup.digitA = r.integer(setup, "digitA", s.setup.digitA, QStringLiteral("setup"));
    s.setup.digitB = r.integer(setup, "digitB", s.setup.digitB, QStringLiteral("setup"));
    s.setup.sensorOnOffTime =
        r.integer(setup, "sensorOnOffTime", s.setup.sensorOnOffTime, QStringLiteral("setup"));
    s.setup.sensorWaitTime =
        r.integer(setup, "sensorWaitTime", s.setup.sensorWaitTime, QStringLiteral("setup"));
    s.setup.waitForExactHour =
        r.flag(setup, "waitForExactHour", s.setup.waitForExactHour, QStringLiteral("setup"));
    s.setup.digitC = r.integer(setup, "digitC", s.setup.digitC, QStringLiteral("setup"));
    if (s.setup.dayStart < 0 || s.setup.dayStart > 23)
        r.fail(QStringLiteral("setup.dayStart"), QStringLiteral("expected 0-23"));

    const QJsonValue channels = root.value(QLatin1String("channels"));
    if (!channels.isUndefined() && !channels.isArray())
        r.fail(QStringLiteral("channels"), QStringLiteral("expected an array of up to 9 slotList"));
    const QJsonArray slotList = channels.toArray();
    if (slotList.size() > 9)
        r.fail(QStringLiteral("channels"), QStringLiteral("at most 9 slotList"));
    bool unitsGiven = false;
    for (int i = 0; i < slotList.size() && i < 9; ++i) {
        const QString where = QStringLiteral("channels[%1]").arg(i);
        const QJsonObject o = slotList.at(i).toObject();
        Slot &slot = s.slotList[i];
        slot.state = r.flag(o, "state", slot.state != 0, where) ? 1 : 0;
        slot.name = r.text(o, "name", slot.name, where);
        slot.code = r.integer(o, "code", slot.code, where);
        if (slot.code < 32 || slot.code > 126)
            r.fail(where + QStringLiteral(".code"), QStringLiteral("expected a ChannelCode 32-56"));
        if (o.contains(QLatin1String("unit")))
            unitsGiven = true;
        slot.unit = r.text(o, "unit", slot.unit, where);
        slot.interval = r.integer(o, "interval", slot.interval, where);
        slot.minMaxType = r.integer(o, "minMaxType", slot.minMaxType, where);
        slot.recordType = r.integer(o, "recordType", slot.recordType, where);
        slot.instant = r.number(o, "instant", slot.instant, where);
        slot.maximum = r.extreme(o.value(QLatin1String("max")), slot.maximum, where + QStringLiteral(".max"));
        slot.minimum = r.extreme(o.value(QLatin1String("min")), slot.minimum, where + QStringLiteral(".min"));
    }
    if (unitsGiven) {
        for (int i = 0; i < 9; ++i)
            s.calibrations.units[i] = s.slotList.at(i).unit;
    }

    const QJsonObject cal = root.value(QLatin1String("calibrations")).toObject();
    if (cal.value(QLatin1String("units")).isArray()) {
        const QJsonArray units = cal.value(QLatin1String("units")).toArray();
        for (int i = 0; i < units.size() && i < 9; ++i)
            s.calibrations.units[i] = units.at(i).toString();
    }
    r.numbers(cal, "minVoltages", &s.calibrations.minVoltages, QStringLiteral("calibrations"));
    r.numbers(cal, "gains", &s.calibrations.gains, QStringLiteral("calibrations"));
    r.numbers(cal, "maxValues", &s.calibrations.maxValues, QStringLiteral("calibrations"));
    r.numbers(cal, "minValues", &s.calibrations.minValues, QStringLiteral("calibrations"));
    r.numbers(cal, "offsets", &s.calibrations.offsets, QStringLiteral("calibrations"));
    r.numbers(cal, "multipliers", &s.calibrations.multipliers, QStringLiteral("calibrations"));
    r.numbers(cal, "measurementTypes", &s.calibrations.measurementTypes, QStringLiteral("calibrations"));

    const QJsonObject alarms = root.value(QLatin1String("alarms")).toObject();
    r.numbers(alarms, "maximums", &s.alarms.maximums, QStringLiteral("alarms"));
    r.numbers(alarms, "minimums", &s.alarms.minimums, QStringLiteral("alarms"));
    r.numbers(alarms, "flags", &s.alarms.flags, QStringLiteral("alarms"));
    r.numbers(alarms, "digits", &s.alarms.digits, QStringLiteral("alarms"));
    r.numbers(alarms, "maximumResets", &s.alarms.maximumResets, QStringLiteral("alarms"));
    r.numbers(alarms, "minimumResets", &s.alarms.minimumResets, QStringLiteral("alarms"));
    for (const char *key : {"maximumEvents", "minimumEvents"}) {
        QList<AlarmEvent> &events = QLatin1String(key) == QLatin1String("maximumEvents")
                                        ? s.alarms.maximumEvents
                                        : s.alarms.minimumEvents;
        const QJsonArray a = alarms.value(QLatin1String(key)).toArray();
        for (int i = 0; i < a.size() && i < 4; ++i) {
            if (!a.at(i).isObject())
                continue;
            const QString where = QStringLiteral("alarms.%1[%2]").arg(QLatin1String(key)).arg(i);
            const QJsonObject o = a.at(i).toObject();
            AlarmEvent e;
            e.time = r.time(o.value(QLatin1String("time")), where + QStringLiteral(".time"));
            e.value = r.number(o, "value", 0.0, where);
            e.present = e.time.isValid();
            events[i] = e;
        }
    }

    const QJsonValue files = root.value(QLatin1String("files"));
    if (files.isArray()) {
        s.filesGiven = true;
        const QJsonArray a = files.toArray();
        for (int i = 0; i < a.size(); ++i) {
            const QString where = QStringLiteral("files[%1]").arg(i);
            const QJsonObject o = a.at(i).toObject();
            FileEntry f;
            f.date = r.time(o.value(QLatin1String("date")), where + QStringLiteral(".date"));
            f.endPage = r.integer(o, "endPage", 0, where);
            f.endBuffer = r.integer(o, "endBuffer", 0, where);
            s.files << f;
        }
    }

    const QJsonValue memory = root.value(QLatin1String("memory"));
    if (memory.isObject()) {
        readMemory(r, memory.toObject(), &s);
    } else if (!memory.isUndefined() && !memory.isNull()) {
        r.fail(QStringLiteral("memory"), QStringLiteral("expected an object"));
    } else {
        s.generator.enabled = true; // no memory given: two days of generated data
    }

    if (!r.ok()) {
        *error = r.error;
        return false;
    }
    *out = s;
    return true;
}

bool loadScenarioFile(const QString &path, Scenario *out, QString *error, QStringList *warnings)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    QString message;
    if (!loadScenario(file.readAll(), out, &message, warnings)) {
        *error = QStringLiteral("%1: %2").arg(path, message);
        return false;
    }
    return true;
}

} // namespace loggersim
