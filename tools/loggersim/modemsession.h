#pragma once

// The station modem's own setup conversation, as the modem tool drives it:
// "|||" switches to command mode, "OKU" reads the parameters ("PA" answer),
// a "TEL" record stores new ones ("TYUK"), "GSR" restarts ("RESET", then
// the line drops). Commands end with CR; outside command mode they are data
// for the logger behind the modem and get no answer.

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

namespace loggersim {

struct ModemServer
{
    QString host;
    int port = 0;
    bool enabled = false;
};

struct ModemState
{
    QString serial = QStringLiteral("10001");
    QString firmware = QStringLiteral("3.2.1");
    QString phones[3] = {QStringLiteral("05320000001"), QString(), QString()};
    bool phoneEnabled[3] = {true, false, false};
    ModemServer servers[2] = {{QStringLiteral("127.0.0.1"), 4380, true}, {QString(), 0, false}};
    QString apn = QStringLiteral("internet");
    QString user;
    QString password;
    bool gsm = false;
    int listenPort = 4380;
    bool answerSms = false;
    int connectionPeriod = 60; // minutes
    int smsPeriod = 24;        // hours
    bool sendSms = false;
    // Reported after the settings; the tool shows none of them.
    int signal = 21; // received signal quality, 0-31
    QString network = QStringLiteral("SIMNET");
    QString imei = QStringLiteral("356938035643809");
};

// Reads the "modem" object of a scenario (and its "serial" as the default
// serial number); members left out keep their defaults.
bool loadModemScenario(const QByteArray &json, ModemState *out, QString *error);

class ModemSession : public QObject
{
    Q_OBJECT
public:
    explicit ModemSession(const ModemState &state, QObject *parent = nullptr);

    bool openLog(const QString &path, QString *error);
    const ModemState &state() const { return m_state; }
    bool inCommandMode() const { return m_commandMode; }

    // The "PA" answer: 20 pieces separated by STX, ending with CR.
    QByteArray parameterAnswer() const;
    // Stores a "TEL" record (without its CR); false with the reason if it is refused.
    bool applyRecord(const QByteArray &record, QString *reason);

public slots:
    void receive(const QByteArray &bytes);
    // A new link or a dropped one: back to data mode, partial input forgotten.
    void reset();

signals:
    void send(const QByteArray &bytes);
    void hangUp();

private:
    void command(const QByteArray &line);
    void logLine(const QString &line);

    ModemState m_state;
    QByteArray m_input;
    bool m_commandMode = false;
    QFile m_log;
};

} // namespace loggersim
