#pragma once

// The simulated datalogger as described by a scenario file (JSON): identity,
// station, clock, channel slots, calibrations, alarms, password and memory.
// Every member has a default, so "{}" is a working scenario.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace loggersim {

// "dd/MM/yy hh:mm:ss" or "dd/MM/yy hh:mm"; two-digit years are 20yy.
QDateTime parseDeviceTime(const QString &text);
QString formatDeviceTime(const QDateTime &t, bool seconds);

struct Extreme
{
    double value = 0.0;
    QDateTime time; // invalid: "00/00/00 00:00"
};

struct Slot
{
    int state = 0; // 0 off, 1 on
    QString name;
    int code = 32; // ChannelCode 32-56
    QString unit;
    int interval = 15; // minutes
    int minMaxType = 0;
    int recordType = 0;
    double instant = 0.0;
    Extreme maximum;
    Extreme minimum;
};

struct Calibrations
{
    QStringList units;           // 9
    QList<double> minVoltages;   // 5
    QList<double> gains;         // 7
    QList<double> maxValues;     // 5
    QList<double> minValues;     // 5
    QList<double> offsets;       // 5
    QList<int> multipliers;      // 5
    QList<int> measurementTypes; // 7
};

struct AlarmEvent
{
    bool present = false;
    QDateTime time;
    double value = 0.0;
};

struct Alarms
{
    QList<double> maximums;          // 4
    QList<double> minimums;          // 4
    QList<AlarmEvent> maximumEvents; // 4
    QList<AlarmEvent> minimumEvents; // 4
    QList<int> flags;                // 9
    QList<int> digits;               // 2
    QList<double> maximumResets;     // 4
    QList<double> minimumResets;     // 4
};

struct SetupOptions
{
    bool rs485Output = false;
    int dayStart = 7;
    int digitA = 0;
    int digitB = 0;
    int sensorOnOffTime = 10;
    int sensorWaitTime = 5;
    bool waitForExactHour = true;
    int digitC = 0;
};

struct FileEntry
{
    QDateTime date; // invalid: "00/00/00 00:00"
    int endPage = 0;
    int endBuffer = 0;
};

// One explicit memory record of the scenario.
struct MemoryRecord
{
    enum Type { Setup, TimeStamp, Measurement, Daily, Raw };
    Type type = Measurement;
    QDateTime time;         // Setup (setup time), TimeStamp
    int minutes = 0;        // Measurement: minutes since the last time stamp
    QList<double> values;   // Measurement: one per active channel
    QList<Extreme> maxima;  // Daily
    QList<Extreme> minima;  // Daily
    QList<double> averages; // Daily
    QList<double> totals;   // Daily
    QByteArray raw;         // Raw bytes (hex in JSON)
};

struct Waveform
{
    QString shape; // river, rain, temperature, sine, constant, voltage, random
    double base = 0.0;
    double amplitude = 1.0;
    double period = 24.0;   // hours (sine)
    double errorRate = 0.0; // probability of -9999 per reading
};

struct Generator
{
    bool enabled = false;
    QDateTime start;
    int interval = 15; // minutes
    // Each active channel written at the minutes of the day its slot's
    // interval divides, a record holding only the channels due; `interval`
    // is then not used.
    bool channelIntervals = false;
    double days = 2.0;
    QList<Waveform> channels; // one per active slot, in slot order
    quint32 seed = 1;
};

struct Scenario
{
    QString serial = QStringLiteral("10001");
    QString model = QStringLiteral("TQM510");
    int firmware = 62;
    QString stationName = QStringLiteral("SIM STATION");
    QString stationGroup = QStringLiteral("02-14-003");
    QString stationCode = QStringLiteral("D02A003");
    QDateTime clock; // device clock at program start
    double supplyVoltage = 12.6;
    QString password = QStringLiteral("1234");
    SetupOptions setup;
    QList<Slot> slotList; // always 9
    Calibrations calibrations;
    Alarms alarms;
    bool filesGiven = false;
    QList<FileEntry> files;
    QList<MemoryRecord> memoryRecords;
    Generator generator;
    QString factoryAnswer = QStringLiteral("ok"); // ok | crc | password
    // Upload words answered as a wrong password whatever the password.
    QStringList refusedUploads;

    // Slots that are on, in slot order.
    QList<int> activeSlots() const;
};

// Channel slots of a model word, 9 for unknown words.
int modelChannelCount(const QString &model);
// The defaults of a model (slots, calibrations, alarms), before the file is applied.
Scenario defaultScenario(const QString &model);

// Parses a scenario; on failure returns false with a message in *error.
// Members the loader does not know (typing mistakes, mostly) are listed in *warnings.
bool loadScenario(const QByteArray &json, Scenario *out, QString *error, QStringList *warnings = nullptr);
bool loadScenarioFile(const QString &path, Scenario *out, QString *error, QStringList *warnings = nullptr);

} // namespace loggersim
