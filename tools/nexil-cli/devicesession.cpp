#include "devicesession.h"

DeviceSession::DeviceSession(const Target &t) : target(t)
{
    nexil.setReplyTimeout(target.replyTimeout);
}

bool DeviceSession::open()
{
    // A refused binding leaves the library's message as its last error.
    nexil.clearError();
    if (!target.serialDevice.isEmpty()) {
        port.setPortName(target.serialDevice);
        port.setBaudRate(target.baud);
        const bool opened = port.open(QIODevice::ReadWrite);
        nexil.setConnection(&port);
        if (!opened) {
            error = QStringLiteral("%1 (%2)").arg(nexil.lastErrorString(), port.errorString());
            return false;
        }
    } else {
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket.connectToHost(target.host, target.port);
        const bool connected = socket.waitForConnected(qMax(target.replyTimeout, 1000));
        nexil.setConnection(&socket);
        if (!connected) {
            error = QStringLiteral("%1 (%2)").arg(nexil.lastErrorString(), socket.errorString());
            return false;
        }
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
