#include "modemparameters.h"

#include <QList>

const char modemParameterKey[] = "5283916";

namespace {

const char separator = 0x02;
const int answerPieces = 20;
const int flagCount = 7;

bool parseNumber(const QByteArray &piece, int *value)
{
    bool ok = false;
    const int v = piece.trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

bool parseParameterAnswer(const QByteArray &answer, ModemParameters *out)
{
    if (!answer.startsWith("PA"))
        return false;
    const QList<QByteArray> pieces = answer.mid(2).split(separator);
    if (pieces.size() != answerPieces)
        return false;

    ModemParameters p;
    p.serialNo = QString::fromUtf8(pieces[0]);
    p.firmware = QString::fromUtf8(pieces[1]);
    for (int i = 0; i < 3; ++i)
        p.phones[i] = QString::fromUtf8(pieces[2 + i]);
    for (int i = 0; i < 2; ++i) {
        p.serverHosts[i] = QString::fromUtf8(pieces[5 + i]);
        if (!parseNumber(pieces[7 + i], &p.serverPorts[i]))
            return false;
    }
    p.apn = QString::fromUtf8(pieces[9]);
    p.userName = QString::fromUtf8(pieces[10]);
    p.password = QString::fromUtf8(pieces[11]);

    // A short flag piece would leave switches undefined; refuse it whole.
    const QByteArray flags = pieces[12];
    if (flags.size() < flagCount)
        return false;
    auto on = [&flags](int i) { return flags.at(i) != '0'; };
    p.phoneEnabled[0] = on(0);
    p.phoneEnabled[1] = on(1);
    p.phoneEnabled[2] = on(2);
    p.serverEnabled[0] = on(3);
    p.serverEnabled[1] = on(4);
    p.gsm = on(5);
    p.answerSms = on(6);

    int sendSms = 0;
    if (!parseNumber(pieces[13], &p.connectionPeriod) || !parseNumber(pieces[14], &p.listenPort) ||
        !parseNumber(pieces[15], &p.smsPeriod) || !parseNumber(pieces[16], &sendSms))
        return false;
    p.sendSms = sendSms != 0;
    *out = p;
    return true;
}

QByteArray formatConnectionPeriod(int minutes)
{
    const int hours = minutes >= 60 ? minutes / 60 : 0;
    const int rest = minutes >= 60 ? minutes % 60 : minutes;
    return QByteArray::number(hours).rightJustified(2, '0') + QByteArray::number(rest).rightJustified(2, '0');
}

QByteArray buildParameterRecord(const ModemParameters &p)
{
    QByteArray record("TEL");
    record += separator;
    record += modemParameterKey;
    record += separator;
    auto field = [&record](const QByteArray &value) {
        record += value;
        record += separator;
    };
    auto text = [](const QString &s) { return s.simplified().toUtf8(); };

    for (const QString &phone : p.phones)
        field(text(phone));
    field(text(p.serverHosts[0]));
    field(text(p.serverHosts[1]));
    field(QByteArray::number(p.serverPorts[0]));
    field(QByteArray::number(p.serverPorts[1]));
    field(text(p.apn));
    field(text(p.userName));
    field(p.password.toUtf8());

    QByteArray flags;
    for (bool b : {p.phoneEnabled[0], p.phoneEnabled[1], p.phoneEnabled[2], p.serverEnabled[0],
                   p.serverEnabled[1], p.gsm, p.answerSms})
        flags += b ? '1' : '0';
    field(flags);
    field(QByteArray::number(p.listenPort));
    field(formatConnectionPeriod(p.connectionPeriod));
    field(QByteArray::number(p.smsPeriod).rightJustified(2, '0'));
    field(p.sendSms ? "1" : "0");
    record += '\r';
    return record;
}

QByteArray takeAnswer(QByteArray *buffer)
{
    const int end = buffer->indexOf('\r');
    if (end < 0)
        return QByteArray();
    const QByteArray answer = buffer->left(end + 1);
    buffer->remove(0, end + 1);
    return answer;
}

bool cutsStationOff(const ModemParameters &p)
{
    for (int i = 0; i < 3; ++i)
        if (p.phoneEnabled[i] && !p.phones[i].trimmed().isEmpty())
            return false;
    for (int i = 0; i < 2; ++i)
        if (p.serverEnabled[i] && !p.serverHosts[i].trimmed().isEmpty())
            return false;
    return p.connectionPeriod == 0;
}
