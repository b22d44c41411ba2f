#pragma once

// What the setup wizard does with its pages, without the widgets: the text
// rules, the page checks that move the form's values into the working
// records, and the order of the uploads. The dialog reads its widgets into
// the row structures below and shows what the checks report.

#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace setupwizard {

// The twelve Turkish letters outside ASCII become their plain Latin letters.
NEXIL_EXPORT QString convertCharacters2English(const QString &text);
// Words lower case with a capital first letter, single spaces between them;
// a trailing whitespace is kept as one space so typing can go on.
NEXIL_EXPORT QString capitalise(const QString &text);
// A channel name as it is shown and sent.
NEXIL_EXPORT QString channelNameText(const QString &typed);
// A station name or code as it is shown and sent.
NEXIL_EXPORT QString stationText(const QString &typed);

// "05-12-L007": region, basin, the model's letter (none for some models),
// station number.
NEXIL_EXPORT QString stationTypeLetter(DeviceType type);
NEXIL_EXPORT QString generateStationCode(int region, int basin, DeviceType type, int stationNo);

// "00:00" ... "23:00"; the item index is the hour the recording day starts.
NEXIL_EXPORT QStringList startOfDayItems();
// The item for an hour read from the device; -1 when it is no hour.
NEXIL_EXPORT int startOfDayIndex(int dayStart);
// The hour to send: the chosen item, or without a choice the hour read when
// it is one (else 0), so no invalid field ever goes out.
NEXIL_EXPORT int dayStartFromIndex(int index, int readDayStart);

NEXIL_EXPORT QString pageTitle(int page);

// The outcome of a page check: on failure the message and the cell (or, on
// the setup page, the field) to focus.
struct CheckResult
{
    bool ok = true;
    QString message;
    int row = -1;
    int column = -1;
};

struct SetupPage
{
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    int sensorOnOffTime = 0;
    int sensorWaitTime = 0;
    int startOfDayIndex = 0;
    bool waitForExactHour = false;
    bool rs485Output = false;
    bool keepOldSetups = false;
};
// Also puts the simplified name and the (possibly generated) code back into
// `page` for the form to show.
//
// Every check below takes, beside what the form holds now, what it showed
// right after reading (`shown`; empty: take every field). A field the
// operator left as shown keeps the value read: a widget cannot hold every
// value a device reports (a name is normalised, a number clamped or
// rounded), and what nobody chose is never written back.
NEXIL_EXPORT CheckResult checkSetup(SetupPage *page, SetupParameters *setup,
                                    const SetupPage *shown = nullptr);

struct NameRow
{
    int status = 0; // 0 passive, 1 active
    QString name;
    int codeIndex = 0; // ChannelCode value minus 32
    int interval = 60;
    int minMaxType = 0;
    int recordType = 0;
};
enum NameColumn { NameStatus = 0, NameText = 1, NameCode = 2 };
// Only the first channelCount rows are looked at.
NEXIL_EXPORT CheckResult checkNames(const QList<NameRow> &rows, ChannelNames *names,
                                    const QList<NameRow> &shown = {});

struct CalibrationRow
{
    bool active = false;
    QString unit; // empty: no unit chosen
    double offset = 0;
    double maxValue = 0;
    double minValue = 0;
    int measurementType = 0; // -1: none of the choices (kept as read)
    double gain = 0;
    double multiplier = 0;
    double minVoltage = 0;
};
enum CalibrationColumn { CalibrationUnit = 0, CalibrationMultiplier = 6 };
// Passive rows keep the values read; so does a unit the list has no place
// for while it is left as shown.
NEXIL_EXPORT CheckResult checkCalibrations(const QList<CalibrationRow> &rows,
                                           ChannelCalibrations *calibrations,
                                           const QList<CalibrationRow> &shown = {});

struct AlarmRow
{
    int state = 0; // 0 passive, 1 active
    double maximum = 0;
    double maximumReset = 0;
    double minimum = 0;
    double minimumReset = 0;
};
// The device has four alarms: rows past the fourth are never taken.
NEXIL_EXPORT CheckResult checkAlarms(const QList<AlarmRow> &rows, AlarmParameters *alarms,
                                     const QList<AlarmRow> &shown = {});
// The limit of the alarm values the wizard edits, either sign.
constexpr double AlarmLimit = 99999.9999;

enum class SendChoice { None, Calibrations, Alarms, All };
enum class Upload { None, Names, Calibrations, Setup, Alarms };

NEXIL_EXPORT bool sendEnabled(SendChoice choice, const QString &password);
NEXIL_EXPORT Upload firstUpload(SendChoice choice);

struct Step
{
    Upload upload = Upload::None; // None: everything was acknowledged
    bool pauseFirst = false;      // give the device time after the previous upload
};
// What follows the acknowledgement of `done`, by the choice checked then.
NEXIL_EXPORT Step nextStep(SendChoice choice, Upload done);
NEXIL_EXPORT QString sendingText(Upload upload);

} // namespace setupwizard
