#include "devicesession.h"

DeviceSession::DeviceSession(const Target &t) : target(t)
{
    nexil.setReplyTimeout(target.replyTimeout);
}

int DeviceSession::deadlineMs() const
{
    // Five transmissions, then one more reply time and two seconds of margin.
    return int(qMin<qint64>(6 * qint64(target.replyTimeout) + 2000, 24 * 3600 * 1000));
}

QString DeviceSession::describe(int code, const QString &libraryText)
{
    QString line;
    switch (code) {
    case Timeout:
        line = QStringLiteral("the device did not answer (five transmissions)");
        break;
    case DownloadInterrupted:
        line = QStringLiteral("the download stopped: the device did not answer a block request five times");
        break;
    case DeviceRefused:
        line = QStringLiteral("the device refused the record (it answered every transmission with its error "
                              "reply)");
        break;
    case DeviceBusy:
        line = QStringLiteral("the device is busy with another request");
        break;
    case InvalidRecord:
        line = QStringLiteral("the record is incomplete; nothing was sent");
        break;
    case ConnectionError:
        line = QStringLiteral("the connection failed");
        break;
    default:
        line = QStringLiteral("device error %1").arg(code);
        break;
    }
    return libraryText.isEmpty() ? line : line + QLatin1Char('\n') + libraryText;
}

bool DeviceSession::open()
{
    if (!target.serialDevice.isEmpty()) {
        port.setPortName(target.serialDevice);
        port.setBaudRate(target.baud);
        if (!port.open(QIODevice::ReadWrite)) {
            error = QStringLiteral("cannot open the serial port %1: %2")
                        .arg(target.serialDevice, port.errorString());
            return false;
        }
        nexil.setConnection(&port);
    } else {
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket.connectToHost(target.host, target.port);
        if (!socket.waitForConnected(qMax(target.replyTimeout, 1000))) {
            error = QStringLiteral("the connection to %1:%2 failed: %3")
                        .arg(target.host)
                        .arg(target.port)
                        .arg(socket.errorString());
            return false;
        }
        nexil.setConnection(&socket);
    }
    return true;
}

void DeviceSession::close()
{
    nexil.cancelLastProcess();
    nexil.closeConnection();
    if (socket.state() != QAbstractSocket::UnconnectedState && !socket.waitForDisconnected(1000))
        socket.abort();
}
