#include "setuppages.h"

#include <QCoreApplication>

namespace setupwizard {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SetupDialog", text);
}

// Writes entry i, growing a short list with defaults instead of writing past it.
template<typename T> void put(QList<T> &list, int i, const T &value)
{
    while (list.size() <= i)
        list.append(T());
    list[i] = value;
}

CheckResult failure(const char *message, int row, int column)
{
    CheckResult r;
    r.ok = false;
    r.message = tr(message);
    r.row = row;
    r.column = column;
    return r;
}

} // namespace

QString convertCharacters2English(const QString &text)
{
    static const struct
    {
        ushort in;
        char out;
    } letters[] = {{0x00C7, 'C'}, {0x00E7, 'c'}, {0x00D6, 'O'}, {0x00F6, 'o'}, {0x00DC, 'U'}, {0x00FC, 'u'},
                   {0x011E, 'G'}, {0x011F, 'g'}, {0x0130, 'I'}, {0x0131, 'i'}, {0x015E, 'S'}, {0x015F, 's'}};
    QString out = text;
    for (QChar &c : out) {
        for (const auto &l : letters) {
            if (c.unicode() == l.in) {
                c = QLatin1Char(l.out);
                break;
            }
        }
    }
    return out;
}

QString capitalise(const QString &text)
{
    if (text.simplified().isEmpty())
        return text;
    QString copy;
    copy.reserve(text.size());
    bool previousSpace = true; // drops the leading whitespace
    bool endsInSpace = false;
    for (const QChar c : text) {
        if (c.isNull())
            continue;
        const bool space = c.isSpace();
        if (!space || !previousSpace)
            copy.append(c);
        previousSpace = space;
        endsInSpace = space;
    }
    QStringList words = copy.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &w : words)
        w[0] = w.at(0).toUpper();
    QString out = words.join(QLatin1Char(' '));
    if (endsInSpace)
        out.append(QLatin1Char(' '));
    return out;
}

QString channelNameText(const QString &typed)
{
    // Mapped before lower-casing too: İ lower-cases to i with a combining dot,
    // which Latin-1 has no place for.
    return convertCharacters2English(capitalise(convertCharacters2English(typed).toLower()));
}

QString stationText(const QString &typed)
{
    return convertCharacters2English(typed.toUpper());
}

QString stationTypeLetter(DeviceType type)
{
    switch (type) {
    case DeviceTQF110C:
    case DeviceTQF110P:
        return QStringLiteral("D");
    case DeviceTQD310:
        return QStringLiteral("G");
    case DeviceTQC210:
    case DeviceTQB210:
        return QStringLiteral("L");
    default:
        return QString();
    }
}

QString generateStationCode(int region, int basin, DeviceType type, int stationNo)
{
    return QString::asprintf("%02d-%02d-%s%03d", region, basin, qPrintable(stationTypeLetter(type)),
                             stationNo);
}

QStringList startOfDayItems()
{
    QStringList items;
    for (int hour = 0; hour < 24; ++hour)
        items << QString::asprintf("%02d:00", hour);
    return items;
}

int startOfDayIndex(int dayStart)
{
    return dayStart >= 0 && dayStart < 24 ? dayStart : -1;
}

int dayStartFromIndex(int index, int readDayStart)
{
    if (index >= 0 && index < 24)
        return index;
    return startOfDayIndex(readDayStart) < 0 ? 0 : readDayStart;
}

QString pageTitle(int page)
{
    static const char *const titles[] = {
        QT_TRANSLATE_NOOP("SetupDialog", "Parametre Okuma"),
        QT_TRANSLATE_NOOP("SetupDialog", "Kurulum Parametreleri"),
        QT_TRANSLATE_NOOP("SetupDialog", "Kanal İsimleri"),
        QT_TRANSLATE_NOOP("SetupDialog", "Kanal Kalibrasyonları"),
        QT_TRANSLATE_NOOP("SetupDialog", "Alarm Ayarları"),
        QT_TRANSLATE_NOOP("SetupDialog", "Gönder"),
    };
    return page >= 0 && page < 6 ? tr(titles[page]) : QString();
}

CheckResult checkSetup(SetupPage *page, SetupParameters *setup, const SetupPage *shown)
{
    const QString typedName = page->stationName;
    const QString name = typedName.simplified();
    if (name.isEmpty())
        return failure(QT_TRANSLATE_NOOP("SetupDialog", "Lütfen geçerli bir istasyon adı girin!"), -1, -1);
    page->stationName = name;
    // Untouched fields keep what was read; the name shown is the read one
    // normalised, and the read one goes back.
    auto changed = [shown](auto SetupPage::*field, const auto &now) {
        return !shown || shown->*field != now;
    };
    if (changed(&SetupPage::stationName, typedName))
        setup->stationName = name;
    else
        page->stationName = setup->stationName;
    if (changed(&SetupPage::region, page->region))
        setup->region = page->region;
    if (changed(&SetupPage::basin, page->basin))
        setup->basin = page->basin;
    if (changed(&SetupPage::stationNo, page->stationNo))
        setup->stationNo = page->stationNo;
    QString code = page->stationCode.simplified();
    if (code.isEmpty()) {
        code = generateStationCode(setup->region, setup->basin, setup->header.deviceType, setup->stationNo);
        page->stationCode = code;
        setup->stationCode = code;
    } else if (changed(&SetupPage::stationCode, page->stationCode)) {
        page->stationCode = code;
        setup->stationCode = code;
    } else {
        page->stationCode = setup->stationCode;
    }
    if (changed(&SetupPage::sensorOnOffTime, page->sensorOnOffTime))
        setup->sensorOnOffTime = page->sensorOnOffTime;
    if (changed(&SetupPage::sensorWaitTime, page->sensorWaitTime))
        setup->sensorWaitTime = page->sensorWaitTime;
    setup->dayStart = dayStartFromIndex(page->startOfDayIndex, setup->dayStart);
    if (changed(&SetupPage::waitForExactHour, page->waitForExactHour))
        setup->waitForExactHour = page->waitForExactHour;
    if (changed(&SetupPage::rs485Output, page->rs485Output))
        setup->rs485Output = page->rs485Output;
    if (changed(&SetupPage::keepOldSetups, page->keepOldSetups))
        setup->keepOldSetups = page->keepOldSetups;
    return CheckResult();
}

namespace {

// Whether the field of row r differs from what the form showed after reading.
template<typename Row, typename T>
bool changedField(const QList<Row> &shown, int r, T Row::*field, const T &now)
{
    return r >= shown.size() || shown.at(r).*field != now;
}

} // namespace

CheckResult checkNames(const QList<NameRow> &rows, ChannelNames *names, const QList<NameRow> &shown)
{
    names->activeChannelCount = 0;
    names->activeChannels.clear();
    const int count = qMin(names->channelCount, rows.size());
    for (int r = 0; r < count; ++r) {
        const NameRow &row = rows.at(r);
        if (changedField(shown, r, &NameRow::status, row.status))
            put(names->channelStates, r, row.status == 0 ? 0 : 1);
        if (row.status == 0)
            continue;
        ++names->activeChannelCount;
        names->activeChannels.append(r);
        const QString name = row.name.simplified();
        if (name.isEmpty())
            return failure(QT_TRANSLATE_NOOP("SetupDialog", "Lütfen geçerli bir kanal ismi girin!"), r,
                           NameText);
        if (changedField(shown, r, &NameRow::name, row.name) ||
            names->names.value(r).simplified().isEmpty()) {
            while (names->names.size() <= r)
                names->names.append(QString());
            names->names[r] = name;
        }
        if (row.codeIndex <= 0)
            return failure(QT_TRANSLATE_NOOP("SetupDialog", "Lütfen geçerli bir ölçüm tipi seçin!"), r,
                           NameCode);
        if (changedField(shown, r, &NameRow::codeIndex, row.codeIndex))
            put(names->codes, r, ChannelCode(row.codeIndex + CodeUnknown));
        if (changedField(shown, r, &NameRow::interval, row.interval))
            put(names->recordIntervals, r, row.interval);
        if (changedField(shown, r, &NameRow::minMaxType, row.minMaxType))
            put(names->minMaxTypes, r, row.minMaxType);
        if (changedField(shown, r, &NameRow::recordType, row.recordType))
            put(names->recordTypes, r, row.recordType);
    }
    return CheckResult();
}

CheckResult checkCalibrations(const QList<CalibrationRow> &rows, ChannelCalibrations *c,
                              const QList<CalibrationRow> &shown)
{
    for (int r = 0; r < rows.size(); ++r) {
        const CalibrationRow &row = rows.at(r);
        if (!row.active)
            continue;
        const bool unitKept =
            !changedField(shown, r, &CalibrationRow::unit, row.unit) && !c->units.value(r).isEmpty();
        if (row.unit.isEmpty() && !unitKept)
            return failure(QT_TRANSLATE_NOOP("SetupDialog", "Lütfen geçerli bir birim seçin!"), r,
                           CalibrationUnit);
        // The device reads one digit per channel: any other multiplier would
        // shift the digits of the channels after it.
        const int multiplier = int(row.multiplier);
        const bool multiplierChanged = changedField(shown, r, &CalibrationRow::multiplier, row.multiplier);
        if (r < 5 && multiplierChanged && (multiplier < 0 || multiplier > 9))
            return failure(QT_TRANSLATE_NOOP("SetupDialog", "Lütfen 0 ile 9 arasında bir çarpan girin!"), r,
                           CalibrationMultiplier);
        if (!unitKept) {
            while (c->units.size() <= r)
                c->units.append(QString());
            c->units[r] = row.unit;
        }
        auto number = [&](QList<float> &list, double CalibrationRow::*field) {
            if (changedField(shown, r, field, row.*field))
                put(list, r, float(row.*field));
        };
        if (r < 5) {
            number(c->offsets, &CalibrationRow::offset);
            number(c->maxValues, &CalibrationRow::maxValue);
            number(c->minValues, &CalibrationRow::minValue);
            // A type the two choices cannot show goes back as read, not as -1.
            if (row.measurementType >= 0 &&
                changedField(shown, r, &CalibrationRow::measurementType, row.measurementType))
                put(c->measurementTypes, r, row.measurementType);
        }
        if (r < 7)
            number(c->gains, &CalibrationRow::gain);
        if (r < 5) {
            if (multiplierChanged)
                put(c->multipliers, r, multiplier);
            number(c->minVoltages, &CalibrationRow::minVoltage);
        }
    }
    return CheckResult();
}

CheckResult checkAlarms(const QList<AlarmRow> &rows, AlarmParameters *a, const QList<AlarmRow> &shown)
{
    for (int r = 0; r < qMin(4, rows.size()); ++r) {
        const AlarmRow &row = rows.at(r);
        if (changedField(shown, r, &AlarmRow::state, row.state))
            put(a->alarmFlags, r, row.state != 0);
        auto number = [&](QList<float> &list, double AlarmRow::*field) {
            if (changedField(shown, r, field, row.*field))
                put(list, r, float(row.*field));
        };
        number(a->maximums, &AlarmRow::maximum);
        number(a->maximumResets, &AlarmRow::maximumReset);
        number(a->minimums, &AlarmRow::minimum);
        number(a->minimumResets, &AlarmRow::minimumReset);
    }
    return CheckResult();
}

bool sendEnabled(SendChoice choice, const QString &password)
{
    return choice != SendChoice::None && !password.isEmpty();
}

Upload firstUpload(SendChoice choice)
{
    switch (choice) {
    case SendChoice::Alarms:
        return Upload::Alarms;
    case SendChoice::Calibrations:
        return Upload::Calibrations;
    case SendChoice::All:
        return Upload::Names;
    case SendChoice::None:
        break;
    }
    return Upload::None;
}

Step nextStep(SendChoice choice, Upload done)
{
    Step s;
    switch (done) {
    case Upload::Names:
        s.upload = Upload::Calibrations;
        s.pauseFirst = true;
        break;
    case Upload::Calibrations:
        if (choice == SendChoice::All) {
            s.upload = Upload::Setup;
            s.pauseFirst = true;
        }
        break;
    case Upload::Setup:
        s.upload = Upload::Alarms;
        break;
    case Upload::Alarms:
    case Upload::None:
        break;
    }
    return s;
}

QString sendingText(Upload upload)
{
    switch (upload) {
    case Upload::Names:
        return QCoreApplication::translate("SetupDialog", "Kanal İsimleri Gönderiliyor\nLütfen bekleyin..");
    case Upload::Calibrations:
        return QCoreApplication::translate("SetupDialog",
                                           "Kanal Kalibrasyonları Gönderiliyor\nLütfen bekleyin..");
    case Upload::Setup:
        return QCoreApplication::translate("SetupDialog",
                                           "Kurulum Bilgileri Gönderiliyor\nLütfen bekleyin..");
    case Upload::Alarms:
        return QCoreApplication::translate("SetupDialog",
                                           "Alarm Parametreleri Gönderiliyor\nLütfen bekleyin..");
    case Upload::None:
        break;
    }
    return QString();
}

} // namespace setupwizard
