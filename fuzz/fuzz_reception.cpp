// Arbitrary bytes, in arbitrary chunks, through a Nexil object's reception
// path. The first byte chooses the request waiting for its reply (only its
// reply is decoded) and whether the frame checksums are repaired, so every
// decoder behind the checks is reached.

#include "fuzzframe.h"
#include "nexil/protocol/nexil.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

namespace {

void silence(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler(silence);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    Nexil nexil;
    nexil.setReplyTimeout(1000000);
    switch ((mode >> 1) & 0x07) {
    case 0:
        nexil.getData(QDateTime(QDate(2026, 1, 1), QTime(0, 0)), mode >> 4, 0);
        break;
    case 1:
        nexil.getChannelNames();
        break;
    case 2:
        nexil.getDeviceIdentity();
        break;
    case 3:
        nexil.getInstantValues();
        break;
    case 4:
        nexil.getChannelCalibrations();
        break;
    case 5:
        nexil.getFileInformations();
        break;
    case 6:
        nexil.getAlarmParameters();
        break;
    case 7:
        nexil.setPassword(QStringLiteral("1234"), QStringLiteral("5678"));
        break;
    }

    size_t at = 1;
    while (at < size) {
        const size_t length = qMin<size_t>(data[at], size - at - 1);
        QByteArray chunk(reinterpret_cast<const char *>(data + at + 1), int(length));
        at += 1 + length;
        if (mode & 0x01)
            chunk = fuzzframe::repaired(chunk);
        QMetaObject::invokeMethod(&nexil, "onConnectionNewData", Qt::DirectConnection,
                                  Q_ARG(QByteArray, chunk));
    }
    return 0;
}
