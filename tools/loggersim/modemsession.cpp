#include "modemsession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace loggersim {

namespace {

const char stx = 0x02;
const char parameterKey[] = "5283916";
const int recordFields = 18; // TEL, key, 15 values, the empty rest after the last STX

bool digitsOnly(const QByteArray &s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool readPort(const QByteArray &s, int *port)
{
    if (!digitsOnly(s) || s.size() > 5 || s.toInt() > 65535)
        return false;
    *port = s.toInt();
    return true;
}

} // namespace

bool loadModemScenario(const QByteArray &json, ModemState *out, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("scenario: %1")
                     .arg(doc.isNull() ? parseError.errorString() : QStringLiteral("not a JSON object"));
        return false;
    }
    const QJsonObject root = doc.object();
    ModemState s = *out;
    if (root.contains(QStringLiteral("serial")))
        s.serial = root.value(QStringLiteral("serial")).toVariant().toString();
    const QJsonValue modemValue = root.value(QStringLiteral("modem"));
    if (!modemValue.isUndefined() && !modemValue.isObject()) {
        *error = QStringLiteral("scenario: \"modem\" must be an object");
        return false;
    }
    const QJsonObject m = modemValue.toObject();
    auto text = [&m](const char *key, QString *target) {
        if (m.contains(QLatin1String(key)))
            *target = m.value(QLatin1String(key)).toVariant().toString();
    };
    auto number = [&m, error](const char *key, int *target, int low, int high) {
        if (!m.contains(QLatin1String(key)))
            return true;
        const QJsonValue v = m.value(QLatin1String(key));
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d < low || d > high || d != int(d)) {
            *error = QStringLiteral("scenario: modem.%1 must be a whole number from %2 to %3")
                         .arg(QLatin1String(key))
                         .arg(low)
                         .arg(high);
            return false;
        }
        *target = int(d);
        return true;
    };
    auto flag = [&m](const char *key, bool *target) {
        if (m.contains(QLatin1String(key)))
            *target = m.value(QLatin1String(key)).toBool();
    };

    text("serial", &s.serial);
    text("firmware", &s.firmware);
    const QJsonArray phones = m.value(QStringLiteral("phones")).toArray();
    for (int i = 0; i < 3 && i < phones.size(); ++i) {
        if (phones.at(i).isObject()) {
            s.phones[i] = phones.at(i).toObject().value(QStringLiteral("number")).toString();
            s.phoneEnabled[i] = phones.at(i).toObject().value(QStringLiteral("enabled")).toBool(true);
        } else {
            s.phones[i] = phones.at(i).toString();
            s.phoneEnabled[i] = !s.phones[i].isEmpty();
        }
    }
    const QJsonArray servers = m.value(QStringLiteral("servers")).toArray();
    for (int i = 0; i < 2 && i < servers.size(); ++i) {
        const QJsonObject o = servers.at(i).toObject();
        s.servers[i].host = o.value(QStringLiteral("host")).toString();
        s.servers[i].port = o.value(QStringLiteral("port")).toInt();
        s.servers[i].enabled = o.value(QStringLiteral("enabled")).toBool(true);
        if (s.servers[i].port < 0 || s.servers[i].port > 65535) {
            *error = QStringLiteral("scenario: modem.servers[%1].port out of range").arg(i);
            return false;
        }
    }
    text("apn", &s.apn);
    text("user", &s.user);
    text("password", &s.password);
    if (m.contains(QStringLiteral("listen"))) {
        const QString listen = m.value(QStringLiteral("listen")).toString().toLower();
        if (listen != QLatin1String("gsm") && listen != QLatin1String("gprs")) {
            *error = QStringLiteral("scenario: modem.listen must be \"gsm\" or \"gprs\"");
            return false;
        }
        s.gsm = listen == QLatin1String("gsm");
    }
    flag("answerSms", &s.answerSms);
    flag("sendSms", &s.sendSms);
    text("network", &s.network);
    text("imei", &s.imei);
    if (!number("listenPort", &s.listenPort, 0, 65535) ||
        !number("connectionPeriod", &s.connectionPeriod, 0, 5999) ||
        !number("smsPeriod", &s.smsPeriod, 0, 99) || !number("signal", &s.signal, 0, 31))
        return false;
    *out = s;
    return true;
}

ModemSession::ModemSession(const ModemState &state, QObject *parent) : QObject(parent), m_state(state) {}

bool ModemSession::openLog(const QString &path, QString *error)
{
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_log.errorString());
        return false;
    }
    return true;
}

void ModemSession::logLine(const QString &line)
{
    if (!m_log.isOpen())
        return;
    m_log.write(line.toUtf8() + '\n');
    m_log.flush();
}

void ModemSession::reset()
{
    m_input.clear();
    m_commandMode = false;
}

QByteArray ModemSession::parameterAnswer() const
{
    const ModemState &s = m_state;
    QByteArray flags;
    for (bool b : {s.phoneEnabled[0], s.phoneEnabled[1], s.phoneEnabled[2], s.servers[0].enabled,
                   s.servers[1].enabled, s.gsm, s.answerSms})
        flags += b ? '1' : '0';
    const QList<QByteArray> pieces{s.serial.toUtf8(),
                                   s.firmware.toUtf8(),
                                   s.phones[0].toUtf8(),
                                   s.phones[1].toUtf8(),
                                   s.phones[2].toUtf8(),
                                   s.servers[0].host.toUtf8(),
                                   s.servers[1].host.toUtf8(),
                                   QByteArray::number(s.servers[0].port),
                                   QByteArray::number(s.servers[1].port),
                                   s.apn.toUtf8(),
                                   s.user.toUtf8(),
                                   s.password.toUtf8(),
                                   flags,
                                   QByteArray::number(s.connectionPeriod),
                                   QByteArray::number(s.listenPort),
                                   QByteArray::number(s.smsPeriod),
                                   QByteArray::number(s.sendSms ? 1 : 0),
                                   QByteArray::number(s.signal),
                                   s.network.toUtf8(),
                                   s.imei.toUtf8()};
    QByteArray answer("PA");
    for (int i = 0; i < pieces.size(); ++i) {
        if (i)
            answer += stx;
        answer += pieces[i];
    }
    return answer + '\r';
}

bool ModemSession::applyRecord(const QByteArray &record, QString *reason)
{
    const QList<QByteArray> f = record.split(stx);
    if (f.size() != recordFields || f[0] != "TEL" || !f[17].isEmpty()) {
        *reason = QStringLiteral("%1 fields").arg(f.size());
        return false;
    }
    if (f[1] != parameterKey) {
        *reason = QStringLiteral("wrong key");
        return false;
    }
    ModemState s = m_state;
    for (int i = 0; i < 3; ++i)
        s.phones[i] = QString::fromUtf8(f[2 + i]);
    s.servers[0].host = QString::fromUtf8(f[5]);
    s.servers[1].host = QString::fromUtf8(f[6]);
    if (!readPort(f[7], &s.servers[0].port) || !readPort(f[8], &s.servers[1].port)) {
        *reason = QStringLiteral("bad server port");
        return false;
    }
    s.apn = QString::fromUtf8(f[9]);
    s.user = QString::fromUtf8(f[10]);
    s.password = QString::fromUtf8(f[11]);
    const QByteArray flags = f[12];
    if (flags.size() != 7 || !digitsOnly(flags) || flags.count('0') + flags.count('1') != 7) {
        *reason = QStringLiteral("bad flags");
        return false;
    }
    for (int i = 0; i < 3; ++i)
        s.phoneEnabled[i] = flags[i] == '1';
    s.servers[0].enabled = flags[3] == '1';
    s.servers[1].enabled = flags[4] == '1';
    s.gsm = flags[5] == '1';
    s.answerSms = flags[6] == '1';
    if (!readPort(f[13], &s.listenPort)) {
        *reason = QStringLiteral("bad listen port");
        return false;
    }
    const QByteArray period = f[14];
    if (period.size() != 4 || !digitsOnly(period) || period.mid(2).toInt() > 59) {
        *reason = QStringLiteral("bad connection period");
        return false;
    }
    s.connectionPeriod = period.left(2).toInt() * 60 + period.mid(2).toInt();
    if (f[15].size() != 2 || !digitsOnly(f[15]) || (f[16] != "0" && f[16] != "1")) {
        *reason = QStringLiteral("bad SMS settings");
        return false;
    }
    s.smsPeriod = f[15].toInt();
    s.sendSms = f[16] == "1";
    m_state = s;
    return true;
}

void ModemSession::receive(const QByteArray &bytes)
{
    m_input += bytes;
    int end;
    while ((end = m_input.indexOf('\r')) >= 0) {
        const QByteArray line = m_input.left(end);
        m_input.remove(0, end + 1);
        command(line);
    }
    // A modem's line buffer is small; a flood without CR is dropped.
    if (m_input.size() > 4096)
        m_input.clear();
}

void ModemSession::command(const QByteArray &line)
{
    if (line.endsWith("|||")) {
        logLine(QStringLiteral("|||"));
        m_commandMode = true;
        emit send(QByteArrayLiteral("OK\r"));
        return;
    }
    if (!m_commandMode) {
        logLine(QStringLiteral("data %1 bytes").arg(line.size() + 1));
        return;
    }
    if (line == "OKU") {
        logLine(QStringLiteral("OKU"));
        emit send(parameterAnswer());
    } else if (line.startsWith("TEL")) {
        QString reason;
        if (applyRecord(line, &reason)) {
            logLine(QStringLiteral("TEL stored"));
            emit send(QByteArrayLiteral("TYUK\r"));
        } else {
            logLine(QStringLiteral("TEL refused: %1").arg(reason));
            emit send(QByteArrayLiteral("HATA\r"));
        }
    } else if (line == "GSR") {
        logLine(QStringLiteral("GSR"));
        m_commandMode = false;
        emit send(QByteArrayLiteral("RESET\r"));
        emit hangUp();
    } else {
        logLine(QStringLiteral("unknown %1").arg(QString::fromLatin1(line.left(16).toHex())));
        emit send(QByteArrayLiteral("ERROR\r"));
    }
}

} // namespace loggersim
