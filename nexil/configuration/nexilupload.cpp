// The uploads of Nexil: configuration records, password and factory settings.

#include "nexil/configuration/uploadencoder.h"
#include "nexil/protocol/connection.h"
#include "nexil/protocol/nexil.h"
#include "nexil/protocol/wire.h"

#include "nexil/logging.h"
#include <QDebug>
#include <QTimer>

using wire::code;

void Nexil::sendUpload(const char *letters, int pendingCode, const QByteArray &body)
{
    const QByteArray frame = upload::frame(letters, body);
    if (pendingCode == code("AYU"))
        qCDebug(lcConfiguration, "%s", frame.toHex().constData());
    uploadRefused = false;
    connection->write(frame);
}

void Nexil::refuseUpload(const QString &missing)
{
    // Reading past a short list would send garbage to the device; say what is missing instead.
    setError(InvalidRecord, tr("Gönderilecek kayıt eksik: %1").arg(missing));
    emit error(lastErrorCode, lastErrorText);
}

void Nexil::sendSetupParameters(const QString &pass, const SetupParameters &parameters)
{
    qCDebug(lcConfiguration, "sendSetupParameters");
    if (!startRequest(code("PAS"), busyTextCapital()))
        return;
    password = pass;
    setup = parameters;
    sendUpload("PAR", code("PAS"), upload::setupBody(pass, parameters, QDateTime::currentDateTime()));
}

void Nexil::sendChannelNames(const QString &pass, const ChannelNames &channelNames)
{
    QByteArray body;
    QString missing;
    if (!busy && !upload::channelNamesBody(pass, channelNames, &body, &missing))
        return refuseUpload(missing);
    if (!startRequest(code("KNL"), busyTextCapital()))
        return;
    password = pass;
    names = channelNames;
    sendUpload("KNL", code("KNL"), body);
}

void Nexil::sendCalibrations(const QString &pass, const ChannelCalibrations &channelCalibrations)
{
    QByteArray body;
    QString missing;
    if (!busy && !upload::calibrationsBody(pass, channelCalibrations, &body, &missing))
        return refuseUpload(missing);
    if (!startRequest(code("KAL"), busyTextCapital()))
        return;
    password = pass;
    calibrations = channelCalibrations;
    sendUpload("KAL", code("KAL"), body);
}

void Nexil::sendAlarmParameters(const QString &pass, const AlarmParameters &parameters)
{
    QByteArray body;
    QString missing;
    if (!busy && !upload::alarmBody(parameters, &body, &missing))
        return refuseUpload(missing);
    if (!startRequest(code("AYU"), busyTextCapital()))
        return;
    password = pass;
    alarms = parameters;
    sendUpload("AYU", code("AYU"), body);
}

void Nexil::setPassword(const QString &pass, const QString &next)
{
    if (!startRequest(code("DEG"), busyTextCapital()))
        return;
    password = pass;
    newPassword = next;
    sendUpload("SIF", code("DEG"), upload::passwordBody(pass, next));
}

void Nexil::loadFactoryDefaults(const QString &pass)
{
    if (!startRequest(code("SET"), busyTextCapital()))
        return;
    password = pass;
    sendUpload("SET", code("SET"), upload::factoryDefaultsBody(pass));
}

void Nexil::sendDischargeTable(const QString &, const QList<float> &) {}

void Nexil::sendFirmware(const QString &, const QByteArray &) {}

void Nexil::parseCommandResponse(const DeviceHeader &, const QByteArray &payload)
{
    const QByteArray answer = payload.split(wire::STX).first();
    if (answer.contains("CRCHata")) {
        // The device saw a damaged frame, or will not take the record: the
        // next timer tick sends it again, and the give-up says it was refused.
        busy = false;
        uploadRefused = true;
        return;
    }
    if (answer.contains("SYANLIS")) {
        finishRequest();
        emit wrongPassword();
    } else if (answer.contains("DEG")) {
        finishRequest();
        emit passwordChanged();
    } else if (answer.contains("YUKLENDI")) {
        const int pending = command;
        switch (pending) {
        case code("KAL"):
            finishRequest();
            emit channelCalibrationsHaveBeenLoaded();
            break;
        case code("PAS"):
            finishRequest();
            emit setupParametersHaveBeenLoaded();
            break;
        case code("SET"):
            finishRequest();
            emit factoryDefaultsHaveBeenLoaded();
            break;
        case code("KNL"):
            finishRequest();
            emit channelNamesHaveBeenLoaded();
            break;
        case code("AYU"):
            finishRequest();
            emit alarmParametersHaveBeenLoaded();
            break;
        case code("DEG"):
            finishRequest();
            emit passwordChanged();
            break;
        default:
            break;
        }
    } else {
        qCDebug(lcConfiguration, "Unknown Response: %s", answer.constData());
    }
    qCDebug(lcConfiguration, "Response: %s", payload.toHex().constData());
}
