#pragma once

#include <QByteArray>
#include <QString>

// The parameter set of a station modem as the form shows it.
struct ModemParameters
{
    QString serialNo;
    QString firmware;
    QString phones[3];
    bool phoneEnabled[3] = {false, false, false};
    QString serverHosts[2];
    int serverPorts[2] = {0, 0};
    bool serverEnabled[2] = {false, false};
    QString apn;
    QString userName;
    QString password;
    bool gsm = false; // listen mode: GSM data calls, else GPRS on listenPort
    bool answerSms = false;
    int connectionPeriod = 0; // minutes
    int listenPort = 0;
    int smsPeriod = 0; // hours
    bool sendSms = false;
};

// Reads a parameter answer: "PA" and exactly 20 pieces separated by 0x02.
// Returns false, leaving *out alone, for anything else.
bool parseParameterAnswer(const QByteArray &answer, ModemParameters *out);

// Takes the first complete answer (up to and including its carriage return)
// off the front of buffer; an empty array while the answer is still coming.
QByteArray takeAnswer(QByteArray *buffer);

// True when a modem loaded with p would report to no one and could not be
// called: no enabled phone, no enabled server and no connection period.
bool cutsStationOff(const ModemParameters &p);

// Builds the "TEL" record that loads new parameters into the modem.
QByteArray buildParameterRecord(const ModemParameters &p);

// A connection period in minutes as the record carries it: hours and
// minutes, two digits each ("0059", "0100", "0205").
QByteArray formatConnectionPeriod(int minutes);

// The key the modem expects in every "TEL" record; without it the modem
// refuses the record, so stray text on the line cannot reconfigure it.
extern const char modemParameterKey[];
