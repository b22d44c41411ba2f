#pragma once

// The value records that the device protocol hands to the programs. Plain
// copyable structures; registerNexilMetaTypes() makes them travel through
// queued signals under their own names.

#include "nexil/nexil_global.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

enum DeviceType : int {
    DeviceUnknown = 0,
    DeviceTQM510 = 1,
    DeviceTQF110C = 2,
    DeviceTQF110P = 3,
    DeviceTQD310 = 4,
    DeviceTQC210 = 5,
    DeviceTQB210 = 6,
    DeviceTQA110 = 7,
};

enum ValueType : int {
    ValueUnknown = 0,
    ValueAVG = 1,
    ValueINS = 2,
    ValueMAX = 3,
    ValueMIN = 4,
    ValueTOT = 5,
};

enum ChannelCode : int {
    CodeUnknown = 32,
    CodeAH,
    CodeAP,
    CodeAT,
    CodeDR,
    CodeEC,
    CodeETo,
    CodeEVO,
    CodeGR,
    CodeLW,
    CodePH,
    CodePR,
    CodeSD,
    CodeSM,
    CodeSWD,
    CodeWAA,
    CodeWAF,
    CodeWAL,
    CodeWAS,
    CodeWAT,
    CodeWAV,
    CodeWID,
    CodeWIS,
    CodeWFP,
    CodeSV = 56,
};

// Codes 3, 4 and 9 are never produced and have no enumerator.
enum DeviceError : int {
    NoError = 0,
    DeviceBusy = 1,
    InvalidRecord = 2, // an upload record too short for its body; nothing was sent
    DeviceRefused = 3, // the last transmission of an upload got the device's error reply
    Timeout = 5,
    ChecksumError = 6,
    UnknownResponse = 7,
    UnknownDevice = 8,
    DownloadInterrupted = 10,
    ConnectionError = 11,
    UnsupportedFirmware = 12,
};

struct DeviceHeader
{
    int command = 0;
    QString serialNumber;
    QString deviceName;
    DeviceType deviceType = DeviceUnknown;
    QString deviceTypeName;
    QString deviceTypeDescription;
    int firmwareVersion = 0;
    int dataLength = 0;
    int reserved = 0;
};

struct DeviceIdentity
{
    DeviceHeader header;
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
};

struct InstantValue
{
    QString label;
    float value = 0.0f;
    QString unit;
    QDateTime dateTime;
    ValueType valueType = ValueUnknown;
};

struct InstantData
{
    DeviceHeader header;
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    QDateTime deviceTime;
    float supplyVoltage = 0.0f;
    int channelCount = 0;
    int activeChannelCount = 0;
    QList<int> activeChannels;
    QList<InstantValue> values;
};

struct SetupParameters
{
    DeviceHeader header;
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    QDateTime deviceTime;
    float supplyVoltage = 0.0f;
    int channelCount = 0;
    int activeChannelCount = 0;
    QList<int> activeChannels;
    QList<InstantValue> instantValues;
    QList<InstantValue> maximumValues;
    QList<InstantValue> minimumValues;
    bool rs485Output = false;
    int dayStart = 0;
    int setupDigitA = 0;
    int setupDigitB = 0;
    int sensorOnOffTime = 0;
    int sensorWaitTime = 0;
    bool waitForExactHour = false;
    int setupDigitC = 0;
    bool keepOldSetups = false;
};

struct ChannelNames
{
    DeviceHeader header;
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    QList<int> channelStates;
    int channelCount = 0;
    int activeChannelCount = 0;
    QList<int> activeChannels;
    QList<int> recordIntervals;
    QStringList names;
    QList<ChannelCode> codes;
    QList<int> minMaxTypes;
    QList<int> recordTypes;
};

struct ChannelCalibrations
{
    DeviceHeader header;
    QString stationName;
    QString stationCode;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    QStringList units;
    QList<float> minVoltages;
    QList<float> gains;
    QList<float> maxValues;
    QList<float> minValues;
    QList<float> offsets;
    QList<int> multipliers;
    QList<int> measurementTypes;
};

struct AlarmEvent
{
    int channel = 0;
    ValueType valueType = ValueUnknown;
    QDateTime dateTime;
    float value = 0.0f;
};

struct AlarmParameters
{
    DeviceHeader header;
    QList<float> maximums;
    QList<float> minimums;
    QList<AlarmEvent> maximumEvents;
    QList<AlarmEvent> minimumEvents;
    QList<bool> alarmFlags;
    QList<int> alarmDigits;
    QList<float> maximumResets;
    QList<float> minimumResets;
};

struct FileInformation
{
    QDateTime date;
    int startPage = 0;
    int startBuffer = 0;
    int endPage = 0;
    int endBuffer = 0;
    int size = 0;
};

struct FileInformations
{
    DeviceHeader header;
    int fileCount = 0;
    int lastPage = 0;
    int lastBuffer = 0;
    int lastAddress = 0;
    QList<FileInformation> files;
};

struct DataLine
{
    QDateTime dateTime;
    int valueType = ValueUnknown;
    QString valueTypeName;
    int channel = 0;
    float value = 0.0f;
    bool setTime = false;
};

struct DataFile
{
    int deviceType = DeviceUnknown;
    QString deviceTypeName;
    QString deviceTypeDescription;
    QDateTime lastConnectionTime;
    float supplyVoltage = 0.0f;
    QString stationCode;
    QString stationName;
    int region = 0;
    int basin = 0;
    int stationNo = 0;
    int channelCount = 0;
    int dayStartHour = 0;
    int memoryPage = 0;
    int memoryBuffer = 0;
    QList<int> channelFlags;
    QList<ChannelCode> channelCodes;
    QStringList channelNames;
    QStringList channelUnits;
    QList<int> channelIntervals;
    QDateTime setupTime;
    // The time relative minutes count from at the end of the image: where
    // the next download resumes, this is its base.
    QDateTime timeBase;
    QList<DataLine> lines;
};

Q_DECLARE_METATYPE(DeviceType)
Q_DECLARE_METATYPE(ValueType)
Q_DECLARE_METATYPE(ChannelCode)
Q_DECLARE_METATYPE(DeviceError)
Q_DECLARE_METATYPE(DeviceHeader)
Q_DECLARE_METATYPE(DeviceIdentity)
Q_DECLARE_METATYPE(InstantValue)
Q_DECLARE_METATYPE(InstantData)
Q_DECLARE_METATYPE(SetupParameters)
Q_DECLARE_METATYPE(ChannelNames)
Q_DECLARE_METATYPE(ChannelCalibrations)
Q_DECLARE_METATYPE(AlarmEvent)
Q_DECLARE_METATYPE(AlarmParameters)
Q_DECLARE_METATYPE(FileInformation)
Q_DECLARE_METATYPE(FileInformations)
Q_DECLARE_METATYPE(DataLine)
Q_DECLARE_METATYPE(DataFile)

// Registers every record under its own name ("DeviceIdentity",
// "QList<DataFile>", ...). Safe to call more than once and from any thread.
NEXIL_EXPORT void registerNexilMetaTypes();
